#!/usr/bin/env bash
# Is a change to the decoder slower? Runs two builds of kavrosa-bench in turn (old, new, old,
# new...) on the decode benchmarks and prints the median CPU time of each, with the change.
# Turns alternate so that a load that comes and goes falls on both alike.
#   tools/compare-decode-speed.sh OLD/kavrosa-bench NEW/kavrosa-bench [ROUNDS (5)] [FILTER]
# FILTER defaults to the 12 embedded pictures and the two 4000x3000 fits.
set -euo pipefail
old=$(realpath "$1")
new=$(realpath "$2")
rounds=${3:-5}
filter=${4:-'decode/kavrosa$|decode/kavrosa_fit_4000x3000_to_1920x1080$|decode/kavrosa_fit_progressive_4000'}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for _ in $(seq "$rounds"); do
  for which in old new; do
    bench=$old
    [ "$which" = new ] && bench=$new
    "$bench" --benchmark_filter="$filter" --benchmark_min_time=0.5 --benchmark_format=csv \
      2>/dev/null | grep '^"' >>"$out/$which.csv"
  done
done
python3 - "$out" <<'PY'
import collections, csv, statistics, sys
times = {}
for which in ('old', 'new'):
    t = collections.defaultdict(list)
    for row in csv.reader(open(f'{sys.argv[1]}/{which}.csv')):
        t[row[0]].append(float(row[3]) * {'ns': 1e-6, 'us': 1e-3, 'ms': 1.0, 's': 1e3}[row[4]])
    times[which] = t
for name, olds in times['old'].items():
    o, n = statistics.median(olds), statistics.median(times['new'][name])
    print(f'{name:56s} old {o:8.2f} ms  new {n:8.2f} ms  {100 * (n - o) / o:+5.1f}%')
PY
