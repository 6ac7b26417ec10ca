#!/usr/bin/env bash
# Builds scanmerge.exe and the unit tests for 64-bit Windows with MinGW-w64
# (cmake/mingw-w64-x86_64.cmake) in build-windows/, then, under Wine, runs
# the unit tests and every end-to-end run: the cases under tests/cases and
# the shipped example. The end-to-end runs are driven by the Linux test
# program (built in build/ if needed) with the .exe in place of the Linux
# program; its console's CR LF is folded to LF, and every file it writes
# must hold the bytes expected on Linux. Makes the zip for Windows users
# (build-windows/scanmerge-VERSION-win64.zip), lists it, and checks that
# its scanmerge.exe writes the shipped example's files as the Linux build
# does, its scanimport.exe every fixture's files as the Linux scanimport
# (build/import/scanimport) does, and that its scanplot.py draws with
# scanmerge.exe what it draws with the Linux scanmerge.
#
# Where Wine is missing or cannot start, the tests are skipped with a line
# saying so and the script ends with status 0 after the build.
# GTEST_SOURCES: GoogleTest's sources (default: Debian's /usr/src/googletest).
# WINE: the Wine program (default: wine64, then Debian's /usr/lib/wine/wine64,
# then wine).
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
gtest=${GTEST_SOURCES:-/usr/src/googletest}
start=$SECONDS

if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
  echo "windows: x86_64-w64-mingw32-g++-posix not found (package g++-mingw-w64-x86-64-posix)" >&2
  exit 1
fi
if [ ! -f "$gtest/CMakeLists.txt" ]; then
  echo "windows: no GoogleTest sources in $gtest (package googletest, or set GTEST_SOURCES)" >&2
  exit 1
fi

echo "== windows: cross build in build-windows/"
# BUILD_TESTING given: a build-windows configured without the tests (as the
# README's plain cross build is) gets them; the compile commands feed the
# check with Clang below
cmake --no-warn-unused-cli -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DSCANMERGE_GTEST_SOURCES="$gtest" -DBUILD_TESTING=ON -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
cmake --build build-windows -j2
exe=$root/build-windows/scanmerge.exe
tests=$root/build-windows/tests/scanmerge/scanmerge_unit_tests.exe
# linked statically: the programs need only what every Windows has
# (bcrypt: libzip's AES)
dlls=$(x86_64-w64-mingw32-objdump -p "$exe" "$tests" build-windows/import/scanimport.exe |
  sed -n 's/^\s*DLL Name: //p' | sort -u |
  grep -viE '^(kernel32|msvcrt|user32|advapi32|ws2_32|shell32|ole32|bcrypt)\.dll$' || true)
if [ -n "$dlls" ]; then
  echo "windows: the programs need DLLs that are not part of Windows: $dlls" >&2
  exit 1
fi
echo "== windows: built in $((SECONDS - start)) s"

# Clang's view of the program for Windows: its warnings on the MinGW-w64
# headers (which declare more than Linux's), with the C++ library that the
# cross compiler searches and the cross build's own flags for each of the
# program's sources (the warnings, the definitions, the include folders).
if command -v clang++ >/dev/null; then
  incs=()
  for dir in $(echo | x86_64-w64-mingw32-g++-posix -xc++ -E -v - 2>&1 |
    sed -n '/^#include <...> search starts here:/,/^End of search list/p' |
    grep -E '/include/c\+\+|mingw32/include$'); do
    incs+=(-isystem "$dir")
  done
  # each source's folder and command from compile_commands.json; the
  # include folders are in a response file (@...), which Clang reads too
  checked=0
  while IFS=$'\t' read -r dir cmd; do
    flags=()
    for word in $cmd; do
      case $word in -W* | -D* | -I* | @* | -std=*) flags+=("$word") ;; esac
    done
    (cd "$dir" && clang++ --target=x86_64-w64-mingw32 -fsyntax-only -nostdinc++ "${incs[@]}" \
      "${flags[@]}" -Werror "${cmd##* }")
    checked=$((checked + 1))
  done < <(sed -n 's/^ *"\(directory\|command\)": "\(.*\)",*$/\2/p' build-windows/compile_commands.json |
    paste - - | grep -F -e " -c $root/" | grep -v -F -e " -c $root/tests/" -e " -c $root/third_party/" |
    grep '\.cpp$')
  [ "$checked" -gt 0 ] || { echo "windows: no compile commands for Clang" >&2; exit 1; }
  echo "== windows: clang finds nothing to warn about in $checked sources"
