# Sourced by the scripts that run the application without a display of their own: a virtual
# X display (Xvfb) of 1440 x 900 on a white desktop, and folders of the run's own.
#   start_display [WxH]  starts Xvfb on the first free display (1440x900 unless given) and
#                        exports DISPLAY
#   stop_display         stops it
#   stop_app             stops the application whose pid is in app_pid, if any
#   private_folders DIR  points the user's folders (XDG_*) and the machine folder into DIR,
#                        a copy of the template machine, so nothing of the user is touched

display_pid=""
app_pid=""

start_display() {
  if ! command -v Xvfb >/dev/null; then
    echo "Xvfb is missing: run scripts/install-deps.sh" >&2
    return 1
  fi
  local fifo
  fifo="$(mktemp -u)"
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 "${1:-1440x900}x24" -wr -nolisten tcp -noreset 3>"$fifo" 2>/dev/null &
  display_pid=$!
  local number
  read -r number <"$fifo"
  rm -f "$fifo"
  export DISPLAY=":$number"
}

# Ends a child of this script (none when the pid is empty) and waits for it.
end_child() {
  if [ -n "$1" ]; then
    kill "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
  fi
}

stop_display() { end_child "$display_pid"; display_pid=""; }

stop_app() { end_child "$app_pid"; app_pid=""; }

private_folders() {
  local dir="$1" repo
  repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
  mkdir -p "$dir/config" "$dir/data" "$dir/cache" "$dir/run"
  chmod 700 "$dir/run"
  rm -rf "$dir/machine"
  cp -r "$repo/platform/sim/template" "$dir/machine"
  export XDG_CONFIG_HOME="$dir/config" XDG_DATA_HOME="$dir/data" XDG_CACHE_HOME="$dir/cache"
  export XDG_RUNTIME_DIR="$dir/run" NORVANE_MACHINE="$dir/machine"
}
