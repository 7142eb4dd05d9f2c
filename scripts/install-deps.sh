#!/usr/bin/env bash
# Installs the Debian 12 packages Ostrevane needs to build, test and run, skipping
# those already present. Safe to run again.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-tools-dev qt6-l10n-tools qt6-tools-dev-tools qt6-svg-dev
  libplist-dev libgtest-dev libgmock-dev libbenchmark-dev
  libxcb1-dev libxcb-ewmh-dev libxcb-icccm4-dev libxcb-keysyms1-dev libxcb-composite0-dev
  libxcb-image0-dev libxcb-res0-dev libxcb-xtest0-dev libxcb-xinput-dev libxcb-xkb-dev
  libxcb-shape0-dev libxcb-xfixes0-dev
  xvfb xdotool openbox fluxbox x11-apps xterm xfonts-base imagemagick xcompmgr x11-xkb-utils
  fonts-dejavu-core fonts-wqy-microhei dbus-daemon xdg-utils at-spi2-core libglib2.0-bin
  trayer python3-dbus python3-gi
  libssl-dev lintian appstream desktop-file-utils dpkg-dev file
  chromium firefox-esr
  clang-14 libfuzzer-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
