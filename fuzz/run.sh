#!/usr/bin/env bash
# Fuzzes the scan reader and the merge for a bounded time, on one core, then
# scanimport's own readers for half that time (where xylib, pugixml and
# libzip are installed).
# Usage: fuzz/run.sh [seconds]   (default 60)
# Needs clang++ with libFuzzer; without it the run is skipped (exit 0).
# The committed corpus is only read: the fuzzer works on a scratch copy.
# Exits non-zero on a finding, whose input is kept in build-fuzz/ and
# printed in base64 after the end of the fuzzer's log
# (build-fuzz/fuzz_TARGET.log).
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-60}
cxx=${CXX_FUZZ:-clang++}
out=build-fuzz
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# the compiler must link a trivial fuzz target with both sanitizers
probe='extern "C" int LLVMFuzzerTestOneInput(const unsigned char*,
                                         unsigned long) { return 0; }'
if ! command -v "$cxx" >/dev/null 2>&1 ||
   ! printf '%s\n' "$probe" |
     "$cxx" -x c++ -fsanitize=fuzzer,address,undefined - \
       -o "$scratch/probe" >/dev/null 2>&1; then
  echo "fuzz run skipped: no $cxx with libFuzzer"
  exit 0
fi

mkdir -p "$out"
"$cxx" -std=c++17 -g -O1 -I. \
  -Wall -Wextra -Wpedantic -Wformat=2 -Wshadow -Wfloat-conversion \
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  fuzz/fuzz_mergescan.cpp merge/*.cpp text/*.cpp output/textfile.cpp -o "$out/fuzz_mergescan"

# fuzz TARGET CORPUS DICT SECONDS: runs build-fuzz/fuzz_TARGET on a scratch
# copy of the committed CORPUS; exits non-zero on a finding
fuzz() {
  local target=$1 corpus=$2 dict=$3 time=$4 status=0
  rm -rf "$scratch/corpus"
  cp -R "$corpus" "$scratch/corpus"
  rm -f "$out"/crash-* "$out"/leak-* "$out"/timeout-* "$out"/oom-*
  "$out/fuzz_$target" -max_total_time="$time" -timeout=10 -rss_limit_mb=2048 \
    -dict="$dict" -artifact_prefix="$out/" -print_final_stats=1 \
    "$scratch/corpus" >"$out/fuzz_$target.log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$out/fuzz_$target.log"
    for f in "$out"/crash-* "$out"/leak-* "$out"/timeout-* "$out"/oom-*; do
      [ -e "$f" ] || continue
      echo "finding: $f (base64 follows)"
      base64 "$f" | head -c 65536
      echo
    done
    echo "fuzz run of $target FAILED (status $status)"
    exit "$status"
  fi
  grep '^stat::' "$out/fuzz_$target.log" || true
  echo "fuzz run of $target passed: ${time}s, no finding"
}

fuzz mergescan fuzz/corpus fuzz/mergescan.dict "$secs"

# scanimport's own readers, with the libraries scanimport links
if [ -e /usr/include/xylib/xylib.h ] && [ -e /usr/include/pugixml.hpp ] &&
  [ -e /usr/include/zip.h ]; then
  "$cxx" -std=c++17 -g -O1 -I. -Iimport \
    -Wall -Wextra -Wpedantic -Wformat=2 -Wshadow -Wfloat-conversion \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    fuzz/fuzz_formats.cpp import/ownformats.cpp import/raw4.cpp import/brml.cpp \
    import/ras.cpp import/rasx.cpp import/zip.cpp import/readinput.cpp import/xrdml.cpp \
    -lxy -lpugixml -lzip -o "$out/fuzz_formats"
  fuzz formats fuzz/corpus-formats fuzz/formats.dict $((secs / 2 > 0 ? secs / 2 : 1))
else
  echo "fuzz run of formats skipped: no xylib, pugixml or libzip headers"
fi
