#!/usr/bin/env bash
# Installs, builds and runs Nimbrel once in a scratch folder, then shows what it wrote.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
"$top/tools/deps.sh"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target Nimbrel
run=$(mktemp -d)
cp build/capture/Nimbrel "$run/"
echo "== Nimbrel in $run"
(cd "$run" && ./Nimbrel </dev/null) || echo "(exit code $?)"
echo "== access log"
cat "$run/Nimbrel.log"
