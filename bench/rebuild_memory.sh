#!/usr/bin/env bash
# Memory of a live-reload scene rebuild: the engine loads the new level while
# the old scene is still loaded (it stays on screen when the new level cannot
# be read, and unchanged models and textures are shared, not read again), so
# for a while it holds two scenes.
#
#   bench/rebuild_memory.sh GAME_DIR [REBUILDS]
#
# Runs the engine with --headless --watch on a copy of GAME_DIR (for a large
# level: bench/make_scenes.py OUT, then OUT/startup_10000), rewrites the
# level file REBUILDS times (default 3) and prints, per rebuild, the resident
# memory before it, the peak during it (VmHWM, reset before each save through
# /proc/PID/clear_refs) and the resident memory after it.
set -euo pipefail
cd "$(dirname "$0")/.."
src=${1:?usage: bench/rebuild_memory.sh GAME_DIR [REBUILDS]}
rebuilds=${2:-3}
bin=$(realpath "${QM_BIN:-build/src/quillmoor}")
work=$(mktemp -d)
trap 'kill -TERM "${engine:-}" 2>/dev/null || true; rm -rf "$work"' EXIT
cp -rL "$src" "$work/game"
game="$work/game"
name=rebuild_memory wait_seconds=600 poll=0.05
. bench/watched_engine.sh
start_watched_engine "$game"

start=$SECONDS
wait_for "quillmoor: watching" 1
echo "rebuild_memory: $(basename "$src") loaded in $((SECONDS - start)) s;" \
     "VmRSS $(field_kib VmRSS) KiB, peak so far $(field_kib VmHWM) KiB"
cp "$game/levels/map_new.txt" "$work/level.txt"
for i in $(seq 1 "$rebuilds"); do
  sleep 1  # let the frame loop settle
  before=$(field_kib VmRSS)
  echo 5 > "/proc/$engine/clear_refs"  # VmHWM starts again from VmRSS
  start=$SECONDS
  cat "$work/level.txt" > "$game/levels/map_new.txt"
  wait_for "reloaded the scene" "$i"
  peak=$(field_kib VmHWM)
  took=$((SECONDS - start))
  sleep 1
  after=$(field_kib VmRSS)
  echo "rebuild_memory: rebuild $i in ${took} s: VmRSS ${before} KiB before," \
       "peak ${peak} KiB (+$((peak - before)) KiB), ${after} KiB after"
done
grep -F "reloaded the scene" "$err" | tail -1
kill -TERM "$engine"
wait "$engine" || true
engine=""
