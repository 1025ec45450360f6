#!/usr/bin/env bash
# One entry point for a fresh Debian 12 machine:
#   ./build.sh test   install what is missing, build, run the whole test suite
#   ./build.sh run    install what is missing, build, start the terminal (and, unless
#                     KESTRAL_BROKER_HOST names a broker, the local trade server)
# Environment: BUILD_DIR (default build), SANITIZE=1 for ASan+UBSan, JOBS.
set -euo pipefail

cd "$(dirname "$0")"
mode=${1:-test}
build_dir=${BUILD_DIR:-build}
jobs=${JOBS:-$(nproc)}

packages=(
  build-essential cmake ninja-build pkg-config
  qtbase5-dev qtbase5-dev-tools libqt5sql5-sqlite libqt5websockets5-dev qtmultimedia5-dev
  qttools5-dev qttools5-dev-tools libqt5svg5-dev
  libqcustomplot-dev libbenchmark-dev libsimdjson-dev
  libqt5multimedia5-plugins fonts-dejavu-core
  xvfb xdotool imagemagick
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
    # A test that waits on real timers can miss them on an overloaded machine; one rerun
    # tells such a miss from a fault (a fault fails twice).
    ctest --test-dir "$build_dir" --output-on-failure -j "$jobs" --repeat until-pass:2
    ;;
  run)
    terminal="$build_dir/terminal/kestral-terminal"
    host=${KESTRAL_BROKER_HOST:-127.0.0.1}
    if [ "$host" = 127.0.0.1 ] || [ "$host" = localhost ]; then
      # No broker named: run our local trade server for the terminal to log in to.
      server_log="$build_dir/kestral-server.log"
      "$build_dir/server/kestral-server" >"$server_log" 2>&1 &
      server_pid=$!
      stop_server() { kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null || true; }
      trap stop_server EXIT
      trap 'exit 130' INT TERM
      for _ in $(seq 50); do
        grep -q '^demo-account' "$server_log" 2>/dev/null && break
        kill -0 "$server_pid" 2>/dev/null || { cat "$server_log" >&2; exit 1; }
        sleep 0.1
      done
      read -r _ _ login _ password _ investor < <(grep "^demo-account" "$server_log") ||
        { echo "The local trade server did not start:" >&2; cat "$server_log" >&2; exit 1; }
      database=$(sed -n 's/^database //p' "$server_log")
      echo "Local trade server running (log: $server_log; accounts and trades kept in $database)."
      echo "Log in (File > Connect to Trade server) to KestralDemo with login $login, password $password (read-only: $investor)."
      export KESTRAL_BROKER_HOST=127.0.0.1
    fi
    if [ ! -x "$terminal" ]; then
      echo "The terminal ($terminal) is not built yet." >&2
      if [ -n "${server_pid:-}" ]; then
        echo "The local trade server keeps running until Ctrl-C." >&2
        wait "$server_pid"
      fi
      exit 1
    fi
    "$terminal"
    ;;
  *)
    echo "usage: $0 [test|run]" >&2
    exit 2
    ;;
esac
