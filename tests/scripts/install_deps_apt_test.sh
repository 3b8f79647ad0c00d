#!/usr/bin/env bash
# scripts/install-deps around apt and sudo, with stand-ins for both (and for `id` and dpkg-query)
# on a PATH of their own, so that nothing is installed and the real sudo never runs: one line says
# how many packages are installed and what for; a user who cannot install is told what to ask an
# administrator for, and apt is never started.
#   install_deps_apt_test.sh SOURCE_DIR BUILD_DIR
source "${0%/*}/common.sh"
bin=$tmp/bin
mkdir "$bin"
for tool in bash sh env grep sed mktemp rm sleep tail cat dirname uname; do
    ln -s "$(type -P "$tool")" "$bin/$tool"
done
stand_in() { printf '#!/bin/sh\n%s\n' "$2" >"$bin/$1" && chmod +x "$bin/$1"; }
stand_in dpkg-query 'exit 1'
stand_in id 'echo "$FAKE_UID"'
stand_in apt-get 'echo "apt-get $*" >>"$CALLS"
case $1 in
update) echo "Get:1 http://deb.debian.org/debian bookworm InRelease" ;;
install)
    [ -z "$APT_FAILS" ] || { echo "E: Unable to locate package $APT_FAILS"; exit 100; }
    echo "0 upgraded, 2 newly installed, 0 to remove and 0 not upgraded."
    echo "Get:1 http://deb.debian.org/debian bookworm/main amd64 cmake"
    echo "Setting up cmake" ;;
esac'
passwordless='echo "sudo $*" >>"$CALLS"; [ "$1 $2" = "-n true" ] && exit 0; exec "$@"'
with_password='echo "sudo $*" >>"$CALLS"; exit 1'

# Every package counts as missing here (dpkg-query knows none), so each scope installs its list.
all_count=$(PATH=$bin "$src/scripts/install-deps" all --list | sort -u | wc -l)
run_count=$(PATH=$bin "$src/scripts/install-deps" run --list | sort -u | wc -l)
((run_count > 20 && all_count > run_count)) || fail "the lists hold $run_count and $all_count packages"

# uid | sudo stand-in | scope | apt fails on | status | apt runs | what standard output or error holds
cases=(
    "0||all||0|yes|Installing $all_count Debian packages with apt-get (a few minutes): compilers, Qt 6, SDL2 and X11 to build and run Thumbrover; GoogleTest, qemu, sway and lintian for its tests"
    "0||run||0|yes|Installing $run_count Debian packages with apt-get (a few minutes): compilers, Qt 6, SDL2 and X11 to build and run Thumbrover"
    "1000||all||1|no|installing packages needs root, and sudo is not installed; ask an administrator to run:"
    "1000|$with_password|all||1|no|sudo needs a password that only a terminal can give; ask an administrator"
    "1000|$passwordless|run||0|yes|Installing $run_count Debian packages"
    "0||all|sway|1|yes|E: Unable to locate package sway"
)
for row in "${cases[@]}"; do
    IFS='|' read -r uid sudo scope fails want_status want_apt said <<<"$row"
    rm -f "$bin/sudo" "$tmp/calls"
    [[ -z $sudo ]] || stand_in sudo "$sudo"
    status=0
    FAKE_UID=$uid CALLS=$tmp/calls APT_FAILS=$fails PATH=$bin \
        "$src/scripts/install-deps" "$scope" </dev/null >"$tmp/out" 2>"$tmp/err" || status=$?
    case_name="uid $uid, ${sudo:+a sudo, }$scope"
    [[ $status == "$want_status" ]] || fail "$case_name: status $status: $(cat "$tmp/err")"
    grep -qF -- "$said" "$tmp/out" "$tmp/err" || fail "$case_name: nothing says \"$said\": $(cat "$tmp/out" "$tmp/err")"
    ran=no
    grep -q '^apt-get install ' "$tmp/calls" 2>/dev/null && ran=yes
    [[ $ran == "$want_apt" ]] || fail "$case_name: apt-get install ran: $ran"
    # The announcement names what for, never the whole list; an administrator is given the list.
    announced=$(grep '^Installing' "$tmp/out")
    [[ ${#announced} -lt 250 ]] || fail "$case_name: the announcement is ${#announced} characters long"
    if [[ $want_status == 1 && $want_apt == no ]]; then
        grep -q "apt-get install --no-install-recommends .*qt6-base-dev" "$tmp/err" ||
            fail "$case_name: the packages to ask for are not named: $(cat "$tmp/err")"
    fi
done

# Only `make test` brings the test machine, GoogleTest and the package checks.
run_list=" $(PATH=$bin "$src/scripts/install-deps" run --list | tr '\n' ' ')"
for p in qemu-system-x86 sway lintian googletest libbenchmark-dev; do
    [[ $run_list == *" $p "* ]] && fail "scripts/install-deps run installs $p"
done
[[ $run_list == *" qt6-base-dev "* && $run_list == *" xvfb "* ]] || fail "the run list lacks Qt or Xvfb: $run_list"
exit $((failures > 0))
