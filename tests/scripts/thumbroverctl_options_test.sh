#!/usr/bin/env bash
# Every command of thumbroverctl answers --help and refuses an unknown option with a usage line
# and status 2, creating nothing.  thumbroverctl_options_test.sh SOURCE_DIR BUILD_DIR
set -uo pipefail
ctl=$2/thumbroverctl
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT

# ARGS | status | first line of standard output (a pattern) | first line of standard error
cases=(
    "--version|0|^thumbroverctl [0-9]+\.[0-9]+\.[0-9]+$|"
    "--help|0|^Usage: thumbroverctl |"
    "-h|0|^Usage: thumbroverctl |"
    "replay --help|0|^Usage: thumbroverctl replay |"
    "config --help|0|^Usage: thumbroverctl config |"
    "config check --help|0|^Usage: thumbroverctl config |"
    "demo --help|0|^Usage: thumbroverctl demo |"
    "|2||^thumbroverctl: a command is needed$"
    "--bogus|2||^thumbroverctl: unknown option \`--bogus\`$"
    "frobnicate|2||^thumbroverctl: unknown command \`frobnicate\`$"
    "replay --bogus|2||^thumbroverctl: unknown option \`--bogus\`$"
    "config check --bogus|2||^thumbroverctl: unknown option \`--bogus\`$"
    "demo --bogus|2||^Usage: thumbroverctl demo "
)
for case in "${cases[@]}"; do
    IFS='|' read -r args status out_pattern err_pattern <<<"$case"
    # shellcheck disable=SC2086 # the words of ARGS are the arguments
    HOME=$home XDG_CONFIG_HOME=$home/.config DISPLAY= "$ctl" $args \
        >"$home/.out" 2>"$home/.err" </dev/null
    got=$?
    [[ $got -eq $status ]] || fail "'$args': status $got, expected $status"
    if [[ -n $out_pattern ]]; then
        head -n1 "$home/.out" | grep -Eq -- "$out_pattern" || fail "'$args' printed: $(head -n1 "$home/.out")"
        [[ -s $home/.err ]] && fail "'$args' complained: $(cat "$home/.err")"
    else
        [[ -s $home/.out ]] && fail "'$args' printed on standard output: $(head -n1 "$home/.out")"
        head -n1 "$home/.err" | grep -Eq -- "$err_pattern" || fail "'$args' said: $(head -n1 "$home/.err")"
        grep -q '^Usage: ' "$home/.err" || fail "'$args' gave no usage line"
    fi
    rm -f "$home/.out" "$home/.err"
    leftovers=$(ls -A "$home")
    [[ -z $leftovers ]] && continue
    fail "'$args' created: $leftovers"
    rm -rf "${home:?}"/* "${home:?}"/.[!.]*
done
exit $((failures > 0))
