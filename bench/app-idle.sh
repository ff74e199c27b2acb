#!/usr/bin/env bash
# The application's own footprint while idle with the panel closed: the real Norvane of the
# build on a fresh copy of the template machine (a virtual display when Xvfb is there, else
# Qt's offscreen platform), left alone for a while after it has settled. It measures; it
# does not pass or fail.
#   bench/app-idle.sh [SECONDS] [RUNS] [tour | agents | OPTION…]   (default 60 s, 3 runs; NORVANE_BUILD: the build)
# `tour` measures with the tour's window open, then closed; `agents` with keep-awake on in
# agent mode (resumed at start, as after a quit while it was on); other options go to the
# application: `--open --stats` measures it with the Stats page open.
#
# Per run: the CPU time the process's threads ran (the scheduler's time in nanoseconds, read
# from the process's CPU-time clock, which keeps the time of threads that ended), as a share
# of one core; the CPU time of its children (the sampler's `top`, in clock ticks, usually
# 10 ms: the kernel adds a child's time when it is reaped); the wake-ups per second: the
# voluntary context switches of its threads (a thread that waits and is woken; being
# preempted by another program is not a wake-up), counted for threads that ended too, as
# last seen by a look once a second; the resident memory at the end. Then the median of the
# runs.
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
tour=""
agents=""
options=("${@:3}")
if [ "${options[0]:-}" = tour ]; then tour=1; options=(); fi
if [ "${options[0]:-}" = agents ]; then agents=1; options=(); fi
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

# cutime + cstime of the process (fields 16-17 of /proc/PID/stat, after the name).
child_ticks() { sed 's/^.*) //' "/proc/$1/stat" | awk '{ print $14 + $15 }'; }
# Nanoseconds its threads ran, ended ones included: the process's CPU-time clock
# (clock_getcpuclockid's clock of the scheduler, made from the pid).
cpu_ns() { python3 -c 'import sys, time; pid = int(sys.argv[1]); print(time.clock_gettime_ns((~pid << 3) | 2))' "$1"; }
# tid:voluntary switches for every thread alive now.
switches() {
  for status in /proc/"$1"/task/*/status; do
    awk -v tid="$(basename "$(dirname "$status")")" \
      '/^voluntary_ctxt_switches/ { print tid ":" $2 }' "$status" 2>/dev/null || true
  done
}
rss_kib() { awk '/^VmRSS/ { print $2 }' "/proc/$1/status"; }

# One measurement of the running application over `seconds`: "cpu children wake-ups memory".
# The threads are looked at once a second, so a thread that ends still counts with what it
# had a second before; one that started meanwhile counts from nothing.
measure() {
  local own0 children0 own1 children1 rss wakeups seen start end
  seen="$work/switches"
  start="$(date +%s%N)"
  own0="$(cpu_ns "$app_pid")"
  children0="$(child_ticks "$app_pid")"
  switches "$app_pid" | sed 's/^/start:/' >"$seen"
  for _ in $(seq "$seconds"); do
    sleep 1
    switches "$app_pid" >>"$seen"
  done
  own1="$(cpu_ns "$app_pid")"
  end="$(date +%s%N)"
  children1="$(child_ticks "$app_pid")"
  rss="$(rss_kib "$app_pid")"
  wakeups="$(awk -F: '$1 == "start" { start[$2] = $3; next } { last[$1] = $2 }
    END { for (t in last) total += last[t] - (t in start ? start[t] : 0); print total + 0 }' "$seen")"
  awk -v o=$((own1 - own0)) -v c=$((children1 - children0)) -v w="$wakeups" -v r="$rss" \
    -v s="$(((end - start) / 1000000))" -v t="$ticks_per_second" \
    'BEGIN { s /= 1000; printf "%.4f %.4f %.2f %.1f", 100 * o / 1e9 / s, 100 * c / t / s, w / s, r / 1024 }'
}
report() {
  local own children wake memory
  read -r own children wake memory <<<"$2"
  echo "run $run, $1: CPU $own % of a core (children $children %), $wake wake-ups/s, resident $memory MiB"
}

what="${options[*]:-panel closed}"
if [ -n "$agents" ]; then what="keep-awake in agent mode, panel closed"; fi
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
  if [ -n "$agents" ]; then
    sed -i 's|</dict>|<key>awakeAgents</key><true/></dict>|' "$XDG_CONFIG_HOME/app.norvane.Norvane.plist"
  fi
  # No update check over the network: the feed's address refuses at once.
  "$app" --update-source http://127.0.0.1:9/version.json "${options[@]}" 2>/dev/null &
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
  report "$what" "$line"
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
  echo "median of $runs runs of $seconds s idle, $what ($platform):"
fi
summary idle "${idle[@]}"
