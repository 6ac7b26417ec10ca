#!/usr/bin/env bash
# Times scanplot with and without --dead-time, each in the same run of this
# script, on the shipped example and on six overlapping scans of 20001 rows
# counted at different tube currents by a detector with a 3 us dead time.
# The target: --dead-time within twice the time of the picture alone.
# BUILD=dir picks the build directory (default build); REPS=n the runs of
# each command (the fastest counts, default 3); WORK=dir keeps the workload.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build}
reps=${REPS:-3}
case $build in /*) ;; *) build=$PWD/$build ;; esac
examples=$PWD/examples
# a build tree is brought up to date; a folder with the two programs is run as it is
[ ! -f "$build/CMakeCache.txt" ] || cmake --build "$build" -j2 --target scanmerge >/dev/null
plot=$build/scanplot
[ -x "$plot" ] || { echo "bench: no $plot (numpy and matplotlib missing?)"; exit 1; }

if [ -n "${WORK:-}" ]; then
  mkdir -p "$WORK"
  cd "$WORK"
else
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  cd "$work"
fi

# Scan k starts k - 1 steps above the first and runs 20001 rows, the rows
# past the grid's last point refused; currents 20 to 45 mA.
[ -f big6.dat ] || awk 'BEGIN {
  srand(20261208)
  tau = 3e-6; t = 1.5  # s
  for (k = 1; k <= 6; ++k) {
    f = sprintf("big%d.dat", k)
    current = 20 + 5 * (k - 1)
    for (h = 1; h <= 10; ++h) printf "header line %d of scan %d\n", h, k > f
    printf "Sample: corundum, scan %d of 6, %d mA\n", k, current > f
    print "Cu Ka1, step 0.005 deg, 1500 ms per step" > f
    print "Columns: 2theta (deg), monitor, counts, time (ms)" > f
    print "    tth     mon     cts   tim" > f
    for (i = 0; i < 20001; ++i) {
      tth = 5 + (k - 1 + i) * 0.005
      a = ((tth - 46.6) / 0.08) ^ 2
      b = ((tth - 25.6) / 0.06) ^ 2
      rate = (400 + (a < 700 ? 90000 * exp(-a) : 0) + (b < 700 ? 45000 * exp(-b) : 0)) * current / 30
      n = rate * t
      n += sqrt(n) * (rand() + rand() + rand() - 1.5) * 2  # about Poisson
      n = n / (1 + n / t * tau)                            # non-paralysable
      printf "%8.3f%8d%8d%6d\n", tth, int(11200 * current * (1 + rand() * 0.001)), int(n + 0.5), 1500 > f
    }
    close(f)
  }
}'
cp "$examples"/si-scan[123].dat .

# best NAME CMD...: the fastest wall time of reps runs, in seconds
best() {
  local name=$1 fastest= start end wall
  shift
  for ((n = 0; n < reps; ++n)); do
    start=$EPOCHREALTIME
    "$@" >"$name.txt"
    end=$EPOCHREALTIME
    wall=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')
    if [ -z "$fastest" ] || awk -v a="$wall" -v b="$fastest" 'BEGIN { exit !(a < b) }'; then
      fastest=$wall
    fi
  done
  printf -v "$name" '%s' "$fastest"
}

missed=0
for set in example big; do
  if [ $set = example ]; then scans=(si-scan1.dat si-scan2.dat si-scan3.dat); else scans=(big?.dat); fi
  best plain "$plot" "${scans[@]}" -o $set.png
  best fit "$plot" "${scans[@]}" --dead-time -o $set-fit.png
  grep '^dead time' fit.txt
  awk -v p="$plain" -v f="$fit" -v s=$set 'BEGIN {
    printf "%-8s scanplot %7.2f s, with --dead-time %7.2f s: %.2f times, target 2 %s\n", s, p, f, f / p, f <= 2 * p ? "met" : "missed"
    exit !(f <= 2 * p)
  }' || missed=1
done
exit $missed
