#!/usr/bin/env bash
# Starting the application with a desktop picture of a real Mac's size: the real Norvane of the
# build on a fresh copy of the template machine, on a virtual display, from its start until its
# item is on the screen (in time, and in the CPU time its threads ran until then, which other
# work on the machine disturbs less), and its peak of resident memory and the CPU time a second later. It
# measures; it does not pass or fail.
#   bench/app-start.sh [RUNS]   (default 5 runs of each; NORVANE_BUILD: the build)
#
# Pictures: a small one (640 × 400 PNG), a 5K one (5120 × 2880 PNG) and a 6K one
# (6016 × 3384 JPEG). Each is measured at a first start with that picture (nothing of it kept
# in the Caches folder) and at a later start (the Caches folder as the first start left it).
# Then the median of the runs.
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
"$measure" picture "$work/pictures/small.png" 640 400
"$measure" picture "$work/pictures/5k.png" 5120 2880
"$measure" picture "$work/pictures/6k.jpg" 6016 3384

# One start: "milliseconds cpu-milliseconds peak-KiB settled-cpu-milliseconds". `first` empties the Caches folder before it.
start() {
  if [ "$2" = first ]; then rm -rf "$XDG_CACHE_HOME" && mkdir -p "$XDG_CACHE_HOME"; fi
  "$measure" run "$app" --update-source http://127.0.0.1:9/version.json 2>/dev/null
}
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

for picture in small.png 5k.png 6k.jpg; do
  for when in first later; do
    results=()
    for _ in $(seq "$runs"); do
      private_folders "$work"
      cat >"$XDG_CONFIG_HOME/app.norvane.Norvane.plist" <<'PLIST'
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>onboardingShown</key><true/></dict></plist>
PLIST
      printf '{"accentColor": [0, 0.48, 1], "screens": [{"desktopPicture": "%s"}]}\n' \
        "$work/pictures/$picture" >"$NORVANE_MACHINE/workspace/desktop.json"
      # A later start follows a first one with the same picture.
      if [ "$when" = later ]; then start "$picture" first >/dev/null; fi
      results+=("$(start "$picture" "$when")")
    done
    ms="$(printf '%s\n' "${results[@]}" | awk '{ print $1 }' | median)"
    cpu="$(printf '%s\n' "${results[@]}" | awk '{ print $2 }' | median)"
    peak="$(printf '%s\n' "${results[@]}" | awk '{ print $3 }' | median)"
    settled="$(printf '%s\n' "${results[@]}" | awk '{ print $4 }' | median)"
    printf '%-9s %-5s start: item on the screen after %s ms (CPU %s ms); a second later CPU %s ms, peak resident %.1f MiB (median of %s)\n' \
      "$picture" "$when" "$ms" "$cpu" "$settled" "$(echo "$peak" | awk '{ print $1 / 1024 }')" "$runs"
  done
done
