#!/bin/sh
# Unpacks the release archive, checks that its desktop entry and AppStream
# description validate, copies the program folder it holds to another place
# (a path with a blank and Chinese in it), starts the copy through its desktop
# entry on a private X server and checks that the copy's own program opens its
# window on the empty folder and that its icon is found by name from then on.
#   tests/package/starts.sh build/tovrin-0.1-linux-x86_64.tar.gz
#   tests/package/starts.sh build     (the archive CPack made there)
set -eu

archive=$(readlink -f "$1")
if [ -d "$archive" ]; then
    name=$(sed -n 's/^set(CPACK_PACKAGE_FILE_NAME "\(.*\)")$/\1/p' "$archive/CPackConfig.cmake")
    archive="$archive/$name.tar.gz"
fi
[ -f "$archive" ] || { echo "package test: no archive $archive" >&2; exit 1; }
work=$(mktemp -d)
xvfb=
trap '[ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null; rm -rf "$work"' EXIT
fail() {
    echo "package test: $*" >&2
    exit 1
}
# Waits up to two minutes (a busy machine) for a command to succeed.
wait_until() {
    what=$1
    shift
    end=$(($(date +%s) + 120))
    until "$@"; do
        [ "$(date +%s)" -lt "$end" ] || { echo "timed out waiting for $what" >&2; return 1; }
        sleep 0.1
    done
}

tar -xzf "$archive" -C "$work"
top=$(basename "$archive" .tar.gz)
[ -d "$work/$top" ] || fail "the archive does not hold the folder $top"
for f in tovrin tovrin.sh tovrin.desktop tovrin.metainfo.xml tovrin.png 使用说明.txt 商品条码价格表.xls 商品条形码价格表.xls \
    0.wav 1.wav 2.wav 3.wav 4.wav 5.wav 6.wav 7.wav 8.wav 9.wav dot.wav fushu.wav jia.wav jian.wav dengyu.wav; do
    [ -f "$work/$top/$f" ] || fail "$f is missing from the program folder"
done
[ -x "$work/$top/tovrin" ] && [ -x "$work/$top/tovrin.sh" ] || fail "the program or its launcher cannot run"
extra=$(ls -A "$work/$top" | grep -v -e '\.wav$' -e '^tovrin' -e '^使用说明.txt$' -e '^商品条码价格表.xls$' \
    -e '^商品条形码价格表.xls$' || true)
[ -z "$extra" ] || fail "the program folder holds more than it should: $extra"
# The confirmation of the import and the usage notes name the template
# differently; both names open the same workbook.
cmp -s "$work/$top/商品条码价格表.xls" "$work/$top/商品条形码价格表.xls" || fail "the two template workbooks differ"

# The desktop entry and the AppStream description as the desktop tools take them.
desktop-file-validate "$work/$top/tovrin.desktop" || fail "the desktop entry does not validate"
appstreamcli validate --no-net "$work/$top/tovrin.metainfo.xml" || fail "the AppStream description does not validate"
grep -qxF "Icon=tovrin" "$work/$top/tovrin.desktop" || fail "the desktop entry does not name its icon \"tovrin\""
grep -qxF "Keywords[zh_CN]=收银;找零;条码;价格表;" "$work/$top/tovrin.desktop" ||
    fail "the desktop entry lacks its Chinese keywords"

copy="$work/复制的 收银台"
cp -a "$work/$top" "$copy"
cp "$copy/tovrin.desktop" "$work/entry"
rm -rf "${work:?}/$top"
# The user's icon theme, empty before the first start.
XDG_DATA_HOME="$work/data"
export XDG_DATA_HOME

# Start through the desktop entry as a desktop does: GLib's launcher, the one
# file managers use (%k becomes the entry's path), or, where python3-gi is
# missing, the entry's Exec line run with %k replaced by the entry's path.
cat >"$work/start.sh" <<'EOF'
set -eu
copy=$1
if /usr/bin/python3 -c "import gi" 2>/dev/null; then
    /usr/bin/python3 - "$copy/tovrin.desktop" <<'PY'
import sys
import gi
gi.require_version('Gio', '2.0')
from gi.repository import Gio
info = Gio.DesktopAppInfo.new_from_filename(sys.argv[1])
sys.exit(0 if info is not None and info.launch([], None) else 1)
PY
else
    sh -c "exec \"\$(dirname \"\$(readlink -f \"\$0\")\")/tovrin.sh\"" "$copy/tovrin.desktop" &
fi
end=$(($(date +%s) + 120))
until window=$(xdotool search --name "Tovrin  找零软件 " 2>/dev/null | head -n 1) && [ -n "$window" ]; do
    [ "$(date +%s)" -lt "$end" ] || { echo "no window titled \"Tovrin  找零软件 \" appeared" >&2; exit 1; }
    sleep 0.1
done
wpid=$(xdotool getwindowpid "$window")
exe=$(readlink -f "/proc/$wpid/exe")
kill "$wpid"
[ "$exe" = "$(readlink -f "$copy/tovrin")" ] || { echo "the window belongs to $exe" >&2; exit 1; }
EOF
# A private X server on a display number it picks itself (free whatever else
# runs at the same time), written to a file once it takes connections. It
# does not reset when its last client leaves (each xdotool above is one): a
# reset refuses the program if it connects meanwhile.
Xvfb -displayfd 3 -screen 0 1366x768x24 -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
wait_until "the X server" test -s "$work/display" || fail "Xvfb did not start"
DISPLAY=:$(cat "$work/display") sh "$work/start.sh" "$copy" || fail "the copied program folder did not start"
cmp -s "$copy/tovrin.png" "$XDG_DATA_HOME/icons/hicolor/256x256/apps/tovrin.png" ||
    fail "the first start did not put the icon into the user's icon theme"
cmp -s "$work/entry" "$copy/tovrin.desktop" || fail "the start changed the desktop entry"
echo "package test: $top unpacks, and a copy of its folder starts its own program"
