#!/usr/bin/env bash
# Times a whole run on the largest workload (40 scan files of 20001 rows,
# every row on the grid) against only reading the same files (bench/floor.cpp)
# and against wc -l, and shows the peak resident memory of each. The
# targets: the whole run within 1.5 times the floor, under 4 MiB.
# Then the command line beside the dialogue, on that workload and on 1000
# scan files of 2001 rows: the same four files (and with --report, and with
# every output), its time, its instructions (valgrind's callgrind, where
# installed) and its peak memory. The targets: within 1.1 times the
# dialogue's time and instructions (1.3 with --report), under 4 MiB with
# every output.
# BUILD=dir picks the build directory (default build-bench, a Release
# build); REPS=n the runs of each command (the fastest counts, default 10:
# on a shared machine fewer often miss a quiet moment for one of them; a
# third of them on the 1000 files); WORK=dir keeps the workloads there for
# profiling (made once, reused); REF=path runs another build of scanmerge
# on it too and checks that it prints and writes the same bytes, the
# command line's every output too.
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
# the dialogue is given the files in the order the command line merges
# them (by first angle, ties as given), so that both sum alike
mapfile -t files < <(for k in $(seq 1 $nfiles); do echo "$(((k - 1) % 3)) $k"; done |
  sort -n -k1,1 -k2,2 | awk '{ printf "scan%02d.dat\n", $2 }')
{
  printf '%s\n' "${files[@]}"
  printf '\n\nout.xrs\nout.wyr\nout.pro\nout.gda\nbench title\n'
} >answers.txt

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

# report NAME [WHAT]: one line of NAME's figures
report() {
  local best=${1}_wall cpu=${1}_cpu rss=${1}_rss
  [ "${!rss}" -gt 0 ] || printf -v "$rss" 'n/a'  # no /usr/bin/time: no memory figure
  printf '%-8s %8s s wall %8s s cpu %8s KiB peak RSS  %s\n' "$1" "${!best}" "${!cpu}" "${!rss}" \
    "${2:-}"
}

rows=$((nfiles * nrows))
echo "workload: $nfiles files of $nrows rows, $(cat "${files[@]}" | wc -c) bytes; best of $reps runs"
# --report hashes on a second thread: its elapsed time gains only where a
# second processor is free
[ -r /proc/loadavg ] && echo "load average $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) processors"
cat "${files[@]}" >/dev/null  # into the page cache
wc_wall= floor_wall= program_wall= wc_rss=0 floor_rss=0 program_rss=0
cli_wall= clirep_wall= every_wall= cli_rss=0 clirep_rss=0 every_rss=0
# The command line: four, the same four files as the dialogue; withreport:
# and --report; every: every output
four=(--xrs82 cli.xrs --wyriet cli.wyr --profin cli.pro --gdat cli.gda --title 'bench title')
withreport=("${four[@]}" --report cli.json)
every=("${withreport[@]}" --xye cli.xye --cif cli.cif)
# all in turn, so that a busy moment on a shared machine slows each
for ((n = 0; n < reps; ++n)); do
  runonce wc /dev/null wc -l "${files[@]}"
  runonce floor /dev/null "$floor" "${files[@]}"
  runonce program answers.txt "$prog"
  runonce cli /dev/null "$prog" "${files[@]}" "${four[@]}"
  runonce clirep /dev/null "$prog" "${files[@]}" "${withreport[@]}"
  runonce every /dev/null "$prog" "${files[@]}" "${every[@]}"
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

# The command line beside the dialogue ("program" above)

# samebytes: the command line's four files are the dialogue's
samebytes() {
  local f
  for f in xrs wyr pro gda; do
    cmp -s "out.$f" "cli.$f" || { echo "bench: cli.$f differs from the dialogue's out.$f"; exit 1; }
  done
}

# instructions NAME INPUT CMD...: NAME_ins, the instructions CMD runs
# under callgrind, and NAME_own, those of its first thread alone (with
# --report the hashing runs on a second); empty without valgrind
instructions() {
  local name=$1 input=$2
  shift 2
  printf -v "${name}_ins" '%s' ''
  printf -v "${name}_own" '%s' ''
  command -v valgrind >/dev/null || return 0
  rm -f cg.out*
  valgrind --tool=callgrind --separate-threads=yes --callgrind-out-file=cg.out "$@" <"$input" \
    >/dev/null 2>cg.txt || true
  printf -v "${name}_ins" '%s' "$(awk '/Collected :/ { print $NF }' cg.txt)"
  printf -v "${name}_own" '%s' "$(awk '/^totals:/ { print $2 }' cg.out-01 2>/dev/null)"
  rm -f cg.out*
}

