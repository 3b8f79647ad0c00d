#!/usr/bin/env bash
# The demonstration `make run` shows on a machine without a display: for each step of the tour its
# report says what the window saw, pointer motion included, and what is on screen at the step's
# end; switching off leaves the ring hidden and the pointer still.
#   demo_test.sh SOURCE_DIR BUILD_DIR
source "${0%/*}/common.sh"
"$bin/thumbroverctl" demo --screenshot "$tmp/shot.png" >"$tmp/out" 2>"$tmp/err"
status=$?
[[ $status -eq 0 ]] || fail "the demonstration ended with $status: $(tail -n5 "$tmp/err")"
grep -qx 'Thumbrover ended normally.' "$tmp/out" || fail "the demonstration did not end normally"
[[ $(head -c 8 "$tmp/shot.png" | od -An -tx1 | tr -d ' \n') == 89504e470d0a1a0a ]] ||
    fail "no PNG screenshot was saved"

# Each step's first words, then a pattern its report must match.
expectations=(
    "Left stick to the right|seen by the window: [0-9]+ pointer motions.*; the ring is on screen$"
    "A pressed and released|1 button press \(1 left\), 1 release"
    "A held while the stick moves|[0-9]+ of them with the left button held"
    "Right stick up|[0-9]+ wheel notches up"
    "Left stick click: precise mode|seen by the window: [0-9]+ pointer motions"
    "Xbox button held|pointer \(([0-9]+, [0-9]+)\) -> \(\1\); seen by the window: no events; (no ring|the ring showed, now hidden)$"
    "End of the demonstration|; no ring$"
)
for expectation in "${expectations[@]}"; do
    step=${expectation%%|*}
    pattern=${expectation#*|}
    report=$(awk -v step="$step" 'index($0, "  " step) { found = 1; next } found && /^ +pointer / { print; exit }' "$tmp/out")
    [[ -n $report ]] || { fail "no report for the step '$step'"; continue; }
    grep -Eq -- "$pattern" <<<"$report" || fail "the step '$step' reports: $report"
done
[[ $failures -eq 0 ]] || cat "$tmp/out" >&2
exit $((failures > 0))
