#!/usr/bin/env bash
# Screenshots of the real application under a virtual display, in named states, for
# reviewers: each state runs the built Norvane with --demo on a fresh copy of the template
# machine, with user folders of its own, in UTC and plain English.
#   scripts/screenshots.sh [FOLDER]   (default build/default/screenshots; NORVANE_BUILD: the build)
#
#   closed.png       just started: the item in the menu-bar strip
#   open.png         with --open: the panel under the item, the tour left before its end (its
#                    notice heads the Now page)
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
# The Now page in named states, the panel alone (now-<state>.png):
#   now-battery          on battery at 72 %, as the template machine is
#   now-low              with --percent 20: the accent turns red
#   now-charging-1, -2   on the charger and charging (without --demo): two frames 0.6 s apart,
#                        the ring's blink
#   now-limit-off        with --limit-open, the charge limit off
#   now-limit-80         with --limit-open, the limit held at 80 %
#   now-limit-busy       with --limit-open, right after "norvane://limit/85": applying it
#   now-tip-open         with --tip-open, scrolled down to the tip
#   now-short            with --short: the page capped at 420 points
#   now-quit             Firefox quit on battery: what it changed, measured since
#   now-long-names       every name from outside 70 characters long (the apps, the holders, the
#                        processor) on battery, without --demo and without a power log (so the
#                        heavy-app tip shows): the summary wraps, the names are cut to the panel
#   now-long-names-tip   the same with --tip-open, scrolled down to the tip and its Quit button
#   now-long-names-quit  the app of the long name quit: the quit line, wrapped
#   now-no-battery       a Mac without a battery (no ioreg/AppleSmartBattery.plist)
#   now-high-power       a Mac that offers High Power: the energy segments and their caption
#   now-focus            Tab pressed three times: the focus ring on the control it reached
#
# The Stats page in named states, the panel alone with all of the page (--open --stats --tall,
# on a display 2000 points high) (stats-<state>.png):
#   stats-battery        on battery, as the template machine is
#   stats-plugged        on the charger and charging (without --demo)
#   stats-system-before  the system card while its first reading waits
#   stats-system-after   and once it has two
#   stats-sleep          the sleep card with the template's power log (without --demo)
#   stats-apps-today     with --apps-today
#   stats-apps-per-hour  with --apps-per-hour
#   stats-history-3h, -24h, -7d   each span of the history card, chosen with a click
#   stats-limit-ready, -unverified, -unsupported, -needs-newer   the charge-limit control by
#                        what the machine's macOS and its charge-limit service offer
#   stats-long-names     every name from outside 70 characters long (the processor, the apps)
#   stats-no-battery     a Mac without a battery: the system, sleep and apps cards
#   stats-long-sleep     a sleep of ten hours and a half from a day ago (without --demo): its
#                        time whole, the row's bar given way where both do not fit
#   stats-focus          Tab pressed three times: the focus ring on the charge-limit slider
#
# The settings screen, the panel alone with --open --settings --tall on a taller display
# (settings-<state>.png): the helper not-installed, needs-approval, ready or unavailable (a
# copy run from outside its bundle); settings-ready-end.png the same scrolled to its end;
# settings-full-by-0930.png and -1000.png, the full-by row every day at 9:30 and at 10:00 with
# the limit held at 80 %.
#
# On a 1024 x 600 screen, the tour opened at a stored step (tour-small-<step>.png): welcome,
# and know, whose page is taller than the window and scrolls.
#
# In a system tray (Debian's trayer, 40 points high, along the top right) instead of the
# menu-bar strip, the top of the panel open under it (tray-<panel>.png): dark (tint 0x202020)
# and light (0xe0e0e0); the battery's dots light on the dark tray and dark on the light one.
# The icon a tray of the session bus is sent, at 22 and 64 pixels on a light and on a dark
# strip (tray-sni-light.png, tray-sni-dark.png), is written by the journey tray_sni
# (ctest --preset default -R journey.tray_sni), not by this script.
#
# Drawn offscreen by norvane_panel_gallery: update-<stage>.png, the update card in each stage
# (idle, also with a copy that cannot replace itself, downloading, checking, ready, installing,
# failed); notice-<kind>.png, the notices (tour, energy-mode, app-did-not-quit, helper-setup);
# hotkey-row-<state>.png, a shortcut row idle, recording, refused and recorded.
#
# Every state but the tour's and open.png counts the tour as finished before, so it neither
# opens at launch nor leaves its notice over the page.
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

