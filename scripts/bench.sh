#!/usr/bin/env bash
# Runs every benchmark program of a build folder.
set -euo pipefail
build=${1:-build/default}
status=0
for b in "$build"/bench/*/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b") =="
  "$b" --benchmark_counters_tabular=true || status=1
done
exit $status
