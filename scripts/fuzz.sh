#!/usr/bin/env bash
# Builds the libFuzzer programs of tests/fuzz with clang into build-fuzz/ and
# runs each for SECONDS (default 60) on its seeds: the sample game folder and
# the test fixtures. Crashing inputs land in build-fuzz/crashes/TARGET/; copy
# each one into tests/fuzz/regressions/TARGET/ once it is fixed, and the
# normal test run replays it from then on.
#
#   scripts/fuzz.sh [SECONDS] [TARGET ...]     targets: x_mesh texture effect
set -euo pipefail
cd "$(dirname "$0")/.."

SECONDS_EACH=${1:-60}
shift || true
TARGETS=("$@")
[ ${#TARGETS[@]} -gt 0 ] || TARGETS=(x_mesh texture effect)

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
    x_mesh) find data tests/data/x tests/fuzz/regressions/x_mesh -iname '*.x' ;;
    texture) find data/textures data/blank.bmp tests/fuzz/regressions/texture -type f ! -name README ;;
    effect) find data/fx tests/fx tests/fuzz/regressions/effect -type f ! -name README ;;
  esac
}

export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
for target in "${TARGETS[@]}"; do
  corpus=build-fuzz/corpus/$target
  crashes=build-fuzz/crashes/$target
  mkdir -p "$corpus" "$crashes"
  seeds "$target" | while read -r f; do cp -f "$f" "$corpus/" 2>/dev/null || true; done
  echo "== fuzz_$target for ${SECONDS_EACH} s"
  if ! build-fuzz/tests/fuzz/fuzz_$target "$corpus" -max_total_time="$SECONDS_EACH" \
      -max_len=262144 -timeout=10 -rss_limit_mb=2560 -artifact_prefix="$crashes/" \
      -print_final_stats=1 2>&1 | grep -E "^#|^stat::|ERROR|SUMMARY|Test unit written|Done"; then
    status=1
  fi
  if [ -n "$(ls -A "$crashes")" ]; then
    echo "fuzz_$target: crashing inputs in $crashes"
    status=1
  fi
done
exit $status
