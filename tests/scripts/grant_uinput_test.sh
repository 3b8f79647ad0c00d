#!/usr/bin/env bash
# scripts/grant-uinput, which `make run` calls in a Wayland session: it installs the package's udev
# rule and module entry where the node is not writable and no rule is there yet, says so in one
# line, and does nothing at all otherwise.
#   grant_uinput_test.sh SOURCE_DIR BUILD_DIR
source "${0%/*}/common.sh"
grant() { DESTDIR=$tmp/root THUMBROVER_UINPUT_NODE=$tmp/uinput "$src/scripts/grant-uinput" 2>&1; }

# case: no node, no rule -> both files, one line
said=$(grant) || fail "it failed: $said"
[[ $(wc -l <<<"$said") -eq 1 && $said == *"/dev/uinput"* ]] || fail "not one line about /dev/uinput: $said"
cmp -s "$src/packaging/linux/70-thumbrover-uinput.rules" "$tmp/root/etc/udev/rules.d/70-thumbrover-uinput.rules" ||
    fail "the udev rule was not installed"
cmp -s "$src/packaging/linux/thumbrover-uinput.conf" "$tmp/root/etc/modules-load.d/thumbrover-uinput.conf" ||
    fail "the module entry was not installed"

# case: the rule is there already -> nothing said, nothing changed
rm "$tmp/root/etc/modules-load.d/thumbrover-uinput.conf"
said=$(grant) || fail "it failed with the rule in place: $said"
[[ -z $said ]] || fail "it spoke with the rule in place: $said"
[[ -e $tmp/root/etc/modules-load.d/thumbrover-uinput.conf ]] && fail "it installed again with the rule in place"

# case: the node is writable -> nothing, even without a rule
rm -rf "$tmp/root"
: >"$tmp/uinput"
said=$(grant) || fail "it failed with a writable node: $said"
[[ -z $said && ! -e $tmp/root ]] || fail "it acted although the node is writable: $said"
exit $((failures > 0))
