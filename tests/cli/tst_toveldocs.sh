#!/usr/bin/env bash
# The exit statuses as `tovel --help` gives them from the program's table, as the README lists
# them and as the built manual page says them: the same statuses with the same meanings.
# Usage: tst_toveldocs.sh TOVEL README MANUAL_PAGE
set -euo pipefail
tovel=$1
readme=$2
manual=$3

# "N meaning" lines, the meaning on one line.
from_help=$("$tovel" --help | awk '
    /^Exit status:/ { on = 1; next }
    on && /^  [0-9]  / { if (line) print line; line = substr($0, 3); sub(/  /, " ", line); next }
    on && /^     / { sub(/^ +/, ""); line = line " " $0 }
    END { if (line) print line }')
from_readme=$(sed -n '/^| exit status | meaning |$/,/^$/s/^| \([0-9]\) | \(.*\) |$/\1 \2/p' "$readme")
# The page's ".TP / .B N / Meaning." entries, the meaning's first letter and full stop taken off.
from_manual=$(awk '
    /^\.SH EXIT STATUS/ { on = 1; next }
    /^\.SH/ { on = 0 }
    on && /^\.B [0-9]$/ { n = $2; getline; gsub(/\\-/, "-"); sub(/\.$/, ""); print n " " tolower(substr($0, 1, 1)) substr($0, 2) }' "$manual")

status=0
[[ -n $from_help ]] || { echo "FAIL: no exit statuses in tovel --help" >&2; exit 1; }
if [[ $from_readme != "$from_help" ]]; then
    echo "FAIL: the README's exit statuses differ from tovel --help:" >&2
    diff <(echo "$from_help") <(echo "$from_readme") >&2 || true
    status=1
fi
if [[ $from_manual != "$from_help" ]]; then
    echo "FAIL: the manual page's exit statuses differ from tovel --help:" >&2
    diff <(echo "$from_help") <(echo "$from_manual") >&2 || true
    status=1
fi
[[ $status == 0 ]] && echo "exit statuses: help, README and manual page agree"
exit $status
