#!/usr/bin/env bash
# scripts/with-virtual-display: the command runs in a display and a D-Bus session of its own, its
# output and exit status come through unchanged, and nothing else is said on standard error. Where
# no session gave a runtime folder (root, a console), it has one of its own, removed afterwards.
#   with_virtual_display_test.sh SOURCE_DIR BUILD_DIR
source "${0%/*}/common.sh"
env -u XDG_RUNTIME_DIR "$src/scripts/with-virtual-display" sh -c '
    echo "$XDG_RUNTIME_DIR" >"$0"
    xdpyinfo >/dev/null && echo display
    [ -n "$DBUS_SESSION_BUS_ADDRESS" ] && echo bus
    echo "to standard error" >&2
    exit 3' "$tmp/runtime" >"$tmp/out" 2>"$tmp/err"
status=$?
[[ $status -eq 3 ]] || fail "the command's status 3 came back as $status"
[[ $(cat "$tmp/out") == $'display\nbus' ]] || fail "the command did not find its display and bus: $(cat "$tmp/out")"
[[ $(cat "$tmp/err") == "to standard error" ]] || fail "standard error holds more than the command's: $(cat "$tmp/err")"
runtime=$(cat "$tmp/runtime")
[[ -n $runtime ]] || fail "the command had no runtime folder"
[[ -e $runtime ]] && fail "the runtime folder $runtime was left behind"
exit $((failures > 0))
