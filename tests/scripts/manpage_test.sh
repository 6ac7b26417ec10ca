#!/usr/bin/env bash
# Every man page renders without a single warning from groff, and its .TH
# line names the version of project(): scanmerge VERSION.
# Usage: manpage_test.sh VERSION MAN_DIR
set -euo pipefail
version=$1
failed=0
for page in "$2"/*.1; do
  warnings=$(LC_ALL=C groff -man -ww -z "$page" 2>&1 >/dev/null)
  if [ -n "$warnings" ]; then
    printf '%s: %s\n' "$page" "$warnings"
    failed=1
  fi
  th=$(grep -m1 '^\.TH ' "$page")
  case $th in
    *" \"scanmerge $version\" "*) ;;
    *)
      echo "$page: $th does not name \"scanmerge $version\""
      failed=1
      ;;
  esac
done
exit "$failed"
