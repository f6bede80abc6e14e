#!/usr/bin/env bash
# Installs every Debian 12 package the build, the program and the tests need.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libxcb1-dev libxcb-xfixes0-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  unicode-data libpcre2-dev libicu-dev
  clang libclang-rt-14-dev
  xvfb xauth xclip xdotool x11-utils imagemagick python3 python3-xlib
  python3-pyatspi at-spi2-core dbus-daemon
  qt6-image-formats-plugins
  fonts-dejavu-core
  libpng-dev libjpeg62-turbo-dev libtiff-dev libopenjp2-7-dev libgif-dev libimagequant-dev zlib1g-dev
  pngcheck libtiff-tools libopenjp2-tools python3-pil
  dpkg-dev desktop-file-utils appstream
  openbox trayer
  libwayland-dev libwayland-bin sway wl-clipboard util-linux
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y "${missing[@]}"
fi

# sway refuses to run as root: the Wayland end-to-end test runs it as this
# unprivileged user when the tests run as root.
if [ "$(id -u)" -eq 0 ] && ! id tallowin-wl >/dev/null 2>&1; then
  useradd --system --no-create-home --shell /usr/sbin/nologin tallowin-wl
fi
