#!/bin/sh
# The folders under src/ depend one way, downward: each may include from the
# folders listed after it and from itself, nothing else. platform/qt is the
# Qt side of platform; only app reaches it.
set -eu
src="${1:-$(dirname "$0")/../src}"
allowed() {
    case "$1" in
        platform) echo "platform" ;;
        platform/qt) echo "platform platform/qt" ;;
        workbook) echo "platform workbook" ;;
        records) echo "platform records" ;;
        voice) echo "platform records voice" ;;
        barcode) echo "platform records workbook barcode" ;;
        stats) echo "platform records stats" ;;
        checkout) echo "platform records voice barcode checkout" ;;
        app) echo "platform platform/qt workbook records voice barcode stats checkout app" ;;
        *) echo "" ;;
    esac
}
status=0
for dir in platform platform/qt workbook records voice barcode stats checkout app; do
    ok=$(allowed "$dir")
    for file in "$src/$dir"/*.h "$src/$dir"/*.cpp; do
        [ -e "$file" ] || continue
        for inc in $(sed -n 's/^#include "\([^"]*\)\/[^/"]*"$/\1/p' "$file"); do
            case " $ok " in
                *" $inc "*) ;;
                *)
                    echo "${file#"$src"/} includes from $inc/, above or beside it"
                    status=1
                    ;;
            esac
        done
    done
done
for dir in "$src"/*/; do
    name=$(basename "$dir")
    [ -n "$(allowed "$name")" ] || { echo "src/$name/ has no place in the layers"; status=1; }
done
exit $status
