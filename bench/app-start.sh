#!/usr/bin/env bash
# Starting the application with a desktop picture of a real Mac's size: the real Norvane of the
# build on a fresh copy of the template machine, on a virtual display, from its start until its
# item is on the screen (in time, and in the CPU time its threads ran until then, which other
# work on the machine disturbs less), and its peak of resident memory and the CPU time a second
# later; the CPU time of its main thread alone at both moments. It measures; it does not pass or
# fail.
#   bench/app-start.sh [RUNS]   (default 5 runs of each; NORVANE_BUILD: the build)
#
# Pictures: none, a 5K one (5120 × 2880 PNG) of 8 and of 16 bits a channel, and a 6K one
# (6016 × 3384 JPEG). Each is measured at a first start with that picture (nothing of it kept
# in the Caches folder) and at a later start (the Caches folder as the first start left it).
# Then the median of the runs, and against the start without a picture: the peak's excess and
# the main thread's time as a multiple.
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
build="${NORVANE_BUILD:-$repo/build/default}"
app="$build/Norvane.app/Contents/MacOS/Norvane"
measure="${START_BENCH:-$repo/build/default/bench/start_bench}"
runs="${1:-5}"
if [ ! -x "$app" ]; then echo "No application at $app: build first" >&2; exit 1; fi
if [ ! -x "$measure" ]; then echo "No $measure: build the benchmarks first" >&2; exit 1; fi
. "$repo/scripts/virtual-display.sh"
work="$(mktemp -d)"
cleanup() { stop_display; rm -rf "$work"; }
trap cleanup EXIT
start_display

mkdir -p "$work/pictures"
export XDG_RUNTIME_DIR="$work"
"$measure" picture "$work/pictures/5k.png" 5120 2880
"$measure" picture "$work/pictures/5k-16.png" 5120 2880 16
"$measure" picture "$work/pictures/6k.jpg" 6016 3384

# One start: "milliseconds cpu-milliseconds peak-KiB settled-cpu-milliseconds main-milliseconds
# settled-main-milliseconds". `first` empties the Caches folder before it.
start() {
  if [ "$2" = first ]; then rm -rf "$XDG_CACHE_HOME" && mkdir -p "$XDG_CACHE_HOME"; fi
  "$measure" run "$app" --update-source http://127.0.0.1:9/version.json 2>/dev/null
}
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

field() { printf '%s\n' "${results[@]}" | awk -v c="$1" '{ print $c }' | median; }
for picture in none 5k.png 5k-16.png 6k.jpg; do
  for when in first later; do
    if [ "$picture" = none ] && [ "$when" = later ]; then continue; fi
    results=()
    for _ in $(seq "$runs"); do
      private_folders "$work"
      cat >"$XDG_CONFIG_HOME/app.norvane.Norvane.plist" <<'PLIST'
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>onboardingShown</key><true/></dict></plist>
PLIST
      if [ "$picture" = none ]; then
        printf '{"accentColor": [0, 0.48, 1], "screens": [{}]}\n' >"$NORVANE_MACHINE/workspace/desktop.json"
      else
        printf '{"accentColor": [0, 0.48, 1], "screens": [{"desktopPicture": "%s"}]}\n' \
          "$work/pictures/$picture" >"$NORVANE_MACHINE/workspace/desktop.json"
      fi
      # A later start follows a first one with the same picture.
      if [ "$when" = later ]; then start "$picture" first >/dev/null; fi
      results+=("$(start "$picture" "$when")")
    done
    ms="$(field 1)" cpu="$(field 2)" peak="$(field 3)" settled="$(field 4)" main="$(field 5)"
    settled_main="$(field 6)"
    if [ "$picture" = none ]; then base_peak="$peak" base_main="$main" base_settled_main="$settled_main"; fi
    printf '%-9s %-5s start: item on the screen after %s ms (CPU %s ms, main thread %s ms); a second later CPU %s ms, main thread %s ms, peak resident %.1f MiB (median of %s)\n' \
      "$picture" "$when" "$ms" "$cpu" "$main" "$settled" "$settled_main" "$(echo "$peak" | awk '{ print $1 / 1024 }')" "$runs"
    printf '%-15s against no picture: peak %+.1f MiB, main thread %.2f× to the item, %.2f× a second later\n' "" \
      "$(echo "$peak $base_peak" | awk '{ print ($1 - $2) / 1024 }')" \
      "$(echo "$main $base_main" | awk '{ print $1 / $2 }')" \
      "$(echo "$settled_main $base_settled_main" | awk '{ print $1 / $2 }')"
  done
done
