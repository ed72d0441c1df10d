#!/usr/bin/env bash
# Installs what Quillmoor needs on Debian 12 and builds it into build/.
# Safe to run again: apt-get skips what is installed, CMake rebuilds what changed.
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  libsdl2-dev libx11-dev libepoxy-dev libegl-dev libgl-dev libegl-mesa0 libgl1-mesa-dri
  libfreetype-dev libfontconfig-dev fontconfig fonts-liberation2
  libstb-dev zlib1g-dev libassimp-dev glslang-dev glslang-tools libspirv-cross-c-shared-dev spirv-cross
  libmojoshader-dev
  libgtest-dev googletest
  xvfb xauth xdotool x11-utils xfonts-base assimp-testmodels
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  echo "setup: installing ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

BUILD_DIR=${1:-build}
shift || true
# Targets to build, when only some are wanted (scripts/fuzz.sh).
TARGETS=()
[ -z "${QM_BUILD_TARGETS:-}" ] || read -r -a TARGETS <<< "$QM_BUILD_TARGETS"
# Warnings are errors here, for development and CI; a plain CMake build
# leaves them warnings.
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQM_WERROR=ON "$@" >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)" ${TARGETS[@]+--target "${TARGETS[@]}"}
