#!/usr/bin/env bash
# Runs Corvane.exe under Wine against our own driver and test child.
#   bash tests/wine/run.sh BUILD_WIN_DIR
# BUILD_WIN_DIR is a finished mingw build (cmake ... -DCMAKE_TOOLCHAIN_FILE=
# cmake/mingw-w64-x86_64.cmake). A fresh Wine prefix is made inside it at
# every run. Needs the Debian packages wine, wine64, fonts-ipafont-gothic and
# locales with ja_JP.UTF-8 generated (code page 932 is the active code page
# under Wine only with that locale); deps.sh beside this script installs them
# when they are missing. Exits non-zero when any check fails.
set -euo pipefail

build=$(cd "${1:?usage: run.sh BUILD_WIN_DIR}" && pwd)
corvane=$build/service/Corvane.exe
driver=$build/tests/wine/corvane_wine_driver.exe
child=$build/tests/wine/corvane_test_child.exe

fail() {
  echo "FAIL: $*"
  echo "wine: 0 passed, 1 failed"
  exit 1
}
for f in "$corvane" "$driver" "$child"; do [ -f "$f" ] || fail "missing $f"; done
if ! command -v wine >/dev/null || ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
  [ "$(id -u)" -eq 0 ] || fail "Wine or the ja_JP.UTF-8 locale is missing: run tests/wine/deps.sh as root"
  bash "$(dirname "$0")/deps.sh" || fail "tests/wine/deps.sh could not install Wine and the locale"
fi

export LC_ALL=ja_JP.UTF-8
export WINEPREFIX=$build/wineprefix
export WINEDEBUG=-all
# No Mono or Gecko: nothing here needs them, and asking for them costs time.
export WINEDLLOVERRIDES="mscoree,mshtml="
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

t0=$(date +%s)
rm -rf "$WINEPREFIX"
wineboot --init >/dev/null 2>&1
wineserver -w
# No display here: the null graphics driver still creates windows and passes messages.
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
wineserver -k >/dev/null 2>&1 || true
wineserver -w || true
t1=$(date +%s)
echo "wine prefix ready in $((t1 - t0)) s"

# The wrapper in a folder whose name holds a space, the program in another.
drive_c=$WINEPREFIX/drive_c
mkdir -p "$drive_c/Corvane Test" "$drive_c/corvane_child" "$drive_c/corvane_driver"
cp "$corvane" "$drive_c/Corvane Test/"
cp "$child" "$drive_c/corvane_child/"
cp "$driver" "$drive_c/corvane_driver/"

log=$build/wine-test.log
set +e
timeout 480 wine 'C:\corvane_driver\corvane_wine_driver.exe' 'C:\Corvane Test' 'C:\corvane_child' \
  2>&1 | tee "$log"
rc=${PIPESTATUS[0]}
set -e
t2=$(date +%s)
echo "driver ran in $((t2 - t1)) s; whole Wine run $((t2 - t0)) s"

counts=$(grep -E '^[0-9]+ passed, [0-9]+ failed' "$log" | tail -n 1 || true)
if [ "$rc" -ne 0 ] || [ -z "$counts" ]; then
  [ -n "$counts" ] || counts="0 passed, 1 failed"
  [ "$rc" -eq 124 ] && echo "FAIL: the driver did not finish in time"
  echo "Corvane Wine tests FAILED (driver exit $rc)"
  echo "wine: $counts"
  exit 1
fi
echo "Corvane Wine tests PASSED"
echo "wine: $counts"
