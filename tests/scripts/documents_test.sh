#!/usr/bin/env bash
# The documents made from the sources: the changelog converter accepts only a well-formed
# CHANGELOG.md whose newest release is this version; the built manual pages, Debian changelog and
# AppStream metadata pass their own tools and agree with the programs and the desktop entry.
#   documents_test.sh SOURCE_DIR BUILD_DIR
source "${0%/*}/common.sh"
convert=$src/packaging/changelog

version=$("$bin/thumbroverctl" --version | cut -d' ' -f2)
maintainer="A Maintainer <a@example.org>"
good=$'# Changelog\n\nIntro.\n\n## 0.2.0 - 2027-02-28\n\nSaid `first` & <second>.\n\n- one item that is long enough to need wrapping in the Debian changelog, which keeps lines\n  within eighty columns\n- two\n\n## 0.1.0 - 2026-12-07\n\n- first\n'

# CHANGELOG text | format | status | pattern in standard error
cases=(
    "$good|debian|0|"
    "$good|appstream|0|"
    "${good/0.2.0/0.3.0}|debian|1|^thumbrover: .*: the newest release is 0.3.0, but this is version 0.2.0$"
    "${good/0.2.0 - 2027-02-28/0.2.0 (2027-02-28)}|appstream|1|:5: a release heading is"
    "${good/2027-02-28/2027-02-30}|debian|1|release 0.2.0 has no valid date"
    $'## 0.2.0 - 2027-02-28\n\n## 0.1.0 - 2026-12-07\n- first\n|debian|1|release 0.2.0 says nothing'
    $'# Changelog\n\nNothing yet.\n|appstream|1|no release heading'
    $'## 0.2.0 - 2027-02-28\n\n  stray\n|debian|1|:3: an indented line continues nothing'
    $'## 0.2.0 - 2027-02-28\n### Added\n- x\n|debian|1|:2: only "## VERSION - DATE" headings'
)
for case in "${cases[@]}"; do
    IFS='|' read -r -d '' text format status pattern <<<"$case"
    pattern=${pattern%$'\n'}
    printf '%s' "$text" >"$tmp/CHANGELOG.md"
    "$convert" "$format" "$tmp/CHANGELOG.md" 0.2.0 "$maintainer" >"$tmp/out" 2>"$tmp/err"
    got=$?
    [[ $got -eq $status ]] || fail "$format of '${text:0:40}...': status $got, expected $status"
    [[ -z $pattern ]] || grep -Eq -- "$pattern" "$tmp/err" || fail "$format said: $(cat "$tmp/err")"
done

printf '%s' "$good" >"$tmp/CHANGELOG.md"
"$convert" debian "$tmp/CHANGELOG.md" 0.2.0 "$maintainer" >"$tmp/changelog"
[[ $(dpkg-parsechangelog -l "$tmp/changelog" -S Version) == 0.2.0 &&
    $(dpkg-parsechangelog -l "$tmp/changelog" --offset 1 --count 1 -S Version) == 0.1.0 ]] ||
    fail "dpkg reads other versions from: $(cat "$tmp/changelog")"
[[ $(dpkg-parsechangelog -l "$tmp/changelog" -S Date) == "Sun, 28 Feb 2027 00:00:00 +0000" ]] ||
    fail "the release date is not the entry's date"
awk 'length > 80 { exit 1 }' "$tmp/changelog" || fail "a Debian changelog line is longer than 80"
grep -qx '  \* Said first & <second>.' "$tmp/changelog" || fail "a paragraph is not an entry as written"
"$convert" appstream "$tmp/CHANGELOG.md" 0.2.0 >"$tmp/releases"
grep -q '<p>Said first &amp; &lt;second&gt;.</p>' "$tmp/releases" || fail "the release notes are not escaped"
[[ $(grep -c '<li>' "$tmp/releases") -eq 3 ]] || fail "the list items are not kept: $(cat "$tmp/releases")"

# What the build made.
docs=$bin/packaging
zcat "$docs/changelog.gz" >"$tmp/built-changelog"
[[ $(dpkg-parsechangelog -l "$tmp/built-changelog" -S Version) == "$version" ]] ||
    fail "the package's changelog does not begin with version $version"
for program in thumbrover thumbroverctl; do
    page=$docs/$program.1.gz
    warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [[ -z $warnings ]] || fail "$program(1) has warnings: $warnings"
    for section in NAME SYNOPSIS DESCRIPTION OPTIONS 'EXIT STATUS' FILES 'SEE ALSO'; do
        zgrep -q "^\.SH \"\?$section\"\?$" "$page" || fail "$program(1) has no $section section"
    done
done
metainfo=$docs/app.thumbrover.Thumbrover.metainfo.xml
appstreamcli validate --no-net --strict "$metainfo" >"$tmp/log" 2>&1 ||
    fail "AppStream findings: $(cat "$tmp/log")"
id=$(sed -n 's:.*<id>\(.*\)</id>.*:\1:p' "$metainfo")
[[ -f $src/packaging/$id.desktop ]] || fail "no desktop entry is named after the component id $id"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
    fail "the launchable is not the desktop entry $id.desktop"
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metadata lacks release $version"
for binary in $(sed -n 's:.*<binary>\(.*\)</binary>.*:\1:p' "$metainfo"); do
    [[ -x $bin/$binary ]] || fail "the metadata names a program that is not built: $binary"
done
for image in $(sed -n 's:.*<image>.*/\(.*\)</image>.*:\1:p' "$metainfo"); do
    [[ -f $src/docs/screenshots/$image ]] || fail "the screenshot $image is not in docs/screenshots"
done
exit $((failures > 0))
