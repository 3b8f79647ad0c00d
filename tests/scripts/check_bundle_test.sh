#!/usr/bin/env bash
# scripts/check-bundle against a made-up bundle, with stand-ins for the Xcode tools that answer
# from a table: a bundle that is right passes, and each kind of fault fails with its own line.
#   check_bundle_test.sh SOURCE_DIR BUILD_DIR
source "${0%/*}/common.sh"
mkdir -p "$tmp/bin" "$tmp/App.app/Contents/MacOS" "$tmp/App.app/Contents/Frameworks"
# Each file's table line: "archs|minos per arch", e.g. "arm64 x86_64|13.3 12.0".
cat >"$tmp/bin/file" <<'TOOL'
#!/usr/bin/env bash
if grep -q '^macho' "$2"; then echo "Mach-O universal binary"; else echo "ASCII text"; fi
TOOL
cat >"$tmp/bin/lipo" <<'TOOL'
#!/usr/bin/env bash
sed -n 's/^macho \([^|]*\)|.*/\1/p' "$2"
TOOL
cat >"$tmp/bin/otool" <<'TOOL'
#!/usr/bin/env bash
arch=$2 path=$4
read -r -a archs <<<"$(sed -n 's/^macho \([^|]*\)|.*/\1/p' "$path")"
read -r -a minos <<<"$(sed -n 's/^macho [^|]*|\(.*\)/\1/p' "$path")"
for i in "${!archs[@]}"; do
    [[ ${archs[i]} == "$arch" ]] || continue
    [[ ${minos[i]} == none ]] && { echo "      cmd LC_SEGMENT_64"; exit 0; }
    printf '      cmd LC_SEGMENT_64\n      cmd LC_BUILD_VERSION\n  cmdsize 32\n platform 1\n    minos %s\n      sdk 14.2\n' "${minos[i]}"
done
TOOL
cat >"$tmp/bin/plutil" <<'TOOL'
#!/usr/bin/env bash
if [[ $1 == -replace ]]; then echo "$4" >"${@: -1}"; else cat "${@: -1}"; fi
TOOL
chmod +x "$tmp/bin/"*

check() {  # expected status, expected text in the output, then the files' table lines
    local status=$1 expected=$2 out
    echo "13.3" >"$tmp/App.app/Contents/Info.plist"
    echo "macho $3" >"$tmp/App.app/Contents/MacOS/App"
    echo "macho $4" >"$tmp/App.app/Contents/Frameworks/QtCore"
    echo "not code" >"$tmp/App.app/Contents/Frameworks/README"
    [[ -n ${5:-} ]] && echo "$5" >"$tmp/App.app/Contents/Info.plist"
    out=$(PATH="$tmp/bin:$PATH" bash "$src/scripts/check-bundle" ${raise:+--raise-minimum} \
        "$tmp/App.app" 13.3 arm64 x86_64 2>&1)
    [[ $? -eq $status ]] || fail "status for '$3' '$4' ${5:-}: $out"
    [[ $out == *"$expected"* ]] || fail "'$expected' not in: $out"
}

check 0 "checked 2 Mach-O files" "arm64 x86_64|13.3 13.3" "x86_64 arm64|12.0 11.0.1"
check 1 "Frameworks/QtCore has no x86_64 code (only: arm64)" "arm64 x86_64|13.3 13.3" "arm64|12.0"
check 1 "MacOS/App (x86_64) needs macOS 14.0, newer than the bundle's 13.3" \
    "arm64 x86_64|13.3 14.0" "arm64 x86_64|12.0 12.0"
check 1 "Frameworks/QtCore (arm64) needs macOS 13.10" "arm64 x86_64|13.3 13.3" "arm64 x86_64|13.10 12.0"
check 1 "does not say which macOS it needs" "arm64 x86_64|13.3 none" "arm64 x86_64|12.0 12.0"
check 1 "declares macOS 14.0 as its minimum" "arm64 x86_64|13.3 13.3" "arm64 x86_64|12.0 12.0" 14.0
# `make bundle`: Homebrew's Qt may need a newer macOS; the bundle then declares what it needs.
raise=1
check 0 "Frameworks/QtCore needs macOS 14.2, newer than 13.3: $tmp/App.app now declares macOS 14.2" \
    "arm64 x86_64|13.3 13.3" "arm64 x86_64|14.2 14.0"
[[ $(cat "$tmp/App.app/Contents/Info.plist") == 14.2 ]] || fail "the Info.plist was not raised"
check 0 "each has arm64 x86_64 code and needs at most macOS 13.3" \
    "arm64 x86_64|13.3 13.3" "arm64 x86_64|12.0 12.0"
check 1 "Frameworks/QtCore has no x86_64 code" "arm64 x86_64|13.3 13.3" "arm64|14.0"
exit $((failures > 0))
