#!/bin/sh
# Starts the Tovrin program that lies in this script's folder, wherever the
# folder was unpacked or copied to; the desktop entry beside it runs this.
dir=$(dirname "$(readlink -f "$0")")

# The desktop entry names its icon "tovrin", which the desktop looks up in
# the user's icon theme: the icon of this folder is put there, so that the
# launcher, the menu and the task bar show it from the first start on.
data=${XDG_DATA_HOME:-${HOME:+$HOME/.local/share}}
if [ -n "$data" ] && [ -f "$dir/tovrin.png" ]; then
    theme="$data/icons/hicolor"
    icons="$theme/256x256/apps"
    if ! cmp -s "$dir/tovrin.png" "$icons/tovrin.png"; then
        tmp="$icons/.tovrin.png.$$"
        if mkdir -p "$icons" 2>/dev/null && cp -f "$dir/tovrin.png" "$tmp" 2>/dev/null &&
            mv -f "$tmp" "$icons/tovrin.png"; then
            touch "$theme"  # icon caches look again
        else
            rm -f "$tmp"
        fi
    fi
fi

exec "$dir/tovrin" "$@"
