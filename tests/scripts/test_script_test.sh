#!/usr/bin/env bash
# scripts/test: runs ctest once (a failed test is never run again), hands back its exit status,
# fails a run whose tests leave something in their temporary folder, and removes its private home
# and temporary folder whatever the outcome. Its output fits an 80-column terminal however long
# the test names, and names each failure, at once and in its label's closing line.
#   test_script_test.sh SOURCE_DIR BUILD_DIR
set -uo pipefail
src=$1
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

stub=$(mktemp -d)
trap 'rm -rf "$stub"' EXIT
# Stands in for ctest: notes its arguments and leaves a file in the private home, as a test would;
# its lines are as wide as ctest makes them for a long name, and the short one fails.
long=core.ATestSuiteWithAVeryLongName.AndATestWhoseNameSaysAtLengthWhatItChecksAndWhyItMattersToTheUser
cat >"$stub/ctest" <<STUB
#!/bin/sh
case " \$* " in
*" --print-labels "*) printf 'All Labels:\n  unit\n'; exit 0 ;;
*" -N "*) printf '  Test #1: $long\n  Test #2: core.Short.Fails\n'; exit 0 ;;
esac
dots=\$(printf '%90s' '' | tr ' ' .)
echo "      Start   1: $long"
echo "1/2 Test   #1: $long .....   Passed    0.01 sec"
echo "      Start   2: core.Short.Fails"
[ "\$STUB_STATUS" = 0 ] && verdict="  Passed" || verdict="***Failed"
echo "2/2 Test   #2: core.Short.Fails \$dots\$verdict    1.28 sec"
[ "\$STUB_STATUS" = 0 ] || echo "Expected: the short one"
STUB
cat >>"$stub/ctest" <<'STUB'
printf '%s\n' "$@" >"$RECORD_DIR/args"
printf '%s\n' "$HOME" >"$RECORD_DIR/home"
mkdir -p "$HOME/.config/thumbrover" && echo x >"$HOME/.config/thumbrover/config.toml" || exit 99
[ -z "$STUB_LEAVE" ] || mkdir "${TMPDIR:-/tmp}/$STUB_LEAVE" || exit 98
exit "$STUB_STATUS"
STUB
chmod +x "$stub/ctest"

# ctest's status, what its tests leave in their temporary folder, scripts/test's status.
for case in "0||0" "1||1" "8||8" "0|thumbrover-test.abc|1" "8|thumbrover-test.abc|8"; do
    IFS='|' read -r status leave expected <<<"$case"
    tmp=$(mktemp -d)
    record=$(mktemp -d)
    TMPDIR=$tmp PATH="$stub:$PATH" RECORD_DIR=$record STUB_STATUS=$status STUB_LEAVE=$leave \
        "$src/scripts/test" somepreset -R Something >"$record/out" 2>&1
    got=$?
    [[ $got -eq $expected ]] || fail "ctest ended with $status, leaving '$leave': scripts/test with $got"
    if [[ -n $leave ]]; then
        grep -q "left behind.*$leave" "$record/out" || fail "the leftover $leave was not named: $(cat "$record/out")"
    fi
    home=$(cat "$record/home" 2>/dev/null)
    [[ $home == "$tmp"/* ]] || fail "the tests did not run in a private home under TMPDIR: '$home'"
    [[ -e $home ]] && fail "the private home $home was left behind (ctest status $status)"
    leftovers=$(ls -A "$tmp")
    [[ -z $leftovers ]] || fail "left behind in TMPDIR: $leftovers"
    grep -qx -- '--preset' "$record/args" && grep -qx somepreset "$record/args" ||
        fail "the preset was not passed on: $(tr '\n' ' ' <"$record/args")"
    grep -qx -- '-R' "$record/args" || fail "extra ctest arguments were not passed on"
    grep -q -- 'repeat' "$record/args" && fail "a failed test is run again: $(tr '\n' ' ' <"$record/args")"
    wide=$(awk 'length($0) >= 80 && !/^thumbrover: /' "$record/out")
    [[ -z $wide ]] || fail "lines of 80 columns or more: $wide"
    if [[ $status -eq 0 ]]; then
        grep -q "^  unit  *2 of 2 passed$" "$record/out" || fail "no label line: $(cat "$record/out")"
    else
        grep -A1 "^FAILED: core.Short.Fails (Failed, 1.28 s)$" "$record/out" | grep -q "the short one" ||
            fail "the failure and its output are not shown: $(cat "$record/out")"
        grep -q "^  unit  *1 of 2 passed; failed: core.Short.Fails$" "$record/out" ||
            fail "the label line does not name the failure: $(cat "$record/out")"
    fi
    rm -rf "$tmp" "$record"
done
exit $((failures > 0))
