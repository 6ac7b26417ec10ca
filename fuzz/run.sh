#!/usr/bin/env bash
# Fuzzes the scan reader and the merge for a bounded time, on one core.
# Usage: fuzz/run.sh [seconds]   (default 60)
# Needs clang++ with libFuzzer; without it the run is skipped (exit 0).
# The committed corpus is only read: the fuzzer works on a scratch copy.
# Exits non-zero on a finding, whose input is kept in build-fuzz/ and
# printed in base64 after the end of the fuzzer's log (build-fuzz/fuzz.log).
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

# the fuzz target as CMake builds it: our warnings, the sanitizers, libFuzzer
command -v make >/dev/null || export CMAKE_GENERATOR=Ninja
CXX=$cxx cmake -S . -B "$out" -DSCANMERGE_FUZZ=ON -DBUILD_TESTING=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$out" -j2 --target fuzz_mergescan

cp -R fuzz/corpus "$scratch/corpus"
rm -f "$out"/crash-* "$out"/leak-* "$out"/timeout-* "$out"/oom-*
status=0
"$out/fuzz/fuzz_mergescan" -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 \
  -dict=fuzz/mergescan.dict -artifact_prefix="$out/" -print_final_stats=1 \
  "$scratch/corpus" >"$out/fuzz.log" 2>&1 || status=$?

if [ "$status" -ne 0 ]; then
  tail -n 60 "$out/fuzz.log"
  for f in "$out"/crash-* "$out"/leak-* "$out"/timeout-* "$out"/oom-*; do
    [ -e "$f" ] || continue
    echo "finding: $f (base64 follows)"
    base64 "$f" | head -c 65536
    echo
  done
  echo "fuzz run FAILED (status $status)"
  exit "$status"
fi
grep '^stat::' "$out/fuzz.log" || true
echo "fuzz run passed: ${secs}s, no finding"
