#!/usr/bin/env bash
# scripts/grant-uinput, which `make run` calls in a Wayland session: it installs the package's udev
# rule and module entry where the node is not writable and no rule is there yet, says so in one
# line, and does nothing at all otherwise. Stand-ins for sudo, modprobe and udevadm come first on
# PATH, and one for `id` that makes everyone an ordinary user: whoever runs the test (root, a user
# with sudo, a user without), it runs the same, nothing of the machine's changes and the real sudo
# never runs.
#   grant_uinput_test.sh SOURCE_DIR BUILD_DIR
source "${0%/*}/common.sh"
mkdir "$tmp/bin"
for tool in sudo modprobe udevadm; do
    printf '#!/bin/sh\necho "%s $*" >>"%s"\n' "$tool" "$tmp/calls" >"$tmp/bin/$tool"
    chmod +x "$tmp/bin/$tool"
done
printf '#!/bin/sh\necho 1000\n' >"$tmp/bin/id"
chmod +x "$tmp/bin/id"
grant() {
    DESTDIR=$tmp/root THUMBROVER_UINPUT_NODE=$tmp/uinput PATH=$tmp/bin:$PATH \
        "$src/scripts/grant-uinput" 2>&1 </dev/null
}
mkdir "$tmp/root"

# case: no node, no rule -> both files, one line
said=$(grant) || fail "it failed: $said"
[[ $(wc -l <<<"$said") -eq 1 && $said == *"/dev/uinput"* ]] || fail "not one line about /dev/uinput: $said"
cmp -s "$src/packaging/linux/70-thumbrover-uinput.rules" "$tmp/root/etc/udev/rules.d/70-thumbrover-uinput.rules" ||
    fail "the udev rule was not installed"
cmp -s "$src/packaging/linux/thumbrover-uinput.conf" "$tmp/root/etc/modules-load.d/thumbrover-uinput.conf" ||
    fail "the module entry was not installed"

# case: the rule is there already -> nothing said, nothing changed
rm -f "$tmp/root/etc/modules-load.d/thumbrover-uinput.conf"
said=$(grant) || fail "it failed with the rule in place: $said"
[[ -z $said ]] || fail "it spoke with the rule in place: $said"
[[ -e $tmp/root/etc/modules-load.d/thumbrover-uinput.conf ]] && fail "it installed again with the rule in place"

# case: the node is writable -> nothing, even without a rule
rm -rf "$tmp/root"
mkdir "$tmp/root"
: >"$tmp/uinput"
said=$(grant) || fail "it failed with a writable node: $said"
[[ -z $said && -z $(ls -A "$tmp/root") ]] || fail "it acted although the node is writable: $said"

# Into a folder of one's own, sudo is never needed, and the running system is left alone.
[[ -e $tmp/calls ]] && fail "it ran $(cat "$tmp/calls")"
exit $((failures > 0))