# The application of one state, left running; the settling time lets it draw. `stored` holds
# the defaults' entries (by default: the tour was shown and finished); `prepare`, when set,
# names a function that changes the fresh machine first; `real` leaves out --demo (which shows
# the Mac on battery whatever the machine says); `helper` registers the helper in that state;
# `program` runs another copy of the executable.
launch() {
  stop_app
  private_folders "$work"
  if [ -n "${prepare:-}" ]; then "$prepare"; fi
  local entries="${stored:-<key>onboardingShown</key><true/><key>onboardingDone</key><true/>}"
  if [ -n "${hotkeys:-}" ]; then
    entries="$entries<key>hotkeys</key><data>$(printf '%s' "$hotkeys" | base64 -w0)</data>"
  fi
  if [ -n "${helper:-}" ]; then
    mkdir -p "$NORVANE_MACHINE/launchd"
    printf '{"daemons": {"app.norvane.helper.plist": {"bundle": "%s", "status": "%s"}}}\n' \
      "$(realpath "$build/Norvane.app")" "$helper" >"$NORVANE_MACHINE/launchd/registrations.json"
  fi
  cat >"$XDG_CONFIG_HOME/app.norvane.Norvane.plist" <<PLIST
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>$entries</dict></plist>
PLIST
  local options=(--demo)
  if [ -n "${real:-}" ]; then options=(); fi
  "${program:-$app}" "${options[@]}" "$@" &
  app_pid=$!
  sleep 3
}
shot() {
  "$shoot" "$folder/$1.png" "${@:2}"
  echo "$folder/$1.png"
}
# The panel's window with a margin: the taller of the two windows called Norvane (the other
# is the menu-bar strip).
panel_rect() {
  local id best="" tallest=0 X Y WIDTH HEIGHT SCREEN WINDOW
  for id in $(xdotool search --onlyvisible --name '^Norvane$' 2>/dev/null); do
    eval "$(xdotool getwindowgeometry --shell "$id")"
    if [ "$HEIGHT" -gt "$tallest" ]; then
      tallest=$HEIGHT
      local x=$((X > 12 ? X - 12 : 0)) y=$((Y > 12 ? Y - 12 : 0))
      best="$x $y $((WIDTH + 24)) $((HEIGHT + 24))"
    fi
  done
  echo "$best"
}
now_shot() {
  # shellcheck disable=SC2046 # the rectangle is four words
  shot "now-$1" $(panel_rect)
}

# Changes to the template machine, one per state.
battery_file() { echo "$NORVANE_MACHINE/ioreg/AppleSmartBattery.plist"; }
# A key's value on the line after it: set_key FILE KEY 'NEW VALUE LINE CONTENT'.
set_key() { sed -i "/<key>$2<\/key>/{n;s|<[a-z]*/>|$3|;s|<integer>[^<]*</integer>|$3|}" "$1"; }
charging() {
  local file
  file="$(battery_file)"
  for key in ExternalConnected AppleRawExternalConnected IsCharging; do set_key "$file" "$key" '<true/>'; done
  set_key "$file" Amperage '<integer>2140</integer>'
  set_key "$file" InstantAmperage '<integer>2140</integer>'
  set_key "$file" AvgTimeToFull '<integer>48</integer>'
}
# Turns the mouse wheel over the panel, a step at a time, down to see what lies below.
scroll_panel() {
  local x y width height
  read -r x y width height <<<"$(panel_rect)"
  xdotool mousemove $((x + width / 2)) $((y + height / 2))
  for _ in $(seq "$1"); do xdotool click 5; done
  sleep 0.3
}
limit_at_80() { sed -i 's/"enabled": false/"enabled": true/' "$NORVANE_MACHINE/PowerUI/SmartChargeClient.json"; }
# Names of 70 characters wherever a name from outside shows: two apps (their bundles, their
# processes, the running applications and so the holders of sleep assertions) and the
# processor; the power log emptied, so that the heavy app's tip is the one shown.
long_name="Northwind Cartography and Tidal Survey Instruments Professional Editor"
long_names() {
  local file
  sed -i "s|^machdep.cpu.brand_string: .*|machdep.cpu.brand_string: Apple M3 Pro Max with Northwind Cartography Tidal Coprocessor|" \
    "$NORVANE_MACHINE/sysctl.txt"
  for file in "$NORVANE_MACHINE/top/processes.json" "$NORVANE_MACHINE/workspace/running.json"; do
    sed -i "s|/Applications/Firefox.app|/Applications/$long_name.app|g; s|\"name\": \"Firefox\"|\"name\": \"$long_name\"|;
            s|/Applications/Slack.app|/Applications/$long_name 2.app|g; s|\"name\": \"Slack\"|\"name\": \"$long_name 2\"|" "$file"
  done
  mv "$NORVANE_MACHINE/Applications/Firefox.app" "$NORVANE_MACHINE/Applications/$long_name.app"
  mv "$NORVANE_MACHINE/Applications/Slack.app" "$NORVANE_MACHINE/Applications/$long_name 2.app"
  : >"$NORVANE_MACHINE/pmset/log.txt"
}
no_battery() { rm "$(battery_file)"; }
long_sleep() {
  printf '%s\n' "{now-87000} Sleep               	Entering Sleep state due to 'Clamshell Sleep': Using AC (Charge:88%) 3600 secs" \
    "{now-49200} Wake                	Wake from Deep Idle [CDNVA] : due to EC.LidOpen/Lid Open Using AC (Charge:88%)" \
    >"$NORVANE_MACHINE/pmset/log.txt"
}
high_power() { printf 'Capabilities for Battery Power:\n highpowermode\n lowpowermode\n' >"$NORVANE_MACHINE/pmset/capabilities.txt"; }
# Three presses of Tab, as a person moves through the panel with the keyboard.
three_tabs() {
  local _
  for _ in 1 2 3; do xdotool key Tab; sleep 0.2; done
  sleep 0.3
}

