#!/usr/bin/env bash
# The man page renders without a single warning from groff.
# Usage: manpage_test.sh PAGE
set -euo pipefail
warnings=$(LC_ALL=C groff -man -ww -z "$1" 2>&1 >/dev/null)
if [ -n "$warnings" ]; then
  printf '%s\n' "$warnings"
  exit 1
fi
