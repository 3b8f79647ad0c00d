#!/usr/bin/env bash
# scripts/with-virtual-display: the command runs in a display and a D-Bus session of its own, its
# output and exit status come through unchanged, and nothing else is said on standard error. Where
# no session gave a runtime folder (root, a console), it has one of its own, removed afterwards.
# The bus starts no service the machine has installed: a notification daemon planted in the
# folders a session bus reads is neither listed nor started.
#   with_virtual_display_test.sh SOURCE_DIR BUILD_DIR
source "${0%/*}/common.sh"
mkdir -p "$tmp/share/dbus-1/services"
printf '[D-BUS Service]\nName=org.freedesktop.Notifications\nExec=/bin/touch %s\n' "$tmp/started" \
    >"$tmp/share/dbus-1/services/org.freedesktop.Notifications.service"
env -u XDG_RUNTIME_DIR XDG_DATA_DIRS="$tmp/share" XDG_DATA_HOME="$tmp/share" \
    "$src/scripts/with-virtual-display" sh -c '
    echo "$XDG_RUNTIME_DIR" >"$0"
    xdpyinfo >/dev/null && echo display
    [ -n "$DBUS_SESSION_BUS_ADDRESS" ] && echo bus
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.ListActivatableNames | grep -o "org.freedesktop.Notifications"
    dbus-send --session --print-reply --dest=org.freedesktop.Notifications \
        /org/freedesktop/Notifications org.freedesktop.Notifications.GetCapabilities 2>/dev/null
    echo "to standard error" >&2
    exit 3' "$tmp/runtime" >"$tmp/out" 2>"$tmp/err"
status=$?
[[ $status -eq 3 ]] || fail "the command's status 3 came back as $status"
[[ $(cat "$tmp/out") == $'display\nbus' ]] || fail "the command did not find its display and bus alone: $(cat "$tmp/out")"
[[ -e $tmp/started ]] && fail "the bus started the machine's notification service"
[[ $(cat "$tmp/err") == "to standard error" ]] || fail "standard error holds more than the command's: $(cat "$tmp/err")"
runtime=$(cat "$tmp/runtime")
[[ -n $runtime ]] || fail "the command had no runtime folder"
[[ -e $runtime ]] && fail "the runtime folder $runtime was left behind"
exit $((failures > 0))
