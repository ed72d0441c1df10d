#!/usr/bin/env bash
# Builds the libFuzzer programs of tests/fuzz with clang into build-fuzz/ and
# runs each, one after the other, for SECONDS (default 60) on its seeds: the
# sample game folder, the test fixtures, every past crash and the generated
# seeds of tests/fuzz/make_seeds.py. Crashing inputs land in
# build-fuzz/crashes/TARGET/ and make the script fail (the run that found
# them; inputs over the time limit count too); copy each one into
# tests/fuzz/regressions/TARGET/ once it is fixed, and the normal test run
# replays it from then on. The test command runs every target briefly.
#
#   scripts/fuzz.sh [SECONDS] [TARGET ...]
#   targets: x_mesh texture effect effect_create level effect_list settings
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD

SECONDS_EACH=${1:-60}
shift || true
TARGETS=("$@")
[ ${#TARGETS[@]} -gt 0 ] || TARGETS=(x_mesh texture effect effect_create level effect_list settings)

# clang and its libFuzzer runtime are needed only here.
missing=()
for p in clang libclang-rt-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
QM_BUILD_TARGETS="${TARGETS[*]/#/fuzz_}" \
  scripts/setup.sh build-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DQM_FUZZ=ON -DQM_BUILD_TESTS=OFF -DQM_WERROR=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo

seeds() {
  case "$1" in
    x_mesh) find data tests/data/x -iname '*.x' ;;
    texture) find data/textures data/blank.bmp -type f ;;
    effect | effect_create) find data/fx tests/fx -type f -iname '*.fx*' ;;
    level) find data/levels -type f ;;
    effect_list) find data/fx/lists -type f ;;
    settings) echo data/ini.txt ;;
  esac
  find "tests/fuzz/regressions/$1" -type f ! -name README 2>/dev/null || true
}

# Leaks are findings, as in the sanitizer test run (same suppressions; the
# GL driver stays loaded so that its one-time state stays reachable).
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:verify_asan_link_order=0
export LSAN_OPTIONS="suppressions=$ROOT/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
MESA_DRIVER=$(ls /usr/lib/*/dri/swrast_dri.so 2>/dev/null | head -n 1 || true)

rm -rf build-fuzz/generated
python3 tests/fuzz/make_seeds.py build-fuzz/generated

status=0
for target in "${TARGETS[@]}"; do
  # Absolute paths: the readers' fuzzers work in a private folder of their own.
  corpus=$ROOT/build-fuzz/corpus/$target
  crashes=$ROOT/build-fuzz/crashes/$target
  mkdir -p "$corpus" "$crashes"
  found_before=$(ls -A "$crashes" | wc -l)
  { seeds "$target"; find "build-fuzz/generated/$target" -type f 2>/dev/null || true; } |
    while read -r f; do cp -f "$f" "$corpus/" 2>/dev/null || true; done
  # An input slower than the time-out (wall clock, seconds) is a finding.
  # Give a run at low priority beside other work a longer one (FUZZ_TIMEOUT)
  # and check what it reports as slow on an idle machine.
  options=(-max_len=262144 -timeout="${FUZZ_TIMEOUT:-10}" -rss_limit_mb=2560)
  preload=
  if [ "$target" = effect_create ]; then
    # Each input compiles through the worker and the GL driver; the worker's
    # own limit (10 s) comes first. The effect's messages go to stderr: mute.
    options=(-max_len=262144 -timeout="${FUZZ_TIMEOUT:-30}" -rss_limit_mb=3072 -close_fd_mask=2)
    preload=$MESA_DRIVER
  fi
  echo "== fuzz_$target for ${SECONDS_EACH} s (whole output in build-fuzz/logs/$target.log)"
  mkdir -p build-fuzz/logs
  if ! LD_PRELOAD=$preload build-fuzz/tests/fuzz/fuzz_$target "$corpus" "${options[@]}" \
      -max_total_time="$SECONDS_EACH" -artifact_prefix="$crashes/" -print_final_stats=1 2>&1 |
      tee "build-fuzz/logs/$target.log" |
      grep -E "^#[0-9]+[[:space:]]+(INITED|DONE)|^stat::|^Done|ERROR|SUMMARY|Test unit written|^fuzz:"; then
    status=1
  fi
  if [ "$(ls -A "$crashes" | wc -l)" -ne "$found_before" ]; then
    echo "fuzz_$target: new crashing inputs in $crashes"
    status=1
  fi
done
exit $status
