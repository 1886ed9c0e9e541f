#!/usr/bin/env bash
# The bash completion of tovel in a real bash, run as Tab runs it (the function registered for
# tovel, called with COMP_WORDS and COMP_CWORD), once in a bare bash and once with the
# bash-completion package loaded first: the same answers, and not a word on standard error.
# Usage: tst_completion.sh COMPLETION_FILE TOVEL_DIR [ZSH_COMPLETION_FILE]
set -euo pipefail
completion=$1
tovel_dir=$2
zsh_completion=${3:-}
package=/usr/share/bash-completion/bash_completion
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/files"
touch "$work/files/flash.bin" "$work/files/song 1.txt"

# The cases, one a line: the expected answers joined by "|", a "%", then the words typed (the
# last is the one completed), separated by "|".
cases=$(cat <<'EOF'
list|limit%tovel|li
state|store%tovel|st
--device%tovel|--dev
--json%tovel|--js
--json%tovel|--virtual-pedal|state|--js
--quiet%tovel|--qu
--no-backup|--fast|--device|--virtual-pedal|--console|--json|--quiet|--help|--version%tovel|flash|Firmware_5|--
Amber\ Drive|Amber\ Drive\ +\ IR\ Loader%tovel|upload|Amb
Amber\ Drive|Amber\ Drive\ +\ IR\ Loader%tovel|upload|amb
Amber\ Drive\ +\ IR\ Loader%tovel|info|Amber\ Drive\ 
Amber Drive|Amber Drive + IR Loader%tovel|info|"Amber
min|max|clear%tovel|--device|/dev/ttyUSB0|limit|1|
SWT|SWR|SW%tovel|assign|Depth|SW
SWT|SWR|SW%tovel|assign|-1|SW
save%tovel|config|sa
flash.bin|song 1.txt%tovel|config|load|
%tovel|set|1|
Impulse\ Response%tovel|list|Imp
Impulse Response%tovel|list|'imp
Firmware_4|Firmware_5%tovel|flash|Fi
flash.bin%tovel|backup|fl
song 1.txt%tovel|upload|--file|so
state|set|store%tovel|help|s
EOF
)

run_cases() { # $1: a name for this bash
    local fail=0 want words got line
    while IFS='%' read -r want words; do
        IFS='|' read -r -a COMP_WORDS <<<"$words"
        [[ $words == *'|' ]] && COMP_WORDS+=("")
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        COMPREPLY=()
        "$function" tovel "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
        got=$(IFS='|'; echo "${COMPREPLY[*]}")
        if [[ $got != "$want" ]]; then
            echo "FAIL ($1): [$words] gave [$got], expected [$want]" >&2
            fail=1
        fi
    done <<<"$cases"
    return $fail
}

status=0
for with_package in no yes; do
    if [[ $with_package == yes && ! -f $package ]]; then
        echo "FAIL: $package is missing (scripts/setup installs bash-completion)" >&2
        status=1
        continue
    fi
    errors=$(cd "$work/files" && PATH=$tovel_dir:$PATH bash --norc --noprofile -c '
        set -u
        [[ $1 == yes ]] && source "$2"
        source "$3"
        # The function Tab would call, as registered.
        function=$(complete -p tovel | sed -n "s/.*-F \([^ ]*\) .*/\1/p")
        [[ -n $function ]] || { echo "no completion registered for tovel"; exit 1; }
        eval "$4"
        run_cases "bash-completion package: $1"
    ' _ "$with_package" "$package" "$completion" "cases=$(printf '%q' "$cases"); $(declare -f run_cases)" 2>&1) || status=1
    if [[ -n $errors ]]; then
        echo "$errors" >&2
        status=1
    fi
done

# The zsh completion is at least one that zsh reads.
if [[ -n $zsh_completion ]]; then
    if command -v zsh >/dev/null; then
        zsh -n "$zsh_completion" || { echo "FAIL: zsh cannot read $zsh_completion" >&2; status=1; }
    else
        echo "FAIL: no zsh to read $zsh_completion (scripts/setup installs zsh)" >&2
        status=1
    fi
fi
[[ $status == 0 ]] && echo "completion: every case passed"
exit $status
