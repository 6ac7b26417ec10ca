#!/usr/bin/env bash
# setup.sh decides between installing, installing through sudo, printing the
# install command and naming the packages, and calls apt-get for exactly the
# missing packages only. apt-get, sudo and id are stand-ins that log their
# calls; a PATH of only those stand-ins hides cmake, make and the compilers.
# Usage: setup_test.sh SETUP_SH
# shellcheck disable=SC2016 # the stand-ins expand their own arguments
set -uo pipefail
setup=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL ($case): $*"
  failures=$((failures + 1))
}

# stub NAME BODY: a stand-in command in $work/bin
stub() {
  printf '#!/bin/bash\n%s\n' "$2" >"$work/bin/$1"
  chmod +x "$work/bin/$1"
}

# run NEED [PATH]: setup.sh with the stand-ins; status, log and stderr kept
run() {
  : >"$work/log"
  status=0
  env -i LOG="$work/log" PATH="${2:-$work/bin}" /bin/bash "$setup" "$1" \
    >"$work/out" 2>"$work/err" || status=$?
  log=$(cat "$work/log")
  err=$(cat "$work/err")
  [ -s "$work/out" ] && fail "wrote to standard output: $(cat "$work/out")"
}

fresh() {
  rm -rf "${work:?}/bin"
  mkdir "$work/bin"
  stub apt-get 'echo "apt-get $*" >>"$LOG"'
}

install="install -y --no-install-recommends cmake make g++"

case="root"
fresh
stub id 'echo 0'
run example
[ "$log" = "apt-get update
apt-get $install" ] || fail "apt-get calls: $log"
# the stand-in installs nothing, so the check after it still fails
[ "$status" -eq 1 ] || fail "status $status"
[[ $err == *"still missing after the install: cmake make g++"* ]] || fail "$err"

case="user with sudo"
fresh
stub id 'echo 1000'
stub sudo '[ "$1" = -n ] || exit 9; shift; [ "$1" = true ] || echo "sudo $*" >>"$LOG"'
run example
[ "$log" = "sudo apt-get update
sudo apt-get $install" ] || fail "sudo calls: $log"

case="user whose sudo asks a password"
fresh
stub id 'echo 1000'
stub sudo 'echo "sudo: a password is required" >&2; exit 1'
run example
[ -z "$log" ] || fail "apt-get called: $log"
[ "$status" -eq 1 ] || fail "status $status"
[[ $err == *"    sudo apt-get update && sudo apt-get $install"* ]] || fail "$err"

case="user without sudo"
fresh
stub id 'echo 1000'
run example
[ -z "$log" ] || fail "apt-get called: $log"
[ "$status" -eq 1 ] || fail "status $status"
[[ $err == *$'\n    apt-get update && apt-get '"$install"* ]] || fail "$err"

case="no apt-get"
fresh
rm "$work/bin/apt-get"
stub id 'echo 0'
run example
[ "$status" -eq 1 ] || fail "status $status"
[[ $err == *"missing: cmake make g++"*"no apt-get"* ]] || fail "$err"

case="everything there"
fresh
stub id 'echo 0'
run tests "$work/bin:$PATH"
[ "$status" -eq 0 ] || fail "status $status: $err"
[ -z "$log$err" ] || fail "called or said: $log$err"

case="usage"
run nothing
[ "$status" -eq 2 ] || fail "status $status"

exit $((failures > 0))
