#!/usr/bin/env bash
# Installs, builds and runs every test: the native suites under AddressSanitizer
# and UndefinedBehaviorSanitizer, the Windows cross build, and the suites that
# need more of the machine (Wine, the Samba lab, the fuzzer) when present.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
"$top/tools/deps.sh"

jobs=$(nproc)
results=()
fail=0
step() {  # step NAME COMMAND...: runs one stage, records its outcome
  local name=$1
  shift
  echo "== $name"
  local start=$SECONDS
  if "$@"; then
    results+=("PASS  $name ($((SECONDS - start)) s)")
  else
    results+=("FAIL  $name ($((SECONDS - start)) s)")
    fail=1
  fi
}

build_native() {
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNBL_SANITIZE=ON \
    -DNBL_WERROR=ON >/dev/null
  cmake --build build-asan -j "$jobs"
}
unit_tests() {
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j "$jobs"
}
build_windows() {
  cmake -S . -B build-win -G Ninja -DCMAKE_BUILD_TYPE=Release -DNBL_WERROR=ON \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" >/dev/null
  cmake --build build-win -j "$jobs"
  ls -l build-win/capture/Nimbrel.exe
}

wine_tests() {
  tests/wine/deps.sh >/dev/null
  bash tests/wine/run.sh build-win
}

step "native build (ASan+UBSan)" build_native
step "unit and replay tests" unit_tests
step "Windows cross build" build_windows
step "Corvane under Wine" wine_tests
step "lab end to end (Samba, smbclient)" tests/lab/e2e.sh
step "fuzzing (${FUZZ_SECONDS:-60} s)" tests/fuzz/run.sh

echo
echo "== summary"
printf '%s\n' "${results[@]}"
exit $fail
