#!/bin/bash
# Time and peak memory of the import and the reports on the files of
# tools/make_hostile_testdata.py, one process per case under /usr/bin/time -v.
#   tools/measure_hostile.sh PROBE DATADIR [TIMEOUT_S] [MEMORY_CAP_KB]
# PROBE is build/bench/bench_hostile_probe. Each run is cut at TIMEOUT_S (60)
# and its address space capped at MEMORY_CAP_KB (4000000), so that a case
# that would run away is stopped and shown as such.
set -u
probe=$1 data=$2 timeout_s=${3:-60} cap=${4:-4000000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
run() {
  local name=$1; shift
  printf 'old table\r\n' >"$work/collector.txt"
  local before; before=$(md5sum <"$work/collector.txt")
  ( ulimit -v "$cap"; /usr/bin/time -v timeout "$timeout_s" "$probe" "$@" ) >"$work/out" 2>"$work/time"
  local rc=$?
  local secs kb
  secs=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$work/time")
  kb=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time")
  local kept=changed
  [ "$(md5sum <"$work/collector.txt")" = "$before" ] && kept=kept
  printf '%-22s rc=%-3s wall=%-8s peak=%6d MB  collector.txt %s\n' "$name" "$rc" "$secs" $((kb / 1024)) "$kept"
  grep -E '^(import|report|  said)' "$work/out" | cut -c1-200 | head -3 | sed 's/^/    /'
}
for f in inline_runs.xlsx comment_split.xlsx shared_runs.xlsx many_sheets.xls sheet_bomb.xlsx shared_bomb.xlsx \
         cells_bomb.ods rows_bomb.ods text_bomb.ods prefixes.ods \
         rows.xls rows.xlsx; do
  [ -f "$data/$f" ] && run "$f" import "$data/$f" "$work"
done
if [ -f "$data/tovrincalculate.txt" ]; then
  for r in amount-day amount-month goods-day goods-month; do
    rm -f "$work"/*.txt; cp "$data"/tovrin*.txt "$work/"; printf 'old table\r\n' >"$work/collector.txt"
    run "long_line $r" report "$work" "$r"
  done
fi
