#!/usr/bin/env bash
# Builds the Debian package from a build folder ($1, default build), checks its
# metadata, installs it on this machine with apt-get, runs the smoke test of the
# installed program under Xvfb, and removes the package again (unless it was
# installed before the test). Needs root or sudo, like scripts/install-deps.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

rm -f "$dir"/tallowin_*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
deb=$(ls "$dir"/tallowin_*.deb)
echo "package: $deb"
dpkg-deb --info "$deb" | sed -n '/Package:/,$p'

# The menu entry and the AppStream metadata are checked as the distribution would.
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
desktop-file-validate "$unpacked"/usr/share/applications/*.desktop
appstreamcli validate --no-net "$unpacked"/usr/share/metainfo/*.metainfo.xml

was_installed=0
dpkg-query -W -f='${Status}' tallowin 2>/dev/null | grep -q "install ok installed" && was_installed=1
remove() {
  if [ "$was_installed" -eq 0 ]; then
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get remove -y tallowin >/dev/null
  fi
  rm -rf "$unpacked"
}
trap remove EXIT
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y "$(realpath "$deb")"
xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" /usr/bin/python3 tests/package/smoke_installed.py /usr
