#!/usr/bin/env bash
# Checks what users get: the committed icons, the static release binary,
# the install layout, the man page, and the Debian package (lintian,
# install, run, remove).
# Installs and removes the package system-wide: meant for CI, run as root.
# Builds in a copy of the tree in a folder of its own, so that dist/ and the
# tree's own builds and installs are left alone.
set -u
cd "$(dirname "$0")/.."
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
dist_before=$(ls -l --time-style=+%s dist 2>&1)
mkdir "$stage/tree"
git ls-files -z --cached --others --exclude-standard | tar --null -T - -cf - | tar -C "$stage/tree" -xf -
cd "$stage/tree"
passed=0 failed=0
check() {  # check NAME COMMAND...
  if "${@:2}" >/dev/null 2>&1; then passed=$((passed + 1)); else echo "FAILED: $1"; failed=$((failed + 1)); fi
}
prefix="$stage/pre fix"  # a space in PREFIX, as in a Windows-style folder name
check "the committed icons are what resources/make_icon.py draws" bash -c "mkdir '$stage/icons' &&
  python3 resources/make_icon.py '$stage/icons' && cd '$stage/icons' && for f in *; do cmp \"\$f\" '$stage/tree/resources/'\"\$f\" || exit 1; done"
make install PREFIX="$prefix" >/dev/null 2>&1
source build/release.env  # version, contact, homepage, ...
check "statically linked release binary" bash -c "file -L build/release/quorvast | grep -q 'statically linked'"
installed="bin/quorvast share/doc/quorvast/LICENSE share/doc/quorvast/README.md share/doc/quorvast/changelog.gz
share/doc/quorvast/doc/development.md share/doc/quorvast/doc/diameters.svg
share/doc/quorvast/resources/quorvast-32.png share/man/man1/quorvast.1.gz"
check "installs exactly: $installed" bash -c "[ \"\$(cd '$prefix' && find . -type f | sed 's|^./||' | sort | xargs)\" = '$(echo $installed)' ]"
check "the installed README's images are installed" bash -c "cd '$prefix/share/doc/quorvast' &&
  grep -o 'src=\"[^\"]*\"' README.md | cut -d'\"' -f2 | xargs ls"
check "changelog's top entry is version $version" bash -c "head -n 1 build/release/changelog | grep -qF 'quorvast ($version)'"
check "installed program runs" bash -c "printf 'Vesta\n10\nq\n' | '$prefix/bin/quorvast' | grep -q '(meter): 34315'"
# The footer names the release (.Os Quorvast X), which mandoc's lint always
# notes as a matter of style; nothing else may be said.
check "mandoc lint is silent at every level" bash -c "[ -z \"\$(mandoc -Tlint build/release/quorvast.1 2>&1 | grep -v 'STYLE: operating system explicitly specified: Os Quorvast')\" ]"
check "man's footer names the release" bash -c "LC_ALL=C man -l build/release/quorvast.1 | tail -n 1 | grep -q '^Quorvast $version .* Quorvast $version\$'"
check "man renders the page" bash -c "man -l '$prefix/share/man/man1/quorvast.1.gz' | grep -q 'EXIT STATUS'"
make clean >/dev/null && make uninstall PREFIX="$prefix" >/dev/null 2>&1
check "make uninstall, after make clean, removes every file and the doc folder" bash -c "[ -z \"\$(find '$prefix' -type f)\" ] && ! test -e '$prefix/share/doc/quorvast'"

make package >/dev/null 2>&1
deb=dist/quorvast_${version}_amd64.deb
check "package written" test -s "$deb"
check "lintian -I --pedantic reports nothing" bash -c "[ -z \"\$(lintian -I --pedantic '$deb' 2>/dev/null)\" ]"
check "package metadata" bash -c "dpkg-deb -f '$deb' Maintainer Section Homepage | tr '\n' ' ' |
  grep -qF 'Maintainer: Quorvast authors <$contact> Section: science Homepage: $homepage'"
if dpkg -s quorvast >/dev/null 2>&1; then  # somebody's own install: not for a check to replace
  echo "skipped: installing, running and removing the package, as a quorvast package is installed here"
else
check "package installs" dpkg -i "$deb"
check "installed package runs" bash -c "printf 'Vesta\n10\nq\n' | /usr/bin/quorvast | grep -q '(meter): 34315'"
check "man page found" man -w quorvast
check "package removes" dpkg -r quorvast
check "nothing left behind" bash -c "! test -e /usr/bin/quorvast && ! test -e /usr/share/doc/quorvast && ! test -e /usr/share/man/man1/quorvast.1.gz"
fi
cd - >/dev/null
check "dist/ as it was" test "$(ls -l --time-style=+%s dist 2>&1)" = "$dist_before"

echo "package checks: $passed passed, $failed failed"
[ "$failed" = 0 ]
