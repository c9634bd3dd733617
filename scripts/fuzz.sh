#!/usr/bin/env bash
# Builds the libFuzzer targets (preset "fuzz") and runs each one for a given
# number of seconds, starting from its seed corpus in fuzz/corpus/<target>/.
#
#   scripts/fuzz.sh [seconds per target, default 60] [target ...]
#
# New inputs go to build/fuzz/corpus/<target>/ (the checked-in seeds are only
# read); a crashing input is saved as build/fuzz/artifacts/<target>/crash-*.
# Prints the executions per target and exits non-zero when any target failed.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
jobs=${JOBS:-$(nproc)}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs" --target pellora_fuzzers

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  read -r -a targets < build/fuzz/fuzz/fuzz_targets.txt
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

status=0
summary=()
for t in "${targets[@]}"; do
  bin=build/fuzz/fuzz/$t
  seeds=fuzz/corpus/$t
  work=build/fuzz/corpus/$t
  artifacts=build/fuzz/artifacts/$t
  mkdir -p "$work" "$artifacts" "$seeds"
  log=build/fuzz/$t.log
  echo "== $t: ${seconds} s =="
  # Each input must finish within 10 s and 2 GB; a slower one counts as a
  # failure just like a crash.
  if "$bin" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$artifacts/" \
      "$work" "$seeds" >"$log" 2>&1; then
    result=ok
  else
    result=FAILED
    status=1
    tail -n 60 "$log"
  fi
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  summary+=("$(printf '%-24s %-7s %12s executions' "$t" "$result" "${execs:-?}")")
done

echo "== fuzz summary (${seconds} s per target) =="
printf '%s\n' "${summary[@]}"
exit $status
