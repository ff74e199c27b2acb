#!/usr/bin/env bash
# Makes this user's desktop open norvane:// URLs with the built application: installs
# norvane.desktop (its Exec line naming the executable) among the user's applications and
# makes it the handler of the scheme. A running Norvane gets the URL from the copy that the
# desktop starts.
#   scripts/install-url-scheme.sh [executable]   (default: the default preset's build)
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
executable="$(realpath -m "${1:-$repo/build/default/Norvane.app/Contents/MacOS/Norvane}")"
if [ ! -x "$executable" ]; then
  echo "No executable at $executable: build first (cmake --workflow --preset default)" >&2
  exit 1
fi
if ! command -v xdg-mime >/dev/null; then
  echo "xdg-mime is missing: run scripts/install-deps.sh (it installs xdg-utils)" >&2
  exit 1
fi
applications="${XDG_DATA_HOME:-$HOME/.local/share}/applications"
mkdir -p "$applications"
# Quoted in the Exec line, so spaces are fine; characters that the desktop's escaping rules
# would turn into something else are refused rather than half escaped.
case "$executable" in
  *[\"\`\$\\%]* | *$'\n'*) echo "The path $executable cannot stand in a desktop file: move the build" >&2; exit 1 ;;
esac
quoted="\"$executable\""
while IFS= read -r line; do
  printf '%s\n' "${line/@EXECUTABLE@/"$quoted"}"
done < "$repo/scripts/norvane.desktop" > "$applications/norvane.desktop.new"
mv "$applications/norvane.desktop.new" "$applications/norvane.desktop"
if command -v update-desktop-database >/dev/null; then update-desktop-database "$applications" || true; fi
xdg-mime default norvane.desktop x-scheme-handler/norvane
echo "norvane:// now opens with $executable ($(xdg-mime query default x-scheme-handler/norvane))"
