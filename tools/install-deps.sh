#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the desktop run need,
# and only those that are missing.
set -euo pipefail

pkgs=(
  cmake ninja-build g++ make python3 git clang-format
  qt6-base-dev qt6-multimedia-dev qt6-qpa-plugins
  libquazip1-qt6-dev zlib1g-dev
  libexpat1-dev  # the .xlsx and .ods readers parse their XML with expat
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-wqy-zenhei fonts-noto-cjk
  xvfb xauth xdotool x11-utils imagemagick openbox
  qt6-translations-l10n  # Qt's own dialogs in Chinese
  # the accessibility test reads the program through AT-SPI on a private bus
  at-spi2-core gir1.2-atspi-2.0 dbus-daemon dbus-session-bus-common
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  python3-xlwt  # the import benchmark writes its .xls workbook with it
  python3-gi  # GLib's launcher: the package test starts the program through its desktop entry
  desktop-file-utils appstream  # the package test validates the desktop entry and the AppStream file
  pulseaudio pulseaudio-utils  # the sound test records a private null sink
  strace  # the file tests watch the folder being synced
)
if [ "${1:-}" = "--assets" ]; then
  pkgs+=(espeak-ng sox python3-xlwt)
fi

missing=()
for p in "${pkgs[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
