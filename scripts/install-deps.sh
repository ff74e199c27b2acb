#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing Norvane needs (the journeys too:
# a virtual display, xdotool, a session bus and the accessibility bus with its Python
# bindings, xrandr to change the screen's size, a system tray and xprop to set what it
# says), and the one locale the tests use to prove that number formatting ignores the
# user's locale; quick when everything is there already.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev libpugixml-dev libicu-dev libssl-dev
  locales
  qt6-base-dev fonts-dejavu-core
  libcurl4-openssl-dev libarchive-dev libpng-dev
  libxcb1-dev libxcb-xinput-dev xvfb xdotool xclip xdg-utils
  python3 python3-pyatspi at-spi2-core dbus-bin dbus-daemon
  x11-xserver-utils x11-utils trayer
)

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

# A locale with a decimal comma.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  echo "Generating the de_DE.UTF-8 locale"
  $sudo sed -i 's/^# *\(de_DE\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^de_DE\.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  $sudo locale-gen
fi
echo "All build packages are installed."