else
  echo "== windows: clang++ not installed: no check with Clang"
fi

# the zip for Windows users, made by CPack from this build
cmake --build build-windows --target package >/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-windows/CMakeCache.txt)
zip=build-windows/scanmerge-$version-win64.zip
unpacked=build-windows/unzipped
rm -rf "$unpacked" && mkdir "$unpacked"
(cd "$unpacked" && cmake -E tar xf "$root/$zip")
# the zip's files, listed; its source/ folder checked apart
top=scanmerge-$version-win64
held=$(cd "$unpacked/$top" && find . -type f ! -path './source/*' | sort)
echo "$held" | sed 's/^/== windows: zip: /'
want=$(sort <<'LIST'
./LICENSE
./README.md
./notices/gcc-runtime.txt
./notices/libzip.txt
./notices/mingw-w64-runtime.txt
./notices/pugixml.txt
./notices/winpthreads.txt
./notices/xylib-LGPL-2.1.txt
./notices/zlib.txt
./scanimport.exe
./scanmerge.exe
./scanplot.py
LIST
)
[ "$held" = "$want" ] || { echo "windows: $zip holds the files above, not:" "$want" >&2; exit 1; }
# the complete source the LGPL asks for, without the builds
for f in CMakeLists.txt LICENSE third_party/xylib/xylib/xylib.cpp third_party/README.md \
  import/readinput.cpp cmake/mingw-w64-x86_64.cmake; do
  [ -f "$unpacked/$top/source/$f" ] || { echo "windows: $zip lacks source/$f" >&2; exit 1; }
done
if [ -n "$(cd "$unpacked/$top/source" && find . -maxdepth 1 -name 'build*' -o -name .git)" ]; then
  echo "windows: $zip's source/ holds a build or .git" >&2
  exit 1
fi
grep -q '^VERSION = "'"$version"'"$' "$unpacked/$top/scanplot.py" ||
  { echo "windows: the zip's scanplot.py does not say version $version" >&2; exit 1; }
echo "== windows: $zip made"

# wine64 itself: Debian keeps it out of PATH, and its wine wrapper warns
# on every run where the 32-bit Wine is missing
wine=${WINE:-$(command -v wine64 || true)}
[ -n "$wine" ] || [ ! -x /usr/lib/wine/wine64 ] || wine=/usr/lib/wine/wine64
[ -n "$wine" ] || wine=$(command -v wine || true)
if [ -z "$wine" ]; then
  echo "windows: Wine is not installed: Windows tests SKIPPED (the build is done)"
  exit 0
fi

# A prefix of our own, no display, no debug chatter, and no offer to
# install Mono or Gecko, which a console program never needs.
export WINEPREFIX=$root/build-windows/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
wineserver=$(dirname "$wine")/wineserver64
[ -x "$wineserver" ] || wineserver=$(command -v wineserver || true)
stopwine() { [ -z "$wineserver" ] || "$wineserver" -k 2>/dev/null || true; }
trap stopwine EXIT

if ! timeout 180 "$wine" wineboot --init </dev/null >build-windows/wineboot.log 2>&1; then
  echo "windows: Wine cannot start here ($wine wineboot failed; see build-windows/wineboot.log):"
  echo "windows: Windows tests SKIPPED (the build is done)"
  exit 0
fi
echo "== windows: Wine ready in $((SECONDS - start)) s"

echo "== windows: unit tests under Wine"
# bounded, so that a Wine that hangs cannot hold CI up for long
timeout 300 "$wine" "$tests" --gtest_brief=1 </dev/null ||
  { echo "windows: unit tests under Wine FAILED (status $?)" >&2; exit 1; }

