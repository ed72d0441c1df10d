#!/usr/bin/env bash
# The Windows build: the engine cross-built with MinGW-w64 against the real
# windows.h, d3d9.h and d3dx9.h into build-windows/, then tested under Wine on
# Xvfb against the Linux build (tests/windows).
#
#   scripts/windows.sh build   install MinGW-w64 and Wine, build build-windows/
#                              (build-windows/src/quillmoor.exe) and stop
#   scripts/windows.sh [test]  the same, then build the Linux side (build/, or
#                              QM_LINUX_BUILD) and run the Windows tests
#
# Safe to run again: apt-get skips what is installed, CMake rebuilds what
# changed, and the Wine prefix (build-windows/wine) is made once.
set -euo pipefail
cd "$(dirname "$0")/.."

MODE=${1:-test}
case "$MODE" in
  build|test) ;;
  *) echo "usage: scripts/windows.sh [build|test]" >&2; exit 2 ;;
esac

PACKAGES=(
  cmake ninja-build g++-mingw-w64-x86-64 libstb-dev
  wine64 locales xvfb xauth
)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  echo "windows: installing ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The Windows build; warnings are errors here as in the Linux build.
cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQM_WERROR=ON >/dev/null
cmake --build build-windows -j"$(nproc)"
echo "windows: built build-windows/src/quillmoor.exe"
[ "$MODE" = build ] && exit 0

# The Linux side of the comparisons: the engine and the tests' program.
LINUX_BUILD=${QM_LINUX_BUILD:-build}
QM_BUILD_TARGETS="quillmoor test_windows" scripts/setup.sh "$LINUX_BUILD"

WINE=$(command -v wine64 || echo /usr/lib/wine/wine64)
WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver)
export QM_WINE=$WINE
export QM_WINDOWS_BUILD=$PWD/build-windows
export WINEPREFIX=$PWD/build-windows/wine
export WINEDEBUG=-all
# No Mono or Gecko: nothing asks to download them.
export WINEDLLOVERRIDES="mscoree,mshtml="

# A Russian locale, so that Wine's ANSI code page is Windows-1251 (the
# engine's texts), made in the build folder without touching the system's.
export LOCPATH=$PWD/build-windows/locale
if [ ! -d "$LOCPATH/ru_RU.UTF-8" ]; then
  mkdir -p "$LOCPATH"
  localedef -i ru_RU -f UTF-8 "$LOCPATH/ru_RU.UTF-8"
fi
export LANG=ru_RU.UTF-8
unset LC_ALL

run_under_xvfb() {
  xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
}

# The prefix, made once without a question asked. Its window frame is set to
# our Linux platform's (8 pixels each side, a 23-pixel caption), so a
# 1024x768 window has the same 1008x729 client area, and back buffer, on both.
if [ ! -f "$WINEPREFIX/.quillmoor-ready" ]; then
  rm -rf "$WINEPREFIX"
  echo "windows: making the Wine prefix $WINEPREFIX"
  run_under_xvfb sh -c '
    "$0" wineboot -i >/dev/null 2>&1 || true
    key="HKCU\\Control Panel\\Desktop\\WindowMetrics"
    "$0" reg add "$key" /v BorderWidth /t REG_SZ /d -75 /f >/dev/null
    "$0" reg add "$key" /v CaptionHeight /t REG_SZ /d -330 /f >/dev/null
    "$1" -w' "$WINE" "$WINESERVER"
  touch "$WINEPREFIX/.quillmoor-ready"
fi

status=0
run_under_xvfb "$LINUX_BUILD/tests/test_windows" || status=$?
"$WINESERVER" -k 2>/dev/null || true
exit $status
