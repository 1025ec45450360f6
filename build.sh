#!/usr/bin/env bash
# One entry point for a fresh Debian 12 machine:
#   ./build.sh test   install what is missing, build, run the whole test suite
#   ./build.sh run    install what is missing, build, start the terminal
# Environment: BUILD_DIR (default build), SANITIZE=1 for ASan+UBSan, JOBS.
set -euo pipefail

cd "$(dirname "$0")"
mode=${1:-test}
build_dir=${BUILD_DIR:-build}
jobs=${JOBS:-$(nproc)}

packages=(
  build-essential cmake ninja-build pkg-config
  qtbase5-dev qtbase5-dev-tools libqt5websockets5-dev qtmultimedia5-dev
  qttools5-dev qttools5-dev-tools libqt5svg5-dev
  libqcustomplot-dev libbenchmark-dev
  libqt5multimedia5-plugins fonts-dejavu-core
  clang-14 libclang-rt-14-dev
)

install_missing() {
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  "${sudo[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
}

configure_and_build() {
  local sanitize=OFF
  [ "${SANITIZE:-0}" = 1 ] && sanitize=ON
  cmake -S . -B "$build_dir" -G Ninja -DKESTRAL_SANITIZE="$sanitize"
  cmake --build "$build_dir" -j "$jobs"
}

install_missing
configure_and_build

case "$mode" in
  test)
    export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
    ctest --test-dir "$build_dir" --output-on-failure -j "$jobs"
    ;;
  run)
    if [ ! -x "$build_dir/terminal/kestral-terminal" ]; then
      echo "The terminal's main window is not built yet; nothing to start." >&2
      exit 1
    fi
    exec "$build_dir/terminal/kestral-terminal"
    ;;
  *)
    echo "usage: $0 [test|run]" >&2
    exit 2
    ;;
esac
