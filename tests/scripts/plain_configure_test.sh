#!/usr/bin/env bash
# A packager's plain configure (`cmake -B b -DCMAKE_BUILD_TYPE=Release`) does not turn warnings
# into errors, so a newer compiler's new warning cannot break a distribution's build; the
# presets, which developers and CI use, do.  plain_configure_test.sh SOURCE_DIR BUILD_DIR
source "${0%/*}/common.sh"
if ! cmake -S "$src" -B "$tmp/plain" -G Ninja -DCMAKE_BUILD_TYPE=Release >"$tmp/log" 2>&1; then
    fail "plain configure failed: $(tail -n5 "$tmp/log")"
else
    grep -q -- '-Werror' "$tmp/plain/build.ninja" && fail "a plain configure compiles with -Werror"
    grep -q -- '-Wconversion' "$tmp/plain/build.ninja" || fail "a plain configure lost the warnings"
fi
# The preset's own configure, in a folder of the test's: the folder the tests run from may have been
# configured some other way.
if ! (cd "$src" && cmake --preset default -B "$tmp/preset" >"$tmp/log" 2>&1); then
    fail "the preset's configure failed: $(tail -n5 "$tmp/log")"
else
    grep -q -- '-Werror' "$tmp/preset/build.ninja" || fail "the preset's build does not compile with -Werror"
fi
exit $((failures > 0))
