#!/usr/bin/env bash
# Starts the built application with the given options (the README passes --demo --open) on
# the machine folder in use. With a display it simply runs until you quit it. Without one
# (a server, a container) it runs under a virtual display for a few seconds, saves a
# screenshot, says where, and stops it.
#   scripts/run.sh [OPTION…]      (NORVANE_BUILD: the build folder, default build/default)
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
build="${NORVANE_BUILD:-$repo/build/default}"
app="$build/Norvane.app/Contents/MacOS/Norvane"
if [ ! -x "$app" ]; then
  echo "No application at $app: build first (cmake --preset default && cmake --build --preset default)" >&2
  exit 1
fi
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$app" "$@"
fi

. "$repo/scripts/virtual-display.sh"
shot="$build/screenshots/run.png"
mkdir -p "$(dirname "$shot")"
runtime="$(mktemp -d)"
cleanup() { stop_app; stop_display; rm -rf "$runtime"; }
trap cleanup EXIT
start_display
# A runtime folder of its own, so that a Norvane already running elsewhere is not handed the start.
export XDG_RUNTIME_DIR="$runtime"
"$app" "$@" &
app_pid=$!
sleep 4
if ! kill -0 "$app_pid" 2>/dev/null; then
  wait "$app_pid" && status=0 || status=$?
  app_pid=""
  echo "Norvane ended by itself (status $status) before the screenshot" >&2
  exit 1
fi
"$build/examples/norvane_screenshot" "$shot"
echo "No display here: Norvane ran on a virtual one ($DISPLAY). Screenshot: $shot"