echo "== windows: end-to-end runs of scanmerge.exe under Wine"
cmake -S . -B build >/dev/null
cmake --build build -j2 --target scanmerge_program_tests
# the suites that run the program: the cases, the long answers, the example
SCANMERGE_WINDOWS_EXE=$exe SCANMERGE_WINE=$wine timeout 300 \
  build/tests/scanmerge/scanmerge_program_tests \
  --gtest_filter='Cases/Dialogue.*:Dialogue.*:Example.*' --gtest_brief=1 </dev/null ||
  { echo "windows: end-to-end runs under Wine FAILED (status $?)" >&2; exit 1; }
echo "== windows: the zip's scanmerge.exe on the shipped example under Wine"
# the same answers and scans in two folders, one for each program
for side in windows linux; do
  rm -rf "build-windows/example-$side" && mkdir -p "build-windows/example-$side/out"
  cp examples/answers.txt examples/*.dat "build-windows/example-$side/"
done
status=0
(cd build-windows/example-windows &&
  timeout 120 "$wine" "$root/$unpacked/scanmerge-$version-win64/scanmerge.exe" \
    <answers.txt >console.txt) || status=$?
[ "$status" -eq 1 ] || { echo "windows: the zip's scanmerge.exe ended with status $status" >&2; exit 1; }
status=0
(cd build-windows/example-linux && ../../build/scanmerge <answers.txt >console.txt) || status=$?
[ "$status" -eq 1 ] || { echo "windows: build/scanmerge ended with status $status" >&2; exit 1; }
for f in si.xrs si.wyr si.profin si.gdat; do
  cmp "build-windows/example-linux/out/$f" "build-windows/example-windows/out/$f" ||
    { echo "windows: the zip's scanmerge.exe wrote another out/$f" >&2; exit 1; }
done
echo "== windows: the zip's scanmerge.exe wrote the example's files byte for byte"

echo "== windows: the zip's scanimport.exe on every fixture under Wine"
# Each case runs in two folders holding the fixtures, one for each
# program: the exit status, the console (CR LF folded to LF) and every file
# written must be the same.
linuximport=$root/build/import/scanimport
cmake --build build -j2 --target scanimport scanmerge >/dev/null
[ -x "$linuximport" ] || { echo "windows: no Linux scanimport in build/ (xylib, pugixml, libzip)" >&2; exit 1; }
fixtures=$root/tests/scanimport/fixtures
cases=()
for f in "$fixtures"/*; do
  [ "${f##*.}" != md ] && cases+=("$(basename "$f") --answers answers.txt --command merge.sh")
done
cases+=(
  # every fixture at once: one answers file, the maps left out of it
  "$(cd "$fixtures" && ls | grep -v '\.md$' | tr '\n' ' ')--answers answers.txt --command merge.sh"
  "-f rigaku_ras -o out -t 1000 --reftime 500 ras-three-ranges.ras --answers out/answers.txt"
  # refusals: an input as output, a name twice in one run, no such file or
  # format, the answers of a run that converts nothing
  "BT86_.UXD --answers BT86_.UXD"
  "BT86_.UXD ./BT86_.UXD"
  "nosuch.raw --answers answers.txt"
  "-f nosuch BT86_.UXD"
  "-o nosuch BT86_.UXD"
  "--help"
  "--version"
)
n=0
for c in "${cases[@]}"; do
  n=$((n + 1))
  for side in windows linux; do
    dir=build-windows/import-$side/$n
    rm -rf "$dir" && mkdir -p "$dir/out" && cp "$fixtures"/* "$dir/"
    status=0
    if [ $side = windows ]; then
      # shellcheck disable=SC2086 # the case's words
      (cd "$dir" && timeout 120 "$wine" "$root/$unpacked/$top/scanimport.exe" $c \
        >stdout.txt 2>stderr.txt) || status=$?
      sed -i 's/\r$//' "$dir/stdout.txt" "$dir/stderr.txt"
    else
      # with its scanmerge on PATH the command file names it bare, as the
      # Windows program always does
      # shellcheck disable=SC2086
      (cd "$dir" && PATH="$root/build:$PATH" "$linuximport" $c >stdout.txt 2>stderr.txt) ||
        status=$?
    fi
    echo "$status" >"$dir/status.txt"
  done
  if ! diff -r "build-windows/import-linux/$n" "build-windows/import-windows/$n"; then
    echo "windows: scanimport.exe $c: not as the Linux build (above: Linux <, Windows >)" >&2
    exit 1
  fi
done
echo "== windows: scanimport.exe wrote the Linux build's bytes in all $n cases"
# Windows' spellings of one file, which Linux takes for two: an input
# named in another case and with a trailing dot, and a scan file written
# from an earlier input named with backslashes and in another case
dir=build-windows/import-windows/names
rm -rf "$dir" && mkdir -p "$dir" && cp "$fixtures/BT86_.UXD" "$dir/"
status=0
(cd "$dir" && timeout 120 "$wine" "$root/$unpacked/$top/scanimport.exe" BT86_.UXD --force \
  --answers bt86_.uxd. '..\names\bt86_.uxd' >stdout.txt 2>stderr.txt) || status=$?
cmp -s "$dir/BT86_.UXD" "$fixtures/BT86_.UXD" && [ "$status" -eq 1 ] &&
  grep -q "^scanimport: bt86_.uxd.: is an input of this run; not overwritten" "$dir/stderr.txt" &&
  grep -qF 'was written from an earlier input' "$dir/stderr.txt" ||
  { echo "windows: scanimport.exe took Windows' spellings of one file for two (status $status):" >&2
    cat "$dir/stderr.txt" >&2; exit 1; }
# the first case's answers merged by the zip's scanmerge.exe, as by Linux's
for side in windows linux; do
  dir=build-windows/import-$side/1
  status=0
  if [ $side = windows ]; then
    (cd "$dir" && timeout 120 "$wine" "$root/$unpacked/scanmerge-$version-win64/scanmerge.exe" \
      <answers.txt >merged.txt) || status=$?
  else
    (cd "$dir" && ../../../build/scanmerge <answers.txt >merged.txt) || status=$?
  fi
  [ "$status" -eq 1 ] || { echo "windows: scanmerge on $dir/answers.txt ended with status $status" >&2; exit 1; }
  sed -i 's/\r$//' "$dir/merged.txt"
done
diff -r build-windows/import-linux/1 build-windows/import-windows/1 ||
  { echo "windows: scanmerge.exe < answers.txt of scanimport.exe: not as on Linux" >&2; exit 1; }
echo "== windows: scanmerge.exe merged scanimport.exe's answers as the Linux build does"

# scanplot.py on Linux's Python driving the zip's scanmerge.exe (whose
# console lines end in CR LF) draws and says what it does with Linux's
# (the Python the Linux build chose for scanplot)
python=$(sed -n 's/^Python3_EXECUTABLE:FILEPATH=//p' build/CMakeCache.txt)
if "${python:-python3}" -c "import numpy, matplotlib" 2>/dev/null; then
  printf '#!/bin/sh\nexec "%s" "%s" "$@"\n' "$wine" "$root/$unpacked/$top/scanmerge.exe" \
    >build-windows/scanmerge-wine
  chmod +x build-windows/scanmerge-wine
  for side in windows linux; do
    program=$root/build/scanmerge
    [ $side = linux ] || program=$root/build-windows/scanmerge-wine
    (cd examples && timeout 300 "$python" "$root/$unpacked/$top/scanplot.py" --scanmerge "$program" \
      si-scan1.dat si-scan2.dat si-scan3.dat --eiv "1 20 5" -o "$root/build-windows/plot-$side.png" \
      >"$root/build-windows/plot-$side.txt") ||
      { echo "windows: scanplot.py with the $side scanmerge FAILED" >&2; exit 1; }
  done
  cmp build-windows/plot-linux.txt build-windows/plot-windows.txt &&
    cmp build-windows/plot-linux.png build-windows/plot-windows.png ||
    { echo "windows: scanplot.py with scanmerge.exe: another picture or console" >&2; exit 1; }
  echo "== windows: scanplot.py drew the example with scanmerge.exe as with Linux's"
else
  echo "== windows: no numpy and matplotlib here: scanplot.py not tried"
fi
echo "== windows: all passed in $((SECONDS - start)) s"
