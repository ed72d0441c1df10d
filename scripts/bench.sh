#!/usr/bin/env bash
# Builds and runs the benchmarks; each prints its own figures. Run on an idle
# machine and compare only numbers taken in the same run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build
for bench in build/bench/bench_*; do
  [ -x "$bench" ] || continue
  echo "== $(basename "$bench")"
  (cd data && "../$bench")
done
