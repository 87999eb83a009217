#!/usr/bin/env bash
# Runs the program on one transcript's input and checks standard output byte
# for byte, standard error and the exit status against tests/transcripts.
#
# usage: run_transcript.sh TRANSCRIPTS_DIR CASE PROGRAM [ARG...]
# With QUORVAST_CRLF=1 the program is a Windows build: the expected output
# gets Windows line ends, and CASE.windows.out, where there is one, stands for
# CASE.out (typed "\r\n" reaches the program as "\n" there).
set -u
dir=$1 case=$2
shift 2

row=$(awk -F'\t' -v c="$case" '$1 == c' "$dir/cases.tsv")
[ -n "$row" ] || { echo "no case $case in $dir/cases.tsv"; exit 2; }
IFS=$'\t' read -r _ want_status output complaint <<<"$row"
# The message, line end included (Windows: "\r\n"); none for "-".
line_end='\n'
[ "${QUORVAST_CRLF:-0}" = 1 ] && line_end='\r\n'

# The expected output holds @VERSION@ and @CONTACT@ where the banner names the
# release and its contact address: both come from the release's facts.
source "$(dirname "$0")/../build/release.env"
export VERSION=$version CONTACT=$contact
fill_in='s/\@VERSION\@/$ENV{VERSION}/g; s/\@CONTACT\@/$ENV{CONTACT}/g'

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
input="$dir/$case.in"
# Every run is bounded: a hang is a failure, not a stuck test suite.
run() { timeout 20 "$@" <"$input" 2>"$work/err"; }
case $output in
  stdout) run "$@" >"$work/out"; status=$? ;;
  closed) run "$@" >&-; status=$? ;;
  full) run "$@" >/dev/full; status=$? ;;
  # A pipe whose reader is gone before the program starts: its first write
  # meets no reader, every time.
  reader-gone) run python3 -c 'import os, subprocess, sys
read_end, write_end = os.pipe()
os.close(read_end)
sys.exit(subprocess.run(sys.argv[1:], stdout=write_end).returncode % 256)' "$@"; status=$? ;;
  *) echo "unknown output mode $output"; exit 2 ;;
esac

fail=0
if [ "$status" != "$want_status" ]; then
  echo "exit status $status, expected $want_status"; fail=1
fi
# Two complaints are separated by "|": one line each.
IFS='|' read -r -a complaints <<<"$complaint"
if [ "$complaint" = "-" ]; then : >"$work/want_err"; else printf "quorvast: %s$line_end" "${complaints[@]}" >"$work/want_err"; fi
if ! cmp -s "$work/err" "$work/want_err"; then
  echo "standard error: $(od -c "$work/err"), expected $(od -c "$work/want_err")"; fail=1
fi
if [ "$output" = stdout ]; then
  if [ "${QUORVAST_CRLF:-0}" = 1 ]; then
    want="$dir/$case.out"
    [ -f "$dir/$case.windows.out" ] && want="$dir/$case.windows.out"
    perl -pe "$fill_in; s/\n/\r\n/g" "$want" >"$work/want"
  else
    perl -pe "$fill_in" "$dir/$case.out" >"$work/want"
  fi
  if ! cmp -s "$work/out" "$work/want"; then
    echo "standard output differs from $case.out:"
    diff <(od -c "$work/want") <(od -c "$work/out") | head -n 20
    fail=1
  fi
fi
exit $fail
