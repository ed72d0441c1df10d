#!/usr/bin/env bash
# Sets up, builds and runs Quillmoor on the bundled sample game folder data/.
# With a display it opens the window; without one it renders headless for a
# few seconds and writes screenshot.png.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec build/src/quillmoor --dir data "$@"
fi
build/src/quillmoor --dir data --headless --frames 240 --screenshot "$PWD/screenshot.png" "$@"
echo "run: no display; the last frame is in $PWD/screenshot.png"
