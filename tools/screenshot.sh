#!/usr/bin/env bash
# Takes docs/screenshot.png: the program installed into a program folder and
# started under Xvfb (1366 x 768, 96 dpi) with the Openbox window manager, so
# that the window opens maximised as on a desktop.
# Usage: tools/screenshot.sh [build dir] [program folder]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
folder=${2:-/tmp/tovrin}
rm -rf "$folder"
cmake --install "$build" --prefix "$folder" > /dev/null

inner=$(mktemp)
trap 'rm -f "$inner"' EXIT
cat > "$inner" <<INNER
set -e
openbox > /dev/null 2>&1 &
sleep 1
"$folder/tovrin" > /dev/null 2>&1 &
sleep 4
import -window root docs/screenshot.png
kill %2 %1 2> /dev/null || true
INNER
xvfb-run -a -s '-screen 0 1366x768x24 -dpi 96' bash "$inner"
echo docs/screenshot.png
