#!/usr/bin/env bash
# cmake --install puts the program and its man page where PATH and man look.
# Usage: install_test.sh BUILD_DIR
set -euo pipefail
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$1" --prefix "$prefix" >/dev/null
[ -x "$prefix/bin/scanmerge" ] || { echo "no bin/scanmerge"; exit 1; }
grep -q '^\.SH DIAGNOSTICS' "$prefix/share/man/man1/scanmerge.1" ||
  { echo "no share/man/man1/scanmerge.1"; exit 1; }
# the installed program runs on its own: blank answers end it normally
status=0
"$prefix/bin/scanmerge" </dev/null >/dev/null || status=$?
[ "$status" -eq 1 ] || { echo "installed scanmerge ended with status $status"; exit 1; }
