#!/usr/bin/env bash
# The README's quick start on a fresh machine: a minimal Debian root
# (debootstrap --variant=minbase, make added) with a clone of this commit,
# where, as root in a chroot, `make test` must install what it needs and
# pass, and `make run` must show the Vesta report. Run as root; the root
# file system is kept in ROOTS/SUITE for the next run.
#
# usage: fresh_machine.sh SUITE [ROOTS]   (SUITE: bookworm for Debian 12, trixie for 13)
set -euo pipefail
suite=$1 root=$(realpath -m "${2:-/var/tmp/quorvast-roots}/$1")
source=$(git -C "$(dirname "$0")/.." rev-parse --show-toplevel)
# In a mount namespace of its own, so that nothing mounted here touches the host.
[ -x "$root/usr/bin/make" ] || unshare --mount debootstrap --variant=minbase --include=make,ca-certificates \
  "$suite" "$root" http://deb.debian.org/debian >/dev/null
rm -rf "$root/root/quorvast" && git clone -q "$source" "$root/root/quorvast"
cp /etc/resolv.conf "$root/etc/resolv.conf"
unshare --mount --propagation private bash -c '
  mount -t proc proc "$1/proc" && mount --rbind /dev "$1/dev" && mount --rbind /sys "$1/sys" &&
  chroot "$1" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root bash -c "cd /root/quorvast &&
    make test && printf \"Vesta\n10\nq\n\" | make run | grep -q \"(meter): 34315\""' _ "$root"
echo "the quick start works on a fresh Debian $(cat "$root/etc/debian_version")"
