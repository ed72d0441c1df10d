#!/usr/bin/env bash
# Regenerates the pictures in docs/ with the engine itself, headless.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build
mkdir -p docs
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r data "$work/game"
bin=$PWD/build/src/quillmoor
(cd "$work/game" && "$bin" --headless --frames 0 --screenshot "$OLDPWD/docs/loading_screen.png")
(cd "$work/game" && "$bin" --headless --frames 60 --screenshot "$OLDPWD/docs/sample_scene.png")

# A live edit with --watch: the frame after saving tint.fx unchanged, then the
# frame after saving it with another colour, from one run of the engine.
live="$work/live"
cp -r data "$live"
err="$work/live.err"
(cd "$live" && exec "$bin" --headless --watch --screenshot "$work/live.png" 2> "$err") &
engine=$!
wait_for() {  # wait_for TEXT COUNT: until stderr holds COUNT lines with TEXT
  for _ in $(seq 600); do
    [ "$(grep -c -F -- "$1" "$err" || true)" -ge "$2" ] && return 0
    kill -0 "$engine" 2>/dev/null || break
    sleep 0.1
  done
  echo "screenshots: the engine did not report '$1'" >&2; cat "$err" >&2; exit 1
}
wait_for "quillmoor: watching" 1
cp "$live/fx/tint.fx" "$work/tint.fx" && mv "$work/tint.fx" "$live/fx/tint.fx"
wait_for "reloaded fx\\tint.fx" 1
cp "$work/live.png" docs/live_edit_before.png
sed -e 's/= {1.0, 0.85, 0.7, 1}/= {1.0, 0.2, 0.1, 1}/' -e 's/= {0.7, 0.85, 1.0, 1}/= {1.0, 0.9, 0.1, 1}/' \
  "$live/fx/tint.fx" > "$work/tint.fx" && mv "$work/tint.fx" "$live/fx/tint.fx"
wait_for "reloaded fx\\tint.fx" 2
cp "$work/live.png" docs/live_edit_after.png
kill -TERM "$engine" && wait "$engine"
echo "docs/loading_screen.png, docs/sample_scene.png, docs/live_edit_before.png and docs/live_edit_after.png written"
