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
#   settings-<state>.png  with --open --settings --tall, on a taller display, the helper not-installed,
#                    needs-approval, ready, or unavailable (a copy run from outside its bundle);
#                    settings-ready-end.png the same scrolled to its end
#   update-<stage>.png, notice-<kind>.png, hotkey-row-<state>.png
#                    drawn by norvane_panel_gallery: the update card in each stage (idle, also with a
#                    copy that cannot replace itself, downloading, checking, ready, installing, failed),
#                    the notices (tour, energy-mode, app-did-not-quit, helper-setup) and a shortcut row
#                    idle, recording, refused and recorded
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
build="${NORVANE_BUILD:-$repo/build/default}"
app="$build/Norvane.app/Contents/MacOS/Norvane"
shoot="$build/examples/norvane_screenshot"
gallery="$build/examples/norvane_panel_gallery"
folder="$(realpath -m "${1:-$build/screenshots}")"
for needed in "$app" "$shoot" "$gallery"; do
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
  if [ -n "${helper:-}" ]; then
    mkdir -p "$NORVANE_MACHINE/launchd"
    printf '{"daemons": {"app.norvane.helper.plist": {"bundle": "%s", "status": "%s"}}}\n' \
      "$(realpath "$build/Norvane.app")" "$helper" >"$NORVANE_MACHINE/launchd/registrations.json"
  fi
  "${program:-$app}" --demo "$@" &
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

# The settings screen at its full height, on a display tall enough for it, in each state of
# the helper; a copy outside its bundle cannot have one.
hotkeys=""
stop_app
stop_display
start_display 1440x1600
for state in not-installed:"" needs-approval:requiresApproval ready:enabled unavailable:""; do
  helper="${state#*:}"
  program=""
  if [ "${state%%:*}" = unavailable ]; then
    cp "$app" "$work/Norvane"
    program="$work/Norvane"
  fi
  launch --open --settings --tall
  shot "settings-${state%%:*}"
  if [ "${state%%:*}" = ready ]; then
    # The end of the screen, scrolled to with the wheel over the panel.
    xdotool mousemove 1300 800 click --repeat 30 --delay 20 5
    sleep 0.5
    shot settings-ready-end
  fi
done
helper=""
program=""

# The notices, the update card's stages and a shortcut row's states, drawn offscreen.
stop_app
private_folders "$work"
QT_QPA_PLATFORM=offscreen "$gallery" "$folder" >/dev/null
ls "$folder"/update-*.png "$folder"/notice-*.png "$folder"/hotkey-row-*.png