hotkeys=""
launch
shot closed
stored="<key>onboardingShown</key><true/>" launch --open
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
  prepare=""
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
prepare=failing_helper
tour helper --onboarding
sleep 3
shot tour-helper-failed

reduce_motion() {
  mkdir -p "$NORVANE_MACHINE/Library/Preferences"
  echo '<plist version="1.0"><dict><key>reduceMotion</key><true/></dict></plist>' \
    >"$NORVANE_MACHINE/Library/Preferences/com.apple.universalaccess.plist"
}
prepare=reduce_motion
tour know --onboarding --onboarding-rehearsal
shot tour-still

launch --open
now_shot battery
launch --open --percent 20
now_shot low
prepare=charging real=1 launch --open
# Two grabs started 0.6 s apart, each taking as long to start: the frames lie 0.6 s apart.
now_shot charging-1 &
first=$!
sleep 0.6
now_shot charging-2
wait "$first"
launch --open --limit-open
now_shot limit-off
prepare=limit_at_80 launch --open --limit-open
now_shot limit-80
launch --open --limit-open
"$app" "norvane://limit/85"
sleep 0.3
now_shot limit-busy
launch --open --tip-open
scroll_panel 12
now_shot tip-open
launch --open --short
now_shot short

# A quit as the Mac tells of it: the app's processes and its entry are gone, then the
# announcement. The draw needs 15 s of readings before and after.
launch --open
sleep 17
sed -i '/Firefox/d' "$NORVANE_MACHINE/top/processes.json" "$NORVANE_MACHINE/workspace/running.json"
echo '{"event":"terminated","bundle":"/Applications/Firefox.app"}' >>"$NORVANE_MACHINE/workspace/events.jsonl"
sed -i 's/"value": -1243/"value": -1010/' "$NORVANE_MACHINE/smc/keys.json"  # the draw without it
sleep 18
now_shot quit

prepare=long_names real=1 launch --open
sleep 2  # the apps' first sample
now_shot long-names
prepare=long_names real=1 launch --open --tip-open
sleep 2
scroll_panel 12
now_shot long-names-tip
# The quit as above, of the app with the long name.
prepare=long_names launch --open
sleep 17
sed -i "/$long_name\.app/d" "$NORVANE_MACHINE/top/processes.json" "$NORVANE_MACHINE/workspace/running.json"
echo "{\"event\":\"terminated\",\"bundle\":\"/Applications/$long_name.app\"}" >>"$NORVANE_MACHINE/workspace/events.jsonl"
sed -i 's/"value": -1243/"value": -1010/' "$NORVANE_MACHINE/smc/keys.json"
sleep 18
now_shot long-names-quit
prepare=no_battery launch --open
now_shot no-battery
prepare=high_power launch --open
now_shot high-power
launch --open
three_tabs
now_shot focus

# ---- The Stats page, all of it, on a display tall enough ----
stop_app
stop_display
start_display 1440x2000
stats_shot() {
  # shellcheck disable=SC2046 # the rectangle is four words
  shot "stats-$1" $(panel_rect)
}
# The Stats page, left until the system card has read twice: its rates and load need two
# readings 3 s apart.
stats() {
  launch --open --stats --tall "$@"
  sleep 4
}
# On the charger: what comes from the wall is what the Mac uses and what goes into the battery.
plugged() {
  charging
  set_key "$(battery_file)" SystemPowerIn '<integer>41230</integer>'
}
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
    end_child "$feeder"
    : <>"$NORVANE_MACHINE/proc/net/dev"  # lets a writer still waiting for a reader go
    feeder=""
  fi
}
trap 'stop_feeder; cleanup' EXIT

