#!/usr/bin/env bash
# Builds and runs the benchmarks; each prints its own figures. Run on an idle
# machine and compare only numbers taken in the same run.
#
#   scripts/bench.sh                  the engine's own benchmarks, then the comparison
#   scripts/bench.sh compare [ARGS]   only the comparison with the peer engine
#                                     (Irrlicht) and the minimal OpenGL program;
#                                     ARGS go to bench/compare.py (--rounds N,
#                                     --big, --only SCENE,..., --shots DIR,
#                                     --frames-scale F)
set -euo pipefail
cd "$(dirname "$0")/.."

mode=all
if [ "${1:-}" = compare ]; then
  mode=compare
  shift
fi

# The peer engine is a benchmark-only package: the engine and its tests never
# use it, so it is installed here and not by setup.sh.
if ! dpkg-query -W -f='${Status}' libirrlicht-dev 2>/dev/null | grep -q "install ok installed"; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  echo "bench: installing libirrlicht-dev (the peer engine)"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends libirrlicht-dev
fi
scripts/setup.sh build

if [ "$mode" = all ]; then
  for bench in build/bench/bench_*; do
    [ -x "$bench" ] || continue
    echo "== $(basename "$bench")"
    (cd data && "../$bench")
  done
fi

echo "== compare (engine, peer, minimal under Xvfb)"
xvfb-run -a -s "-screen 0 1280x1024x24" python3 bench/compare.py --build build "$@"