# compare WORKLOAD: the command line's figures against the dialogue's, and
# the targets (time: elapsed, and in brackets processor time, which with
# --report adds the hashing thread's)
compare() {
  awk -v w="$1" -v d="$dialogue_wall" -v c="$cli_wall" -v r="$clirep_wall" -v dc="$dialogue_cpu" \
      -v cc="$cli_cpu" -v rc="$clirep_cpu" -v di="$dialogue_ins" -v ci="$cli_ins" \
      -v ri="$clirep_ins" -v ro="$clirep_own" -v m="$every_rss" 'BEGIN {
    printf "%s: command line / dialogue: time %.2f (cpu %.2f), with --report %.2f (cpu %.2f)\n",
           w, c / d, cc / dc, r / d, rc / dc
    if (di != "") {
      printf "%s: instructions: dialogue %.1f M, command line %.1f M (%.3f)", w, di / 1e6, ci / 1e6, ci / di
      if (ri != "") printf ", with --report %.1f M (%.2f), its first thread %.1f M (%.2f)",
                           ri / 1e6, ri / di, ro / 1e6, ro / di
      printf "\n"
    }
    printf "%s: targets: time within 1.1 %s (cpu %s), with --report within 1.3 %s (cpu %s); ", w,
           c <= 1.1 * d ? "met" : "missed", cc <= 1.1 * dc ? "met" : "missed",
           r <= 1.3 * d ? "met" : "missed", rc <= 1.3 * dc ? "met" : "missed"
    if (di != "") {
      printf "instructions within 1.1 %s", ci <= 1.1 * di ? "met" : "missed"
      if (ri != "") printf ", with --report within 1.3 %s (first thread %s)",
                           ri <= 1.3 * di ? "met" : "missed", ro <= 1.3 * di ? "met" : "missed"
      printf "; "
    }
    printf "every output under 4 MiB %s (%s KiB)\n", m == "n/a" ? "unknown" : m < 4096 ? "met" : "missed", m
  }'
}

echo
echo "the command line, $nfiles files:"
dialogue_wall=$program_wall dialogue_cpu=$program_cpu
report cli "the four files"
report clirep "and --report"
report every "every output"
"$prog" "${files[@]}" "${four[@]}" && samebytes
instructions dialogue answers.txt "$prog"
instructions cli /dev/null "$prog" "${files[@]}" "${four[@]}"
# callgrind cannot run the processor's SHA instructions: under it the
# report's hashing runs the plain code, several times their instructions,
# on the second thread: the first thread's count is the run's own
instructions clirep /dev/null "$prog" "${files[@]}" "${withreport[@]}"
compare "$nfiles files"
if [ -n "${REF:-}" ]; then
  "$prog" "${files[@]}" "${every[@]}"
  (cd ref && "$REF" "${files[@]}" "${every[@]}") || [ $? -eq 1 ]
  for f in cli.xrs cli.wyr cli.pro cli.gda cli.json cli.xye cli.cif; do
    cmp "$f" "ref/$f" || { echo "bench: $f differs from $REF's"; exit 1; }
  done
  echo "the command line's seven files: the same bytes as $REF"
fi

# 1000 files of 2001 rows, a hundred on each tenth of the grid, given in
# the order they are merged
many=1000
manyrows=2001
mkdir -p many
cd many
[ -f scan$many.dat ] || awk -v nfiles=$many -v nrows=$manyrows 'BEGIN {
  srand(20240612)
  for (k = 1; k <= nfiles; ++k) {
    f = sprintf("scan%04d.dat", k)
    for (h = 1; h <= 10; ++h) printf "header line %d of scan %d\n", h, k > f
    printf "Sample: corundum, scan %d of %d\n", k, nfiles > f
    printf "Cu Ka1, 40 kV 30 mA, step 0.005 deg, 1500 ms per step\n" > f
    print "Columns: 2theta (deg), monitor, counts, time (ms)" > f
    print "    tth     mon     cts   tim" > f
    start = 5 + int((k - 1) / 100) * 10
    for (i = 0; i < nrows; ++i)
      printf "%8.3f%8d%8d%6d\n", start + i * 0.005, 336000 + int(rand() * 400),
             int(400 + rand() * 40), 1500 > f
    close(f)
  }
}'
{
  for k in $(seq -f %04g 1 $many); do echo "scan$k.dat"; done
  printf '\n\nout.xrs\nout.wyr\nout.pro\nout.gda\nbench title\n'
} >answers.txt
files=(scan*.dat)
echo
echo "the command line, $many files of $manyrows rows, $(cat "${files[@]}" | wc -c) bytes; best of $(((reps + 2) / 3)) runs:"
cat "${files[@]}" >/dev/null
dialogue_wall= cli_wall= clirep_wall= every_wall= dialogue_rss=0 cli_rss=0 clirep_rss=0 every_rss=0
for ((n = 0; n < (reps + 2) / 3; ++n)); do
  runonce dialogue answers.txt "$prog"
  runonce cli /dev/null "$prog" "${files[@]}" "${four[@]}"
  runonce clirep /dev/null "$prog" "${files[@]}" "${withreport[@]}"
  runonce every /dev/null "$prog" "${files[@]}" "${every[@]}"
done
report dialogue "the four files"
report cli "the four files"
report clirep "and --report"
report every "every output"
"$prog" <answers.txt >console.txt || [ $? -eq 1 ]
grep -q "imax, tthmin, tthstep, tthmax = 20000, 5.000, 0.005, 105.0000$" console.txt ||
  { echo "bench: unexpected summary:"; grep imax console.txt; exit 1; }
"$prog" "${files[@]}" "${four[@]}" && samebytes
instructions dialogue answers.txt "$prog"
instructions cli /dev/null "$prog" "${files[@]}" "${four[@]}"
clirep_ins= clirep_own=  # as on the 40 files: the plain hashing under callgrind
compare "$many files"