stats
stats_shot battery
prepare=plugged real=1 stats
stats_shot plugged
prepare=network_pipe launch --open --stats --tall
stats_shot system-before
(while :; do cat /proc/net/dev >"$NORVANE_MACHINE/proc/net/dev"; done) &
feeder=$!
sleep 4
stats_shot system-after
stop_app
stop_feeder
real=1 stats
stats_shot sleep
stats --apps-today
stats_shot apps-today
stats --apps-per-hour
stats_shot apps-per-hour
stats
stats_shot history-3h
# The span picker's 24H and 7D at the history card's top right, below the battery and
# system cards.
read -r px py _ <<<"$(panel_rect)"
xdotool mousemove $((px + 12 + 259)) $((py + 12 + 897)) click 1
sleep 1
stats_shot history-24h
xdotool mousemove $((px + 12 + 297)) $((py + 12 + 897)) click 1
sleep 1
stats_shot history-7d
prepare=limit_at_80 stats
stats_shot limit-ready
prepare=unverified stats
stats_shot limit-unverified
prepare=unsupported stats
stats_shot limit-unsupported
prepare=needs_newer stats
stats_shot limit-needs-newer
prepare=long_names stats
stats_shot long-names
prepare=no_battery stats
stats_shot no-battery
prepare=long_sleep real=1 stats
stats_shot long-sleep
prepare=limit_at_80 stats
three_tabs
stats_shot focus

# The settings screen at its full height, on a display tall enough for it, in each state of
# the helper; a copy outside its bundle cannot have one.
stop_app
stop_display
start_display 1440x1600
for state in not-installed:"" needs-approval:requiresApproval ready:enabled unavailable:""; do
  name="${state%%:*}"
  program=""
  if [ "$name" = unavailable ]; then
    cp "$app" "$work/Norvane"
    program="$work/Norvane"
  fi
  helper="${state#*:}" launch --open --settings --tall
  # shellcheck disable=SC2046 # the rectangle is four words
  shot "settings-$name" $(panel_rect)
  if [ "$name" = ready ]; then
    scroll_panel 30
    # shellcheck disable=SC2046
    shot settings-ready-end $(panel_rect)
  fi
done
program=""

# The full-by row with the hour of one digit and of two: its steps stay where they are.
for time in 09:30 10:00; do
  minutes=$((10#${time%%:*} * 60 + 10#${time##*:}))
  stored="<key>onboardingShown</key><true/><key>onboardingDone</key><true/><key>fullByMode</key><string>daily</string><key>fullByMinutes</key><integer>$minutes</integer><key>fullByTarget</key><date>$(date -u -d "tomorrow $time" +%Y-%m-%dT%H:%M:%SZ)</date>" \
    prepare=limit_at_80 launch --open --settings --tall
  # shellcheck disable=SC2046
  shot "settings-full-by-${time/:/}" $(panel_rect)
done
stored=""

# ---- A small screen: the tour on 1024 x 600, shorter than its pages ----
stop_app
stop_display
start_display 1024x600
for step in welcome know; do
  tour "$step" --onboarding --onboarding-rehearsal
  shot "tour-small-$step"
done

# ---- A system tray (Debian's trayer) in place of the menu-bar strip, on a dark and a light
# panel: the tray at the top right with the panel open under it ----
stop_app
stop_display
if command -v trayer >/dev/null; then
  start_display
  tray_pid=""
  stop_tray() { end_child "$tray_pid"; tray_pid=""; }
  trap 'stop_tray; stop_feeder; cleanup' EXIT
  for panel in dark:0x202020 light:0xe0e0e0; do
    trayer --edge top --align right --width 30 --height 40 --transparent true --alpha 0 \
      --tint "${panel#*:}" >/dev/null 2>&1 &
    tray_pid=$!
    # The application looks for a tray as it starts: its window first (trayer's is "panel").
    timeout 15 xdotool search --sync --onlyvisible --classname panel >/dev/null
    launch --open
    shot "tray-${panel%%:*}" 1200 0 240 110
    stop_app
    stop_tray
  done
else
  echo "trayer is missing (scripts/install-deps.sh): no tray-*.png" >&2
fi

# The notices, the update card's stages and a shortcut row's states, drawn offscreen.
stop_app
private_folders "$work"
QT_QPA_PLATFORM=offscreen "$gallery" "$folder" >/dev/null
ls "$folder"/update-*.png "$folder"/notice-*.png "$folder"/hotkey-row-*.png
