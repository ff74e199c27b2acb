#!/usr/bin/env bash
# Screenshots of the real application under a virtual display, in named states, for
# reviewers: each state runs the built Norvane with --demo on a fresh copy of the template
# machine, with user folders of its own, in UTC and plain English.
#   scripts/screenshots.sh [FOLDER]   (default build/default/screenshots; NORVANE_BUILD: the build)
#
#   closed.png       just started: the item in the menu-bar strip
#   open.png         with --open: the panel under the item
#   stats.png        with --open --stats
#   url.png          after "norvane://awake?minutes=30" and "norvane://open/stats" from a second start
#   hotkey.png       after the saved hot keys were pressed with xdotool: ⌥⌘A (keep-awake), ⌃⌘Space (panel)
#   stats-<state>.png  the whole Stats page (--open --stats --tall) on a display 2000 points high:
#     battery, plugged        with --demo on battery; the template's Mac plugged in and charging
#     system-before, -after   the system card while its first reading waits, and once it has two
#     sleep                   the sleep card with the template's power log (no --demo)
#     apps-today, apps-per-hour   --apps-today, --apps-per-hour (with --demo)
#     history-3h, -24h, -7d   each span of the history card with --demo, chosen with xdotool
#     limit-ready, limit-unverified, limit-unsupported, limit-needs-newer   the charge-limit
#                             control by what the machine's macOS and charge-limit service offer
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
build="${NORVANE_BUILD:-$repo/build/default}"
app="$build/Norvane.app/Contents/MacOS/Norvane"
shoot="$build/examples/norvane_screenshot"
folder="$(realpath -m "${1:-$build/screenshots}")"
for needed in "$app" "$shoot"; do
  if [ ! -x "$needed" ]; then echo "$needed is missing: build first (cmake --build --preset default)" >&2; exit 1; fi
done
if ! command -v xdotool >/dev/null; then echo "xdotool is missing: run scripts/install-deps.sh" >&2; exit 1; fi
. "$repo/scripts/virtual-display.sh"
mkdir -p "$folder"
work="$(mktemp -d)"
cleanup() { stop_app; stop_display; rm -rf "$work"; }
trap cleanup EXIT
export TZ=UTC LANG=C.UTF-8 LC_ALL=C.UTF-8
start_display

# The application of one state, left running; the settling time lets it draw.
launch() {
  stop_app
  private_folders "$work"
  if [ -n "${hotkeys:-}" ]; then
    cat >"$XDG_CONFIG_HOME/app.norvane.Norvane.plist" <<PLIST
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>hotkeys</key><data>$(printf '%s' "$hotkeys" | base64 -w0)</data></dict></plist>
PLIST
  fi
  "$app" --demo "$@" &
  app_pid=$!
  sleep 3
}
shot() {
  "$shoot" "$folder/$1.png"
  echo "$folder/$1.png"
}

hotkeys=""
launch
shot closed
launch --open
shot open
launch --open --stats
shot stats
launch
"$app" "norvane://awake?minutes=30" "norvane://open/stats"
sleep 1.5
shot url
hotkeys='["awake",{"keyCode":0,"modifiers":2304,"label":"⌥⌘A"},"panel",{"keyCode":49,"modifiers":4352,"label":"⌃⌘Space"}]'
launch
xdotool key alt+super+a
xdotool key ctrl+super+space
sleep 1
shot hotkey

# ---- The Stats page, tall, on a display that holds all of it ----
stop_app
stop_display
start_display 1440x2000
# One state: the machine as `$1` (a function) leaves it, then the application with the options.
stats() {
  local setup="$1"
  shift
  stop_app
  private_folders "$work"
  "$setup"
  "$app" "$@" --open --stats --tall &
  app_pid=$!
  sleep "${settle:-4}"
}
as_template() { :; }
plugged_in() {
  local battery="$NORVANE_MACHINE/ioreg/AppleSmartBattery.plist"
  sed -i -e '/<key>\(AppleRaw\)\?ExternalConnected<\/key>/{n;s/false/true/}' \
    -e '/<key>IsCharging<\/key>/{n;s/false/true/}' \
    -e '/<key>Amperage<\/key>/{n;s/<integer>[0-9]*</<integer>2100</}' \
    -e '/<key>SystemPowerIn<\/key>/{n;s/<integer>[0-9]*</<integer>41000</}' "$battery"
}
limit_on() { sed -i 's/"enabled": false/"enabled": true/' "$NORVANE_MACHINE/PowerUI/SmartChargeClient.json"; }
macos() { sed -i "s/27\.2\.1/$1/g" "$NORVANE_MACHINE/System/Library/CoreServices/SystemVersion.plist"; }
unverified() { macos 27.3; }
needs_newer() { macos 26.3; }
unsupported() { sed -i 's/"supported": true/"supported": false/' "$NORVANE_MACHINE/PowerUI/SmartChargeClient.json"; }
# The network counters become a pipe that no one writes yet: the card's first read waits on
# it (in the background: the panel stays live) until the feeder below starts.
network_pipe() { mkdir -p "$NORVANE_MACHINE/proc/net" && mkfifo "$NORVANE_MACHINE/proc/net/dev"; }
feeder=""
stop_feeder() {
  if [ -n "$feeder" ]; then
    kill "$feeder" 2>/dev/null || true
    wait "$feeder" 2>/dev/null || true
    : <>"$NORVANE_MACHINE/proc/net/dev"  # lets a writer still waiting for a reader go
    feeder=""
  fi
}
trap 'stop_feeder; cleanup' EXIT

stats as_template --demo
shot stats-battery
stats plugged_in
shot stats-plugged
stats network_pipe --demo
shot stats-system-before
(while :; do cat /proc/net/dev >"$NORVANE_MACHINE/proc/net/dev"; done) &
feeder=$!
sleep 4
shot stats-system-after
stop_app
stop_feeder
stats as_template
shot stats-sleep
settle=8 stats as_template --demo --apps-today
shot stats-apps-today
settle=8 stats as_template --demo --apps-per-hour
shot stats-apps-per-hour
# The span picker sits at the history card's top right, under the battery and system cards.
settle=6 stats as_template --demo
shot stats-history-3h
panel_at() {  # the panel is the window of the application's name that is 344 wide
  local w
  for w in $(xdotool search --name '^Norvane$'); do
    eval "$(xdotool getwindowgeometry --shell "$w")"
    if [ "$WIDTH" = 344 ]; then echo "$X $Y"; return; fi
  done
}
read -r px py < <(panel_at)
xdotool mousemove $((px + 259)) $((py + 897)) click 1
sleep 1
shot stats-history-24h
xdotool mousemove $((px + 297)) $((py + 897)) click 1
sleep 1
shot stats-history-7d
stats limit_on
shot stats-limit-ready
stats unverified
shot stats-limit-unverified
stats unsupported
shot stats-limit-unsupported
stats needs_newer
shot stats-limit-needs-newer
