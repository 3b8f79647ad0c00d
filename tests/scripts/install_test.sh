#!/usr/bin/env bash
# `make install` copies the built, stripped programs, the desktop files, the manual pages and the
# package documents and touches nothing else in the build folder; `make uninstall` removes exactly
# those files again; without a build, install says what to do instead of building.
#   install_test.sh SOURCE_DIR BUILD_DIR
source "${0%/*}/common.sh"
had_manifest=0
[[ -e $bin/install_manifest.txt ]] && had_manifest=1 && cp -p "$bin/install_manifest.txt" "$tmp/manifest"
cleanup() {
    if [[ $had_manifest -eq 1 ]]; then cp -p "$tmp/manifest" "$bin/install_manifest.txt"; else rm -f "$bin/install_manifest.txt"; fi
    rm -rf "$tmp"
}
trap cleanup EXIT
root=$tmp/root
prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$bin/CMakeCache.txt")

touch "$tmp/before"
sleep 1
DESTDIR=$root "$src/scripts/install" "$bin" >"$tmp/log" 2>&1 || fail "install failed: $(tail -n3 "$tmp/log")"
# ctest keeps its own log under Testing/ while this runs.
changed=$(find "$bin" -mindepth 1 -path "$bin/Testing" -prune -o -newer "$tmp/before" ! -name install_manifest.txt -print | head -n5)
[[ -z $changed ]] || fail "install changed the build folder: $changed"

for file in bin/thumbrover bin/thumbroverctl share/applications/app.thumbrover.Thumbrover.desktop \
    share/icons/hicolor/scalable/apps/thumbrover.svg lib/systemd/user/thumbrover.service \
    share/man/man1/thumbrover.1.gz share/man/man1/thumbroverctl.1.gz \
    share/doc/thumbrover/copyright share/doc/thumbrover/changelog.gz \
    share/doc/thumbrover/examples/{left_click_drags,press_or_hold,scroll,shortcuts}.scenario \
    share/metainfo/app.thumbrover.Thumbrover.metainfo.xml \
    lib/udev/rules.d/70-thumbrover-uinput.rules lib/modules-load.d/thumbrover-uinput.conf \
    share/gnome-shell/extensions/thumbrover@thumbrover.app/{metadata.json,extension.js,app.thumbrover.FrontApp1.xml}; do
    [[ -f $root$prefix/$file ]] || fail "not installed: $prefix/$file"
done
for program in thumbrover thumbroverctl; do
    [[ -x $root$prefix/bin/$program ]] || continue
    readelf -S "$root$prefix/bin/$program" | grep -q '\.symtab' && fail "$program is not stripped"
done
grep -qx "ExecStart=$prefix/bin/thumbrover" "$root$prefix/lib/systemd/user/thumbrover.service" ||
    fail "the unit does not start $prefix/bin/thumbrover"
[[ $("$root$prefix/bin/thumbrover" --version) == "thumbrover "* ]] || fail "the installed program does not run"
grep -q '^KERNEL=="uinput", SUBSYSTEM=="misc", OPTIONS+="static_node=uinput", TAG+="uaccess"$' \
    "$root$prefix/lib/udev/rules.d/70-thumbrover-uinput.rules" || fail "the udev rule does not give the seat /dev/uinput"
grep -qx uinput "$root$prefix/lib/modules-load.d/thumbrover-uinput.conf" || fail "uinput is not loaded at boot"

# The installed companion points to what is installed beside it, never into a source folder.
examples=$root$prefix/share/doc/thumbrover/examples
"$root$prefix/bin/thumbroverctl" replay --help | grep -qx "  $examples/\*.scenario" ||
    fail "replay --help does not name the installed examples: $("$root$prefix/bin/thumbroverctl" replay --help | tail -n2)"
[[ $("$root$prefix/bin/thumbroverctl" replay "$examples/left_click_drags.scenario") == "0 ButtonDown 0 0 0 0"* ]] ||
    fail "the installed example does not replay"
said=$(env -u DISPLAY "$root$prefix/bin/thumbroverctl" demo 2>&1)
[[ $said == *"xvfb-run"* && $said != *"make run"* ]] || fail "without a display, the installed demo says: $said"
said=$(env -u DISPLAY "$bin/thumbroverctl" demo 2>&1)
[[ $said == *"make run"* ]] || fail "without a display, the built demo says: $said"

touch "$root$prefix/bin/not-ours"
DESTDIR=$root "$src/scripts/uninstall" "$bin" >"$tmp/log" 2>&1 || fail "uninstall failed: $(tail -n3 "$tmp/log")"
left=$(find "$root" -type f ! -name not-ours)
[[ -z $left ]] || fail "uninstall left: $left"
[[ -e $root$prefix/bin/not-ours ]] || fail "uninstall removed a file it had not installed"
[[ ! -e $root$prefix/share/gnome-shell/extensions/thumbrover@thumbrover.app ]] ||
    fail "uninstall left the GNOME Shell extension's folder, which GNOME would list"

# Without a build it refuses, and builds nothing.
mkdir "$tmp/empty"
if "$src/scripts/install" "$tmp/empty" >"$tmp/log" 2>&1; then
    fail "install without a build succeeded"
fi
grep -q '^thumbrover: .*run `make` first' "$tmp/log" || fail "install without a build said: $(cat "$tmp/log")"
[[ -z $(ls -A "$tmp/empty") ]] || fail "install without a build wrote into the folder"
exit $((failures > 0))
