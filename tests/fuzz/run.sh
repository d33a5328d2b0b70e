#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a bounded time, seeded
# from the recorded captures. FUZZ_SECONDS sets the time per target (60).
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
cd "$top"
build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DNBL_FUZZ=ON -DNBL_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target frame_fuzz
corpus="$build/corpus/frame"
mkdir -p "$corpus"
python3 tests/fuzz/pcap2corpus.py "$corpus" tests/data/*.pcap 2>/dev/null || true
log="$build/frame_fuzz.log"
if "$build/tests/fuzz/frame_fuzz" -max_total_time="${FUZZ_SECONDS:-60}" -max_len=65536 \
  -print_final_stats=1 "$corpus" >"$log" 2>&1; then
  grep -E '^(Done|stat::(number_of_executed_units|average_exec_per_sec|new_units_added))' "$log"
else
  tail -n 60 "$log"
  exit 1
fi
