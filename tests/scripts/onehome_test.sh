#!/usr/bin/env bash
# Each rule of the merge has one home: every constant below is defined once
# in the C++ sources (merge/limits.h, or the dead-time fit's header), and
# scanplot, which only reads and draws what scanmerge writes, types none of
# their values. Usage: onehome_test.sh SOURCE_DIR
set -euo pipefail
cd "$1"
status=0
sources=$(find merge correct output dialogue files text import -name '*.cpp' -o -name '*.h')
for name in maxpts headerlines headerpiece datapiece steptolerance normmonitor fullmonitor \
  lowmonitor tau shortesttime deadlimit fitfirst fitlast fitstep fitsigmamax; do
  n=$(grep -hE "^ *constexpr [a-z ]+ $name = " $sources | wc -l || true)
  [ "$n" -eq 1 ] || { echo "$name: defined $n times in the C++ sources"; status=1; }
done
# the monitor numbers typed outside their one home
if grep -nE '\b1000000\b' $sources | grep -v '^merge/limits.h:'; then
  echo "a monitor number typed outside merge/limits.h"
  status=1
fi
# scanplot: no number of the merge, nor a formula's name for it
if grep -nE '\b(1e6|1e\+?06|1000000|10 ?\*\* ?6|1000\.0|3e-0?6|0\.01|0\.02|1\.5)\b|TAU|MONITOR' \
  plot/scanplot; then
  echo "scanplot types a number of the merge"
  status=1
fi
exit $status
