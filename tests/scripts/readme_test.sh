#!/usr/bin/env bash
# What the README tells a newcomer to type: the two first commands, the line for a minimal
# system, and the replay example, which must run and print the scenario's expected output.
#   readme_test.sh SOURCE_DIR BUILD_DIR
source "${0%/*}/common.sh"
readme=$src/README.md

# The first code block holds exactly `make run` and `make test`.
first_block=$(awk '/^```/ { if (inside) exit; inside = 1; next } inside' "$readme" |
    sed 's/[[:space:]]*#.*//' | sed '/^$/d')
[[ $first_block == $'make run\nmake test' ]] || fail "the README does not start with make run / make test: $first_block"
# ...and says where to type them.
before_block=$(awk '/^```/ { exit } { print }' "$readme")
[[ $before_block == *"in a clone of this repository"* || $before_block == *"In a clone of this repository"* ]] ||
    fail "the README does not say where to type the two commands"
# Until it is installed, the companion is reached by its path in the build folder.
bare=$(grep -nE '(^|[^/])`thumbroverctl [a-z-]' "$readme")
[[ -z $bare ]] || fail "the README calls thumbroverctl without build/: $bare"
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
        # The text after the example explains the columns of what it prints.
        after=$(awk -v example="$line" '$0 == example { found = 1 } found' "$readme" | sed -n '/^$/,/^## /p')
        [[ $after == *'p1 p2 a b'* ]] || fail "the README does not explain the columns of '$command'"
        for kind in $(awk '{ print $2 }' <<<"$expected" | sort -u); do
            [[ $after == *"$kind"* ]] || fail "the README does not explain the $kind lines of '$command'"
        done
    done
done <<<"$examples"
rm -f "$bin/readme-example.out"
exit $((failures > 0))
