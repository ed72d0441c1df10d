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
echo "docs/loading_screen.png and docs/sample_scene.png written"
