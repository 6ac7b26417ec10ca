#!/usr/bin/env bash
# Prints the commands of a man page's EXAMPLES as a reader sees them
# printed (groff's plain text), one block after another, a blank line
# between blocks. Usage: manexamples.sh PAGE.1   Fails when there are none.
set -euo pipefail
LC_ALL=C groff -man -Tascii -P-cbou "$1" 2>/dev/null |
  awk '/^EXAMPLES/ { on = 1; next }
       /^[A-Z]/ { on = 0 }
       on && /^              / { if (!inblock && n) print ""; inblock = 1; n++
                                 print substr($0, 15); next }
       { inblock = 0 }
       END { exit n == 0 }'
