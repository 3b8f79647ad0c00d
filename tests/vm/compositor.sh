#!/bin/sh
# Inside the virtual machine: sway headless reading input devices through libinput, as on a
# Wayland desktop, with the compositor tier's test program as an ordinary user.
# tests/vm/compositor.sh TEST_PROGRAM...   (one after the other, under the same compositor)
set -eu
user=nobody
group=nogroup

# libinput finds devices through udev.
/lib/systemd/systemd-udevd --daemon >/dev/null 2>&1
udevadm trigger --action=add
udevadm settle

runtime=/tmp/runtime
mkdir -p -m 700 "$runtime" /tmp/home
chown "$user:$group" "$runtime" /tmp/home
# What the package's udev rule gives the user at the seat.
chown "$user" /dev/uinput

seatd -u "$user" -g "$group" -l error &
while [ ! -S /run/seatd.sock ]; do sleep 0.05; done

cat >/tmp/sway.conf <<CONF
default_border none
focus_follows_mouse no
xwayland disable
CONF
as_user() {
    setpriv --reuid="$user" --regid="$group" --clear-groups \
        env HOME=/tmp/home XDG_RUNTIME_DIR="$runtime" LIBSEAT_BACKEND=seatd "$@"
}
WLR_BACKENDS=headless,libinput WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
    as_user sway -c /tmp/sway.conf >/tmp/sway.log 2>&1 &
sway=$!
tries=0
while ! ls "$runtime"/sway-ipc.*.sock >/dev/null 2>&1 || [ ! -S "$runtime/wayland-1" ]; do
    tries=$((tries + 1))
    if [ $tries -gt 600 ] || ! kill -0 $sway 2>/dev/null; then
        echo "thumbrover: sway did not start:" >&2
        cat /tmp/sway.log >&2
        exit 1
    fi
    sleep 0.05
done
# A clone in a home folder (mode 0700, as Debian makes them) is closed to $user. This machine's
# view of each folder on the way that is closed gets opened instead: a tmpfs takes the folder's
# place and holds only the way on, bound from the folder itself, which stays as it is.
opened=" "
open_way() {
    walked=
    old_ifs=$IFS
    IFS=/
    set -f
    for part in ${1#/}; do
        next="$walked/$part"
        case "$opened" in
        *" $walked "*)
            [ -e "$next" ] || { mkdir "$next" && mount --bind "/tmp/closed$next" "$next"; } ;;
        esac
        if [ -d "$next" ] && ! as_user test -x "$next"; then
            mkdir -p "/tmp/closed$next"
            mount --bind "$next" "/tmp/closed$next"
            mount -t tmpfs -o mode=755 tmpfs "$next"
            opened="$opened$next "
        fi
        walked=$next
    done
    set +f
    IFS=$old_ifs
}
for program in "$@"; do open_way "$(dirname "$(realpath "$program")")"; done

status=0
for program in "$@"; do
    if ! as_user test -x "$program"; then
        echo "thumbrover: $user cannot run $program (it is closed to others)" >&2
        status=1
        continue
    fi
    # The program's windows have no Wayland platform plugin to draw with; they draw off screen.
    # A benchmark runs as root, which may read the program's device nodes to count its ticks.
    case "$(basename "$program")" in
    bench_*) run=env ;;
    *) run=as_user ;;
    esac
    $run HOME=/tmp/home XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY=wayland-1 \
        SWAYSOCK="$(ls "$runtime"/sway-ipc.*.sock)" QT_QPA_PLATFORM=offscreen GTEST_BRIEF=1 GTEST_COLOR=no \
        "$program" || status=$?
done
[ $status -eq 0 ] || { echo "--- sway's log:" >&2; tail -n 30 /tmp/sway.log >&2; }
exit $status
