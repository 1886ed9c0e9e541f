#!/usr/bin/env bash
# The bash completion of tovel, run with the two helpers of bash-completion it uses stubbed
# (no bash-completion package needed): commands, options by command, effect names quoted.
# Usage: tst_completion.sh COMPLETION_FILE TOVEL_DIR
set -euo pipefail
PATH=$2:$PATH
_init_completion() {
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD - 1]}
    words=("${COMP_WORDS[@]}")
    cword=$COMP_CWORD
}
_filedir() { COMPREPLY+=("<file>"); }
# shellcheck source=/dev/null
source "$1"
fail=0
expect() {
    local want=$1
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _tovel
    local got="${COMPREPLY[*]}"
    if [[ $got != "$want" ]]; then
        echo "FAIL: [$*] gave [$got], expected [$want]" >&2
        fail=1
    fi
}
expect "list limit" tovel li
expect "state store" tovel st
expect "--device" tovel --dev
expect "--json" tovel --virtual-pedal state --j
expect "--no-backup --fast --device --virtual-pedal --console --help --version" tovel flash Firmware_5 --
expect "Amber\\ Drive Amber\\ Drive\\ +\\ IR\\ Loader" tovel upload Amb
expect "min max clear" tovel --device /dev/ttyUSB0 limit 1 ""
expect "SWT SWR SW" tovel assign Depth SW
expect "save" tovel config sa
expect "<file>" tovel config load ""
expect "" tovel set 1 ""
expect "Impulse Response" tovel list Imp
expect "Firmware_4 Firmware_5 <file>" tovel flash Fi
exit $fail
