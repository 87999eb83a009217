# The commit a release is built from, its time and its files, for the
# scripts that build one (sourced, not run). In a git clone they come from
# git; in an unpacked source tarball, which has no .git, from the two files
# the tarball carries: .release-source (its commit and source date, shell
# words) and .release-files (its files' SHA-256 sums, sha256sum's format).
# Anyone can then rebuild a release from the tarball alone.

# source_kind TOP: "tarball" or "git"; fails where TOP is neither.
source_kind() {
  if [ -f "$1/.release-source" ]; then
    echo tarball
  elif [ "$(git -C "$1" rev-parse --show-toplevel 2>/dev/null)" = "$(cd "$1" && pwd -P)" ]; then
    echo git
  else
    echo "$1 is neither a git clone nor an unpacked source tarball (no .release-source)" >&2
    return 1
  fi
}

# source_fact TOP commit|source_date
source_fact() {
  if [ "$(source_kind "$1")" = tarball ]; then
    (set -eu; source "$1/.release-source"; eval "echo \"\$$2\"")
  elif [ "$2" = commit ]; then
    git -C "$1" rev-parse HEAD
  else
    git -C "$1" log -1 --format=%ct
  fi
}

# source_files TOP: the release's files, one a line, in a fixed order.
source_files() {
  if [ "$(source_kind "$1")" = tarball ]; then
    sed 's/^[0-9a-f]*  //' "$1/.release-files"
  else
    git -C "$1" ls-files | LC_ALL=C sort
  fi
}

# source_changes TOP: what differs from the commit, one line a change.
source_changes() {
  if [ "$(source_kind "$1")" = tarball ]; then
    (cd "$1" && sha256sum --quiet -c .release-files 2>/dev/null) || true
  else
    git -C "$1" status --porcelain
  fi
}
