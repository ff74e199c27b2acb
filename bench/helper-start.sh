#!/usr/bin/env bash
# How long the privileged helper takes from its start to listening on its service socket: the
# helper of the build's bundle, on a fresh copy of the template machine, several times; with
# `cold`, the page cache is dropped before each start (as root), so its program and libraries
# come from the disk. Whatever else loads the machine meanwhile counts, as it would for a user.
# The client gives a started helper 10 s to listen. It measures; it does not pass or fail.
#   bench/helper-start.sh [RUNS] [cold]   (default 5 runs; NORVANE_BUILD: the build, e.g. build/asan)
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
build="${NORVANE_BUILD:-$repo/build/default}"
helper="$build/Norvane.app/Contents/MacOS/NorvaneHelper"
runs="${1:-5}"
cold="${2:-}"
if [ ! -x "$helper" ]; then echo "No helper at $helper: build first" >&2; exit 1; fi
if [ -n "$cold" ] && [ ! -w /proc/sys/vm/drop_caches ]; then echo "Dropping the page cache needs root" >&2; exit 1; fi
work="$(mktemp -d)"
pid=""
cleanup() { if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi; rm -rf "$work"; }
trap cleanup EXIT

times=()
for run in $(seq "$runs"); do
  rm -rf "$work/machine"
  cp -a "$repo/platform/sim/template" "$work/machine"
  if [ -n "$cold" ]; then sync; echo 3 > /proc/sys/vm/drop_caches; fi
  socket="$work/machine/launchd/sockets/app.norvane.helper"
  start=$(date +%s%N)
  NORVANE_MACHINE="$work/machine" "$helper" 2>/dev/null &
  pid=$!
  until [ -S "$socket" ]; do
    if ! kill -0 "$pid" 2>/dev/null; then echo "The helper ended without listening" >&2; exit 1; fi
    sleep 0.005
  done
  listening=$(( ($(date +%s%N) - start) / 1000000 ))
  kill "$pid"; wait "$pid" 2>/dev/null || true; pid=""
  times+=("$listening")
  echo "run $run: listening after $listening ms"
done
median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }')
echo "median of $runs runs: $median ms (${cold:+cold page cache, }$(nproc) processors, load $(cut -d' ' -f1 /proc/loadavg))"
