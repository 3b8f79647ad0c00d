#!/usr/bin/env bash
# What the README tells a newcomer to type: the two first commands, the line for a minimal
# system, and the replay example, which must run and print the scenario's expected output.
#   readme_test.sh SOURCE_DIR BUILD_DIR
set -uo pipefail
src=$1
bin=$2
readme=$src/README.md
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# The first code block holds exactly `make run` and `make test`.
first_block=$(awk '/^```/ { if (inside) exit; inside = 1; next } inside' "$readme" |
    sed 's/[[:space:]]*#.*//' | sed '/^$/d')
[[ $first_block == $'make run\nmake test' ]] || fail "the README does not start with make run / make test: $first_block"
grep -Eq '^apt-get install -y make git|^sudo apt-get install -y make git' "$readme" ||
    fail "the README does not say how to get make and git on a minimal system"

examples=$(grep -E '^(build/)?thumbroverctl replay ' "$readme")
[[ -n $examples ]] || fail "the README has no replay example"
while IFS= read -r line; do
    [[ -n $line ]] || continue
    command=${line%%#*}
    read -r -a words <<<"$command"
    (cd "$src" && "$bin/thumbroverctl" "${words[@]:1}") >"$bin/readme-example.out" 2>&1
    status=$?
    [[ $status -eq 0 ]] || fail "'$command' failed ($status): $(head -n3 "$bin/readme-example.out")"
    for word in "${words[@]}"; do
        [[ $word == *.scenario ]] || continue
        expected=$(sed '1,/^--- output$/d' "$src/$word")
        [[ -n $expected ]] || fail "$word has no expected output"
        [[ $(cat "$bin/readme-example.out") == "$expected" ]] ||
            fail "'$command' printed something else than $word expects"
    done
done <<<"$examples"
rm -f "$bin/readme-example.out"
exit $((failures > 0))
