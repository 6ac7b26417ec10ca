#!/usr/bin/env bash
# Checks for what the build, the tests or the bench need and installs exactly
# what is missing, through apt-get. Called first by run-example.sh,
# run-tests.sh and bench/run.sh; it can also be run alone.
# Usage: setup.sh example|tests|bench
# Prints nothing and calls no package manager when everything is there.
# Exit status: 0 when everything is there (already, or once installed);
# 1 when something is missing and could not be installed from here (the
# message says what to run); 2 for a usage error.
set -euo pipefail

need=${1:-}
case $need in
  example | tests | bench) ;;
  *)
    echo "usage: setup.sh example|tests|bench" >&2
    exit 2
    ;;
esac

say() { printf 'setup: %s\n' "$*" >&2; }

# a header or a library in the places the compiler and CMake look by default
present() {
  local pattern path
  for pattern in "$@"; do
    for path in /usr/include/"$pattern" /usr/local/include/"$pattern" \
      /usr/lib/"$pattern" /usr/lib/*/"$pattern" /usr/local/lib/"$pattern"; do
      [ -e "$path" ] && return 0
    done
  done
  return 1
}

# compiles a line of C++17 with the compiler CMake would pick
cxx17() {
  local cxx
  for cxx in ${CXX:-} c++ g++ clang++; do
    command -v "$cxx" >/dev/null 2>&1 || continue
    printf '#include <optional>\nint main() { std::optional<int> x; return x ? 1 : 0; }\n' |
      "$cxx" -std=c++17 -x c++ - -o /dev/null >/dev/null 2>&1 && return 0
  done
  return 1
}

# fills the array missing with the packages of whatever is not there
check() {
  missing=()
  command -v cmake >/dev/null 2>&1 || missing+=(cmake)
  command -v make >/dev/null 2>&1 || command -v ninja >/dev/null 2>&1 ||
    missing+=(make)
  cxx17 || missing+=(g++)
  case $need in
    tests)
      present gtest/gtest.h >/dev/null && present libgtest.a libgtest.so ||
        missing+=(libgtest-dev)
      # the importer is built where xylib, pugixml and libzip are found
      present xylib/xylib.h && present libxy.so || missing+=(libxy-dev)
      present pugixml.hpp && present libpugixml.so libpugixml.a ||
        missing+=(libpugixml-dev)
      # BRML and RASX files are zip archives
      present zip.h && present libzip.so || missing+=(libzip-dev)
      # the plot tool runs under the system's Python, whatever is on PATH
      if [ -x /usr/bin/python3 ]; then
        /usr/bin/python3 -c 'import numpy' >/dev/null 2>&1 ||
          missing+=(python3-numpy)
        /usr/bin/python3 -c 'import matplotlib' >/dev/null 2>&1 ||
          missing+=(python3-matplotlib)
      else
        missing+=(python3 python3-numpy python3-matplotlib)
      fi
      # renders the man page in its test
      command -v groff >/dev/null 2>&1 || missing+=(groff-base)
      # read the CIF file in its test: a CIF parser, and the CIF library
      # GSAS-II reads powder CIF files with
      command -v gemmi >/dev/null 2>&1 || missing+=(gemmi)
      if [ -x /usr/bin/python3 ]; then
        /usr/bin/python3 -c 'import CifFile' >/dev/null 2>&1 || missing+=(python3-pycifrw)
      else
        missing+=(python3-pycifrw)
      fi
      ;;
    bench)
      # the peak memory column
      [ -x /usr/bin/time ] || missing+=(time)
      ;;
  esac
}

check
[ ${#missing[@]} -eq 0 ] && exit 0

pkgs=${missing[*]}
install="apt-get install -y --no-install-recommends $pkgs"
say "missing: $pkgs"
if ! command -v apt-get >/dev/null 2>&1; then
  say "no apt-get here: install these packages (or their equivalents)"
  say "with your system's package manager, then run this again."
  exit 1
fi

if [ "$(id -u)" = 0 ]; then
  say "installing them: apt-get update && $install"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update >&2
  # shellcheck disable=SC2086 # one word per package
  apt-get install -y --no-install-recommends $pkgs >&2
elif command -v sudo >/dev/null 2>&1 && sudo -n true >/dev/null 2>&1; then
  say "installing them: sudo apt-get update && sudo $install"
  sudo -n apt-get update >&2
  # shellcheck disable=SC2086
  sudo -n apt-get install -y --no-install-recommends $pkgs >&2
else
  if command -v sudo >/dev/null 2>&1; then
    say "install them with this command, then run this again:"
    printf '\n    sudo apt-get update && sudo %s\n\n' "$install" >&2
  else
    say "install them as root with this command, then run this again:"
    printf '\n    apt-get update && %s\n\n' "$install" >&2
  fi
  exit 1
fi

check
if [ ${#missing[@]} -ne 0 ]; then
  say "still missing after the install: ${missing[*]}"
  exit 1
fi
