#!/usr/bin/env bash
# The application's own footprint while idle with the panel closed: the real Norvane of the
# build on a fresh copy of the template machine (a virtual display when Xvfb is there, else
# Qt's offscreen platform), left alone for a while after it has settled. It measures; it
# does not pass or fail.
#   bench/app-idle.sh [SECONDS] [RUNS] [tour]   (default 60 s, 3 runs; NORVANE_BUILD: the build)
#
# Per run: the CPU time the process used (all its threads, also those that ended), as a share
# of one core; the CPU time of its children (the sampler's `top`); the wake-ups (context
# switches) of its threads alive at the end, per second; the resident memory at the end.
# Then the median of the runs. CPU times come in clock ticks (usually 10 ms).
#
# With `tour` (needs Xvfb and xdotool) each run is a first launch, which opens the welcome
# tour at its first step with the live permission probes, and measures twice: while the
# tour's window is open, then after Esc has closed it. Otherwise the tour counts as shown
# before, so it does not open.
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
build="${NORVANE_BUILD:-$repo/build/default}"
app="$build/Norvane.app/Contents/MacOS/Norvane"
seconds="${1:-60}"
runs="${2:-3}"
tour="${3:-}"
settle=10
if [ ! -x "$app" ]; then echo "No application at $app: build first" >&2; exit 1; fi
. "$repo/scripts/virtual-display.sh"
work="$(mktemp -d)"
cleanup() { stop_app; stop_display; rm -rf "$work"; }
trap cleanup EXIT
if command -v Xvfb >/dev/null; then start_display; platform="xcb on Xvfb"; else export QT_QPA_PLATFORM=offscreen; platform=offscreen; fi
if [ -n "$tour" ] && { [ "$platform" = offscreen ] || ! command -v xdotool >/dev/null; }; then
  echo "The tour is measured on Xvfb with xdotool: run scripts/install-deps.sh" >&2
  exit 1
fi
ticks_per_second="$(getconf CLK_TCK)"

# utime stime cutime cstime of the process (fields 14-17 of /proc/PID/stat, after the name).
cpu_ticks() { sed 's/^.*) //' "/proc/$1/stat" | awk '{ print $12 + $13, $14 + $15 }'; }
# tid:switches for every thread.
switches() {
  for status in /proc/"$1"/task/*/status; do
    awk -v tid="$(basename "$(dirname "$status")")" \
      '/^(non)?voluntary_ctxt_switches/ { n += $2 } END { print tid ":" n }' "$status" 2>/dev/null || true
  done
}
rss_kib() { awk '/^VmRSS/ { print $2 }' "/proc/$1/status"; }

# One measurement of the running application over `seconds`: "cpu children wake-ups memory".
measure() {
  local own0 children0 own1 children1 before after rss wakeups
  read -r own0 children0 < <(cpu_ticks "$app_pid")
  before="$(switches "$app_pid")"
  sleep "$seconds"
  read -r own1 children1 < <(cpu_ticks "$app_pid")
  after="$(switches "$app_pid")"
  rss="$(rss_kib "$app_pid")"
  wakeups="$(awk -F: 'NR == FNR { start[$1] = $2; next } { total += $2 - ($1 in start ? start[$1] : 0) } END { print total }' \
    <(echo "$before") <(echo "$after"))"
  awk -v o=$((own1 - own0)) -v c=$((children1 - children0)) -v w="$wakeups" -v r="$rss" \
    -v s="$seconds" -v t="$ticks_per_second" \
    'BEGIN { printf "%.4f %.4f %.2f %.1f", 100 * o / t / s, 100 * c / t / s, w / s, r / 1024 }'
}
report() {
  local own children wake memory
  read -r own children wake memory <<<"$2"
  echo "run $run, $1: CPU $own % of a core (children $children %), $wake wake-ups/s, resident $memory MiB"
}

idle=()
open=()
for run in $(seq "$runs"); do
  private_folders "$work"
  # The defaults of a first launch, or of one after the tour was shown.
  rm -f "$XDG_CONFIG_HOME/app.norvane.Norvane.plist"
  if [ -z "$tour" ]; then
    cat >"$XDG_CONFIG_HOME/app.norvane.Norvane.plist" <<'PLIST'
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>onboardingShown</key><true/></dict></plist>
PLIST
  fi
  # No update check over the network: the feed's address refuses at once.
  "$app" --update-source http://127.0.0.1:9/version.json 2>/dev/null &
  app_pid=$!
  sleep "$settle"
  if [ -n "$tour" ]; then
    line="$(measure)"
    report "tour open" "$line"
    open+=("$line")
    xdotool key Escape
    sleep 2
  fi
  line="$(measure)"
  report "panel closed" "$line"
  idle+=("$line")
  stop_app
done
median() { printf '%s\n' "${@:2}" | awk -v f="$1" '{ print $f }' | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
summary() {
  shift
  echo "  CPU $(median 1 "$@") % of a core, children $(median 2 "$@") %, $(median 3 "$@") wake-ups/s, resident $(median 4 "$@") MiB"
}
if [ -n "$tour" ]; then
  echo "median of $runs runs of $seconds s with the tour's window open ($platform):"
  summary open "${open[@]}"
  echo "median of $runs runs of $seconds s after it closed, panel closed ($platform):"
else
  echo "median of $runs runs of $seconds s idle, panel closed ($platform):"
fi
summary idle "${idle[@]}"
