#!/usr/bin/env bash
# On a fresh Debian, `make run`, `make test` and `make package` find every command they run:
# each one comes from a package scripts/install-deps installs, from what those depend on, from
# Debian's base system or from the three packages the README has a newcomer install first. What
# `make run` runs comes from the packages of `scripts/install-deps run` alone.
#   install_deps_test.sh SOURCE_DIR BUILD_DIR
source "${0%/*}/common.sh"
command -v dpkg-query >/dev/null && command -v apt-cache >/dev/null || {
    echo "not a Debian system: nothing to check"
    exit 0
}

# What a minimal root (debootstrap --variant=minbase) has and what the README installs first.
declare -A base
while read -r name priority essential; do
    [[ $priority == required || $essential == yes ]] && base[$name]=1
done < <(dpkg-query -W -f='${Package} ${Priority} ${Essential}\n')
for p in make git ca-certificates; do base[$p]=1; done

# The first word of every command in a script or a Makefile recipe: at a line's start, after a
# pipe, `&&`, `||`, `;`, `(`, `$(`, a keyword or an environment assignment. Comments and quoted
# messages are left out well enough: a message's words seldom stand where a command does.
command_words() {
    sed -e 's/^[[:space:]]*#.*//' -e 's/[[:space:]]#[^"'\'']*$//' "$@" |
        sed -e 's/^\t@\?//' -e 's/\$(/\n/g' -e 's/&&\|||\|[|;({`]/\n/g' |
        sed -E -e 's/^[[:space:]!]*//' \
            -e 's/^((then|do|else|elif|if|while|until|exec|time|command|xargs)[[:space:]]+)+//' \
            -e 's/^([A-Za-z_][A-Za-z0-9_]*=[^[:space:]]*([[:space:]]+|$))+//' \
            -e 's/^"\$\{sudo\[@\]\}"[[:space:]]*//' |
        grep -oE '^[A-Za-z][A-Za-z0-9.+_-]*' | sort -u
}

# check SCOPE SCRIPT...: every program the scripts run comes from the base, the packages of
# `scripts/install-deps SCOPE` or what they bring along.
check() {
    local scope=$1 script word path real owner
    shift
    local -a listed
    mapfile -t listed < <("$src/scripts/install-deps" "$scope" --list)
    [[ ${#listed[@]} -gt 10 ]] || fail "scripts/install-deps $scope --list printed ${#listed[@]} packages"
    local -A allowed
    for p in "${!base[@]}"; do allowed[$p]=1; done
    while read -r name; do
        allowed[${name%%:*}]=1
    done < <(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
        --no-replaces --no-enhances "${listed[@]}" 2>/dev/null | grep -v '^[[:space:]<]')

    # Run on our behalf: CMake's build by Ninja, and CPack's Debian generator, which finds the
    # binaries with `file` and their library packages with dpkg-shlibdeps.
    local -A users=([ninja]="cmake --build")
    [[ $scope == run ]] || users+=([file]="make package" [dpkg-shlibdeps]="make package")
    for script in "$@"; do
        for word in $(command_words "$script"); do
            users[$word]=${users[$word]:-${script#"$src"/}}
        done
    done

    # Each program by its paths: as found, resolved through links and alternatives, and with or
    # without /usr, since a merged /usr makes /bin the same folder as /usr/bin.
    local -A candidates
    for word in "${!users[@]}"; do
        # Builtins, keywords and functions are no programs; sudo is only for those not root.
        [[ $(type -t "$word") == file && $word != sudo ]] || continue
        path=$(type -P "$word")
        real=$(realpath "$path")
        candidates[$word]="$path $real ${path#/usr} ${real#/usr} /usr${path#/usr} /usr${real#/usr}"
    done
    local -A owner_of
    while IFS= read -r line; do
        owner_of[${line#*: }]=${line%%: *}
    done < <(dpkg-query -S $(printf '%s\n' ${candidates[@]} | sort -u) 2>/dev/null)
    for word in "${!candidates[@]}"; do
        owner=
        for path in ${candidates[$word]}; do
            owner=${owner_of[$path]:-}
            [[ -n $owner ]] && break
        done
        if [[ -z $owner ]]; then
            fail "$word (${users[$word]}) is at $(type -P "$word"), which no Debian package installs"
            continue
        fi
        owner=${owner%%,*}
        owner=${owner%%:*}
        [[ -n ${allowed[$owner]:-} ]] ||
            fail "$word (${users[$word]}) comes from $owner, which scripts/install-deps $scope does not install"
    done
}

check all "$src/Makefile" "$src"/scripts/{install-deps,build,run,test,with-virtual-display,test-package,install,uninstall,bench,screenshots,vm-test,grant-uinput} "$src"/tests/scripts/*.sh
# (scripts/install-deps runs only what Debian's base has, and names packages where commands stand.)
check run "$src"/scripts/{build,run,with-virtual-display,grant-uinput}
exit $((failures > 0))
