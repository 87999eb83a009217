# Fresh Debian roots, where a build or a check must not see the host's own
# packages: debootstrap's minimal system of one Debian release, with that
# release's updates and security archives, entered as root in a mount
# namespace of its own, so that nothing mounted there touches the host.
# Sourced by make rebuild-check and the fresh-machine checks; needs root.
#
# DEBIAN_MIRROR, the archive to take packages from, is deb.debian.org
# unless set, e.g. to a date of Debian's snapshot archive:
# https://snapshot.debian.org/archive/debian/20261201T000000Z/

debian_mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian/}

# debian_root SUITE ROOT: a minimal SUITE (bookworm, trixie...) in ROOT,
# with make; kept when ROOT holds one already.
debian_root() {
  local suite=$1 root=$2 mirror=${debian_mirror%/}/
  if [ ! -x "$2/usr/bin/make" ]; then
    echo "making a minimal Debian $suite in $root with debootstrap (about 40 MB from $mirror)" >&2
    unshare --mount debootstrap --variant=minbase --include=make,ca-certificates "$suite" "$root" "$mirror" >/dev/null ||
      { echo "debootstrap $suite failed" >&2; return 1; }
  fi
  [ -c /dev/null ] || { echo "debootstrap left /dev/null no character device" >&2; return 1; }
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  # The security archive sits beside the main one, also in the snapshot archive.
  printf 'deb %s %s main\n' "$mirror" "$suite" "$mirror" "$suite-updates" \
    "${mirror/\/debian\//\/debian-security\/}" "$suite-security" >"$root/etc/apt/sources.list"
}

# in_root ROOT COMMANDS: COMMANDS run by bash as root in ROOT, with /proc,
# /dev (with a /dev/shm of its own, so that nothing there is left on the
# host's) and /sys, a clean environment and no questions from Debian's tools.
# ROOT is bound onto itself first, so that its / is a mount point, as a
# machine's is, for the tools that make mount namespaces of their own there
# (debootstrap, for a rebuild in a root within the root).
in_root() {
  unshare --mount --propagation private bash -c '
    mount --bind "$1" "$1" && mount -t proc proc "$1/proc" && mount --rbind /dev "$1/dev" && mount -t tmpfs tmpfs "$1/dev/shm" &&
    mount --rbind /sys "$1/sys" &&
    chroot "$1" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root DEBIAN_FRONTEND=noninteractive bash -c "$2"' _ "$1" "$2"
}
