#!/bin/sh
# Starts the Tovrin program that lies in this script's folder, wherever the
# folder was unpacked or copied to; the desktop entry beside it runs this.
dir=$(dirname "$(readlink -f "$0")")

# A desktop entry names its icon by a full path only, so the entry beside the
# program is pointed at this folder's icon whenever the folder has moved.
entry="$dir/tovrin.desktop"
icon="Icon=$dir/tovrin.png"
if [ -w "$entry" ] && [ -w "$dir" ] && ! grep -qxF "$icon" "$entry"; then
    tmp="$entry.$$"
    while IFS= read -r line || [ -n "$line" ]; do
        case $line in
            Icon=*) printf '%s\n' "$icon" ;;
            *) printf '%s\n' "$line" ;;
        esac
    done <"$entry" >"$tmp" && mv -f "$tmp" "$entry" || rm -f "$tmp"
fi

exec "$dir/tovrin" "$@"
