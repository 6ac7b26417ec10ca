#!/usr/bin/env bash
# The man page's examples, taken from the page as a reader sees it, run as
# printed: each says "merged" and both write the same two files; the
# dialogue's example with one blank answer too few says "failed".
# Usage: manexample_test.sh PAGE BINDIR SCAN1 SCAN2
set -euo pipefail
page=$1 bindir=$(cd "$2" && pwd) scan1=$3 scan2=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}

# the indented lines of EXAMPLES, one file per block
LC_ALL=C groff -man -Tascii -P-cbou "$page" 2>/dev/null |
  awk -v dir="$work" '
    /^EXAMPLES/ { on = 1; next }
    /^[A-Z]/ { on = 0 }
    on && /^              / { if (!inblock) n++; inblock = 1
                              print substr($0, 15) > (dir "/example" n ".sh"); next }
    { inblock = 0 }'
[ -f "$work/example1.sh" ] && [ -f "$work/example2.sh" ] || fail "two examples expected"

# runs example $1 (a script file) in folder $2 with the two scans
run() {
  mkdir -p "$2"
  cp "$scan1" "$2/scan1.dat"
  cp "$scan2" "$2/scan2.dat"
  (cd "$2" && PATH="$bindir:$PATH" bash "$1" </dev/null 2>&1)
}
for n in 1 2; do
  said=$(run "$work/example$n.sh" "$work/run$n")
  [ "$said" = merged ] || fail "example $n said: $said"
  [ -f "$work/run$n/out.xrs" ] && [ -f "$work/run$n/out.gdat" ] || fail "example $n: files"
done
cmp "$work/run1/out.xrs" "$work/run2/out.xrs" || fail "the two XRS82 files differ"
cmp "$work/run1/out.gdat" "$work/run2/out.gdat" || fail "the two GDAT files differ"
[ "$(ls "$work/run2" | tr '\n' ' ')" = "answers.txt console.txt out.gdat out.xrs scan1.dat scan2.dat " ] ||
  fail "example 2 wrote: $(ls "$work/run2")"

# one blank answer too few shifts the output names into the EIV prompt
sed "s/scan2.dat '' ''/scan2.dat ''/" "$work/example2.sh" >"$work/shifted.sh"
! cmp -s "$work/example2.sh" "$work/shifted.sh" || fail "no blank answer to drop"
said=$(run "$work/shifted.sh" "$work/shifted")
[ "$said" = failed ] || fail "the shifted answers said: $said"
echo "man page examples ran as printed"
