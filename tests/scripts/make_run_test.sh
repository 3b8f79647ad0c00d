#!/usr/bin/env bash
# `make run` installs and builds only what the run needs (not the tests' tools, the tests,
# benchmarks and fuzz targets), and `make test` still installs and builds everything.  make_run_test.sh SOURCE_DIR BUILD_DIR
source "${0%/*}/common.sh"
# The recipes as make would run them, without running them.
run_plan=$(make -s -n -C "$src" run)
build_line=$(grep -E '^scripts/build ' <<<"$run_plan")
read -r -a words <<<"$build_line"
targets=("${words[@]:2}")
if [[ ${#targets[@]} -eq 0 ]]; then
    fail "make run builds everything: $(tr '\n' ';' <<<"$run_plan")"
else
    all=$(ninja -C "$bin" -t commands | wc -l)
    needed=$(ninja -C "$bin" -t commands "${targets[@]}" | wc -l)
    [[ $needed -lt $((all / 2)) ]] || fail "make run builds $needed of the $all steps"
    # Every program the run script starts on Linux is among them.
    for program in $(grep -oE '\bbuild/[a-z]+\b' "$src/scripts/run" | sort -u); do
        [[ " ${targets[*]} " == *" ${program#build/} "* ]] || fail "make run starts $program but does not build it"
    done
fi
grep -qE '^scripts/install-deps run$' <<<"$run_plan" || fail "make run installs more than it needs: $run_plan"
test_plan=$(make -s -n -C "$src" test)
grep -qE '^scripts/install-deps$' <<<"$test_plan" || fail "make test does not install everything"
grep -qE '^scripts/build default$' <<<"$test_plan" || fail "make test does not build everything"
exit $((failures > 0))
