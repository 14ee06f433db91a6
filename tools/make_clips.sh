#!/usr/bin/env bash
# Makes the fifteen spoken clips of the announcer with espeak-ng (Mandarin
# voice "cmn") and sox: leading and trailing silence trimmed, loudness
# brought to one RMS level, 16-bit PCM mono at 22050 Hz, and each clip made
# to last at most MAX_MS so that it is heard within one 618 ms announcer tick.
#
# Usage: tools/make_clips.sh [output folder]   (default: assets/ of the repo)
# Needs: espeak-ng, sox (tools/install-deps.sh --assets). Dithering is off
# (sox -D), so the same tools make the same files.
set -euo pipefail

out="${1:-$(cd "$(dirname "$0")/.." && pwd)/assets}"
MAX_MS=550    # hard limit per clip
FIT_MS=500    # clips longer than this after trimming are sped up to it
SPEED=170     # espeak words per minute
PITCH=50
RATE=22050
TARGET_RMS_DB=-18

for tool in espeak-ng sox soxi; do
  command -v "$tool" >/dev/null || { echo "missing: $tool (run tools/install-deps.sh --assets)" >&2; exit 1; }
done

declare -A words=(
  [0]="零" [1]="一" [2]="二" [3]="三" [4]="四"
  [5]="五" [6]="六" [7]="七" [8]="八" [9]="九"
  [dot]="点" [fushu]="负" [jia]="加" [jian]="减" [dengyu]="等于"
)
names=(0 1 2 3 4 5 6 7 8 9 dot fushu jia jian dengyu)

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

for name in "${names[@]}"; do
  raw="$work/$name.raw.wav"
  trimmed="$work/$name.trim.wav"
  espeak-ng -v cmn -s "$SPEED" -p "$PITCH" -w "$raw" "${words[$name]}"

  # Trim silence at both ends (threshold 1 % of full scale), then resample to
  # the common format.
  sox -D "$raw" -r "$RATE" -c 1 -b 16 -e signed-integer "$trimmed" \
    silence 1 0.005 1% reverse silence 1 0.005 1% reverse

  # Fit the length: speed up without changing the pitch.
  ms=$(soxi -D "$trimmed" | awk '{printf "%d", $1 * 1000 + 0.5}')
  tempo=()
  if [ "$ms" -gt "$FIT_MS" ]; then
    tempo=(tempo -s "$(awk -v a="$ms" -v b="$FIT_MS" 'BEGIN{printf "%.4f", a / b}')")
  fi
  fitted="$work/$name.fit.wav"
  sox -D "$trimmed" "$fitted" "${tempo[@]}"

  # One loudness for all: bring the RMS level to the target, limiting peaks;
  # short fades keep the cut ends from clicking.
  rms=$(sox "$fitted" -n stats 2>&1 | awk '/^RMS lev dB/ {print $4}')
  gain=$(awk -v t="$TARGET_RMS_DB" -v r="$rms" 'BEGIN{printf "%.2f", t - r}')
  limit=()
  # The limiter is for raising only (sox mishandles it with a cut).
  awk -v g="$gain" 'BEGIN{exit !(g > 0)}' && limit=(-l)
  sox -D "$fitted" -r "$RATE" -c 1 -b 16 -e signed-integer "$out/$name.wav" \
    gain "${limit[@]}" "$gain" fade t 0.005 0 0.015

  ms=$(soxi -D "$out/$name.wav" | awk '{printf "%d", $1 * 1000 + 0.5}')
  if [ "$ms" -gt "$MAX_MS" ]; then
    echo "$name.wav is $ms ms, longer than $MAX_MS ms" >&2
    exit 1
  fi
  printf '%-11s %4d ms\n' "$name.wav" "$ms"
done
