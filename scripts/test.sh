#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite twice: a normal build, then one
# with AddressSanitizer and UndefinedBehaviorSanitizer; in between, the Windows
# build's tests under Wine, and each fuzzer briefly. This is what CI runs.
#
#   scripts/test.sh           everything
#   scripts/test.sh --quick   the edit-test loop: the normal build and its
#                             suite only (no Windows build, fuzzing or
#                             sanitizer build); ctest arguments may follow,
#                             e.g. -R Effect
set -euo pipefail
cd "$(dirname "$0")/.."

quick=false
if [ "${1:-}" = "--quick" ]; then
  quick=true
  shift
fi
# Rebuilds after an edit reuse what did not change, when ccache is there.
if [ -z "${CMAKE_CXX_COMPILER_LAUNCHER:-}" ] && command -v ccache >/dev/null; then
  export CMAKE_CXX_COMPILER_LAUNCHER=ccache
fi

scripts/setup.sh build
(cd build && ctest --output-on-failure -j"$(nproc)" "$@")
$quick && exit 0

# The Windows build: cross-built with MinGW-w64 into build-windows/, its
# tests run under Wine against the Linux build above (scripts/windows.sh).
scripts/windows.sh test

# Every fuzzer for a short fixed time, built with clang into build-fuzz/: a
# crash, a leak or an input over its time limit fails the run.
# scripts/fuzz.sh runs them for as long as asked.
scripts/fuzz.sh "${QM_FUZZ_SECONDS:-15}"

scripts/setup.sh build-asan -DQM_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
# Leaks fail the run too; the suppressions name only third-party caches that
# live until the process ends. Mesa unloads its GL driver before the leak
# check, which would leave the driver's one-time state unreachable and its
# stacks unnamed; preloading the driver keeps it loaded, so that state stays
# reachable (the sanitizer runtime then need not come first in the list).
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:verify_asan_link_order=0
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
MESA_DRIVER=$(ls /usr/lib/*/dri/swrast_dri.so 2>/dev/null | head -n 1 || true)
export LD_PRELOAD="${MESA_DRIVER}"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build-asan && ctest --output-on-failure -j"$(nproc)")
