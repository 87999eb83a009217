#!/usr/bin/env bash
# Prints the environment a release is built in, in the spirit of Debian's
# .buildinfo: the Debian release, the architecture, and the exact version
# of every installed package that builds or shapes the release's files:
# those the make targets of a release install (setup/packages, the cross
# compilers of platforms.conf) and, two levels down, what they depend on
# (the compilers behind g++, binutils, the C and C++ libraries, node and
# LLVM behind emscripten...). make dist ships it as
# quorvast-VERSION.buildinfo, in SHA256SUMS and so signed; make
# rebuild-check rebuilds in a fresh root of that Debian suite with those
# versions where the machine's own differ, and compares the records, so
# that a file built with other tools is never taken for a tampered one.
#
# usage: build_record.sh VERSION
set -euo pipefail
cd "$(dirname "$0")/.."
source packaging/platforms.sh

# What building a release installs: signing is left out, since a rebuild
# compares files with their signatures removed.
roots() {
  for purpose in build windows windows-installer web package dist; do sed -n "s/^$purpose://p" setup/packages; done |
    tr ' ' '\n'
  platform_rows | cut -f8 | grep -vx -- -
  printf '%s\n' dpkg tar gzip xz-utils coreutils
}
depends() {  # depends PACKAGE...: the packages they name in Depends and Pre-Depends
  dpkg-query -W -f='${Depends}, ${Pre-Depends}\n' "$@" 2>/dev/null | tr ',|' '\n\n' |
    sed -E 's/\(.*//; s/:any//; s/ //g' | grep -v '^$' || true
}
installed() {  # installed PACKAGE...: "name version" of those installed, sorted
  dpkg-query -W -f='${db:Status-Abbrev} ${Package} ${Version}\n' "$@" 2>/dev/null | awk '$1 == "ii" { print $2, $3 }' |
    LC_ALL=C sort -u
}

mapfile -t first < <(roots | grep -v '^$' | sort -u)
mapfile -t second < <(depends "${first[@]}" | sort -u)
mapfile -t third < <(depends "${second[@]}" | sort -u)
echo "Source: quorvast ${1:?usage: build_record.sh VERSION}"
echo "Distribution: $(. /etc/os-release && echo "$NAME") $(cat /etc/debian_version 2>/dev/null || echo unknown)"
echo "Suite: $(. /etc/os-release && echo "${VERSION_CODENAME:-unknown}")"
echo "Architecture: $(dpkg --print-architecture)"
echo "Packages:"
installed "${first[@]}" "${second[@]}" "${third[@]}" | sed 's/^/ /'
