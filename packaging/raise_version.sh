#!/usr/bin/env bash
# Raises the patch version of the tree TREE (its CMakeLists.txt, where the
# one version is) by one: the next release, as CI and the release
# rehearsals build it.
set -euo pipefail
perl -pi -e 's/^(project\(quorvast VERSION \d+\.\d+\.)(\d+)/$1 . ($2 + 1)/e' "${1:?usage: raise_version.sh TREE}/CMakeLists.txt"
