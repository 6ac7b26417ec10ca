#!/usr/bin/env bash
# Times a whole run on the largest workload (40 scan files of 20001 rows,
# every row on the grid) against only reading the same files (bench/floor.cpp)
# and against wc -l, and shows the peak resident memory of each. The
# targets: the whole run within 1.5 times the floor, under 4 MiB.
# BUILD=dir picks the build directory (default build-bench, a Release
# build); REPS=n the runs of each command (the fastest counts, default 10:
# on a shared machine fewer often miss a quiet moment for one of them);
# WORK=dir keeps the workload there for profiling (made once, reused);
# REF=path runs another build of scanmerge on it too and checks that it
# prints and writes the same bytes.
set -euo pipefail
cd "$(dirname "$0")/.."
bash setup.sh bench
build=${BUILD:-build-bench}
reps=${REPS:-10}
nfiles=40
nrows=20001

case $build in /*) ;; *) build=$PWD/$build ;; esac

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target scanmerge >/dev/null
# the floor built as the program is (Release, linked statically where the
# program is), so that the two are compared alike
floorflags=(-std=c++17 -O3 -DNDEBUG -Wall -Wextra)
grep -q '^SCANMERGE_LINKS_STATIC:INTERNAL=1' "$build/CMakeCache.txt" && floorflags+=(-static)
g++ "${floorflags[@]}" -o "$build/floor" bench/floor.cpp
prog=$build/scanmerge
floor=$build/floor

if [ -n "${WORK:-}" ]; then
  mkdir -p "$WORK"
  cd "$WORK"
else
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  cd "$work"
fi

# Scan k starts (k - 1) % 3 thousandths of a degree above the first one, which
# the grid places at datoffset 0, so every row of every file is merged.
[ -f scan$nfiles.dat ] || awk -v nfiles=$nfiles -v nrows=$nrows 'BEGIN {
  srand(20240611)
  for (k = 1; k <= nfiles; ++k) {
    f = sprintf("scan%02d.dat", k)
    for (h = 1; h <= 10; ++h) printf "header line %d of scan %d\n", h, k > f
    printf "Sample: corundum, scan %d of %d\n", k, nfiles > f
    printf "Cu Ka1, 40 kV 30 mA, step 0.005 deg, 1500 ms per step\n" > f
    print "Columns: 2theta (deg), monitor, counts, time (ms)" > f
    print "    tth     mon     cts   tim" > f
    start = 5 + ((k - 1) % 3) * 0.001
    for (i = 0; i < nrows; ++i) {
      tth = start + i * 0.005
      # two peaks; far from them the Gaussians are 0, which some awks warn of
      a = ((tth - 46.6) / 0.08) ^ 2
      b = ((tth - 25.6) / 0.06) ^ 2
      peak = (a < 700 ? 6000 * exp(-a) : 0) + (b < 700 ? 3000 * exp(-b) : 0)
      printf "%8.3f%8d%8d%6d\n", tth, 336000 + int(rand() * 400), \
             int(400 + peak + rand() * 40), 1500 > f
    }
    close(f)
  }
}'
{
  for k in $(seq -f %02g 1 $nfiles); do echo "scan$k.dat"; done
  printf '\n\nout.xrs\nout.wyr\nout.pro\nout.gda\nbench title\n'
} >answers.txt
files=(scan*.dat)

# runonce NAME INPUT CMD...: runs CMD once with stdin from INPUT; keeps
# NAME's fastest wall time, its user+sys time, and the largest peak RSS
runonce() {
  local name=$1 input=$2 t r wall user sys
  shift 2
  # wall time to the microsecond: bash's own timer shows milliseconds only,
  # a twentieth of the floor's time
  local start end
  TIMEFORMAT='%3U %3S'
  if [ -x /usr/bin/time ]; then
    start=$EPOCHREALTIME
    { time /usr/bin/time -v -o tv.txt "$@" <"$input" >/dev/null 2>&1; } 2>times.txt || true
    end=$EPOCHREALTIME
    r=$(awk -F': ' '/Maximum resident set size/ {print $2}' tv.txt)
    r=${r:-0}
  else
    start=$EPOCHREALTIME
    { time "$@" <"$input" >/dev/null 2>&1; } 2>times.txt || true
    end=$EPOCHREALTIME
    r=0
  fi
  wall=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }')
  t=$(cat times.txt)
  read -r user sys <<<"$t"
  local best=${name}_wall cpu=${name}_cpu rss=${name}_rss
  if [ -z "${!best}" ] || awk -v a="$wall" -v b="${!best}" 'BEGIN { exit !(a < b) }'; then
    printf -v "$best" '%s' "$wall"
    printf -v "$cpu" '%s' "$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.3f", u + s }')"
  fi
  [ "$r" -gt "${!rss}" ] && printf -v "$rss" '%s' "$r"
  return 0
}

# report NAME: one line of NAME's figures
report() {
  local best=${1}_wall cpu=${1}_cpu rss=${1}_rss
  [ "${!rss}" -gt 0 ] || printf -v "$rss" 'n/a'  # no /usr/bin/time: no memory figure
  printf '%-8s %8s s wall %8s s cpu %8s KiB peak RSS\n' "$1" "${!best}" "${!cpu}" "${!rss}"
}

rows=$((nfiles * nrows))
echo "workload: $nfiles files of $nrows rows, $(cat "${files[@]}" | wc -c) bytes; best of $reps runs"
cat "${files[@]}" >/dev/null  # into the page cache
wc_wall= floor_wall= program_wall= wc_rss=0 floor_rss=0 program_rss=0
# the three in turn, so that a busy moment on a shared machine slows each
for ((n = 0; n < reps; ++n)); do
  runonce wc /dev/null wc -l "${files[@]}"
  runonce floor /dev/null "$floor" "${files[@]}"
  runonce program answers.txt "$prog"
done
report wc
report floor
report program

# the run must have merged every row and written every file
"$prog" <answers.txt >console.txt || [ $? -eq 1 ]
grep -q "imax, tthmin, tthstep, tthmax = 20000, 5.000, 0.005, 105.0000$" console.txt ||
  { echo "bench: unexpected summary:"; grep imax console.txt; exit 1; }
[ "$(wc -l <out.xrs)" -eq 20000 ] || { echo "bench: out.xrs incomplete"; exit 1; }
if [ -n "${REF:-}" ]; then
  mkdir -p ref
  (cd ref && for f in "${files[@]}"; do ln -sf "../$f" .; done &&
    "$REF" <../answers.txt >console.txt) || [ $? -eq 1 ]
  for f in console.txt out.xrs out.wyr out.pro out.gda; do
    cmp "$f" "ref/$f" || { echo "bench: $f differs from $REF's"; exit 1; }
  done
  echo "console and the four files: the same bytes as $REF"
fi

awk -v p="$program_wall" -v f="$floor_wall" -v w="$wc_wall" -v pc="$program_cpu" \
    -v fc="$floor_cpu" -v rows=$rows 'BEGIN {
  printf "program/floor %.2f (cpu %.2f)   program/wc %.2f   floor/wc %.2f\n", p / f, pc / fc, p / w, f / w
  if (p > 0) printf "program: %.1f million rows/s\n", rows / p / 1e6
}'
echo "peak RSS KiB: program $program_rss, floor $floor_rss, wc $wc_rss"
awk -v p="$program_wall" -v f="$floor_wall" -v m="$program_rss" 'BEGIN {
  printf "targets: whole run within 1.5 times the floor %s (%.2f), peak RSS under 4 MiB %s (%s KiB)\n",
         p <= 1.5 * f ? "met" : "missed", p / f, m == "n/a" ? "unknown" : m < 4096 ? "met" : "missed", m
}'
