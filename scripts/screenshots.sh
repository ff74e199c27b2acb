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
#   tour-<step>.png  the welcome tour with --onboarding --onboarding-rehearsal, opened at the
#                    stored step: welcome, know, control, notifications-not-asked, helper, finish
#   tour-notifications-waiting.png    after Return pressed "Allow notifications": macOS waits
#   tour-notifications-confirmed.png  7 s later, when the rehearsal has granted it
#   tour-helper-failed.png  the live tour (no rehearsal) on the helper step, with the helper
#                    registered and enabled but unable to read the energy mode (an empty
#                    pmset/settings.json), so its confirmation fails
#   tour-still.png   the know step with the machine's "Reduce motion" on: the still frames
#
# Every state but the tour's counts the tour as shown before, so it does not open at launch.
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

# The application of one state, left running; the settling time lets it draw. `stored` holds
# the defaults' entries (by default: the tour was shown), `machine_setup` a function that
# changes the fresh machine first.
launch() {
  stop_app
  private_folders "$work"
  if [ -n "${machine_setup:-}" ]; then "$machine_setup"; fi
  local entries="${stored:-<key>onboardingShown</key><true/>}"
  if [ -n "${hotkeys:-}" ]; then
    entries="$entries<key>hotkeys</key><data>$(printf '%s' "$hotkeys" | base64 -w0)</data>"
  fi
  cat >"$XDG_CONFIG_HOME/app.norvane.Norvane.plist" <<PLIST
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>$entries</dict></plist>
PLIST
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
hotkeys=""

# The tour, opened at a stored step.
tour() {
  local step="$1"
  shift
  stored="<key>onboardingStep</key><string>$step</string>"
  launch "$@"
  stored=""
  machine_setup=""
}
for step in welcome know control helper finish; do
  tour "$step" --onboarding --onboarding-rehearsal
  shot "tour-$step"
done
tour notifications --onboarding --onboarding-rehearsal
shot tour-notifications-not-asked
xdotool key Return
sleep 1
shot tour-notifications-waiting
sleep 7
shot tour-notifications-confirmed

failing_helper() {
  mkdir -p "$NORVANE_MACHINE/launchd"
  cat >"$NORVANE_MACHINE/launchd/registrations.json" <<JSON
{"daemons": {"app.norvane.helper.plist": {"bundle": "$(dirname "$(dirname "$(dirname "$app")")")", "status": "enabled"}}}
JSON
  echo '{}' >"$NORVANE_MACHINE/pmset/settings.json"
}
machine_setup=failing_helper
tour helper --onboarding
sleep 3
shot tour-helper-failed

reduce_motion() {
  mkdir -p "$NORVANE_MACHINE/Library/Preferences"
  echo '<plist version="1.0"><dict><key>reduceMotion</key><true/></dict></plist>' \
    >"$NORVANE_MACHINE/Library/Preferences/com.apple.universalaccess.plist"
}
machine_setup=reduce_motion
tour know --onboarding --onboarding-rehearsal
shot tour-still
