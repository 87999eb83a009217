#!/usr/bin/env bash
# Runs each libFuzzer target for a bounded time from the committed seeds and
# fails on the first crash or broken property (the fuzzer's exit status).
#
# usage: run_fuzzers.sh BUILD_DIR SECONDS
set -u
build=$1 seconds=$2
here=$(cd "$(dirname "$0")" && pwd)
status=0
for target in number_reader dialogue; do
  corpus="$build/corpus-$target"
  mkdir -p "$corpus"
  log="$build/$target.log"
  "$build/tests/fuzz/${target}_fuzz" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
    -artifact_prefix="$build/$target-" "$corpus" "$here/seeds/$target" >"$log" 2>&1
  result=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  echo "fuzz $target: exit status $result after ${runs:-?} runs in ${seconds}s"
  if [ $result != 0 ]; then
    grep -E 'property broken|ERROR|SUMMARY|artifact' "$log" | head -n 20
    status=1
  fi
done
exit $status
