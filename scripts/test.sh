#!/usr/bin/env bash
# Builds and runs every check:
#   1. the normal build (preset "default") and every test;
#   2. the whole suite under AddressSanitizer + UndefinedBehaviorSanitizer
#      (preset "asan", LeakSanitizer included);
#   3. the tests labelled "concurrent" under ThreadSanitizer (preset "tsan");
#      only their programs are built when the tree offers the aggregate target
#      pellora_concurrent_tests;
#   4. every libFuzzer target for FUZZ_SECONDS seconds each (default 20).
# It stops at the first failing check, or, with PELLORA_KEEP_GOING=1, runs
# them all and fails at the end. PELLORA_CHECKS picks a subset of
# "default asan tsan fuzz".
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-$(nproc)}
checks=${PELLORA_CHECKS:-default asan tsan fuzz}
keep_going=${PELLORA_KEEP_GOING:-0}
fuzz_seconds=${FUZZ_SECONDS:-20}
# The GUI tests run on Qt's offscreen platform; no display is needed.
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

started=$SECONDS
failed=()
report=()
tests_passed=0
tests_failed=0
ctest_log=$(mktemp)
trap 'rm -f "$ctest_log"' EXIT

has_target() {  # has_target <build dir> <target>
  cmake --build "$1" --target help 2>/dev/null | grep -q "^$2:"
}

# Runs in a "||" context, where set -e does not apply: every step returns
# its own failure.
run_preset() {
  local preset=$1
  echo "== $preset: configure and build =="
  cmake --preset "$preset" >/dev/null || return
  if [ "$preset" = tsan ] && has_target build/tsan pellora_concurrent_tests; then
    cmake --build --preset "$preset" -j "$jobs" --target pellora_concurrent_tests || return
  else
    cmake --build --preset "$preset" -j "$jobs" || return
  fi
  echo "== $preset: tests =="
  local status=0
  ctest --preset "$preset" 2>&1 | tee "$ctest_log" || status=$?
  # "100% tests passed, 0 tests failed out of 244", added up over the stages.
  local counts
  counts=$(sed -n 's/.*tests passed, \([0-9]*\) tests\{0,1\} failed out of \([0-9]*\).*/\1 \2/p' "$ctest_log" | tail -n 1)
  if [ -n "$counts" ]; then
    set -- $counts
    tests_failed=$(( tests_failed + $1 ))
    tests_passed=$(( tests_passed + $2 - $1 ))
  fi
  return "$status"
}

run_check() {
  case $1 in
    default|asan|tsan) run_preset "$1" ;;
    fuzz) bash scripts/fuzz.sh "$fuzz_seconds" ;;
    *) echo "test.sh: unknown check '$1'" >&2; return 2 ;;
  esac
}

for check in $checks; do
  t0=$SECONDS
  status=0
  run_check "$check" || status=$?
  result=passed
  if [ "$status" -ne 0 ]; then
    result="FAILED ($status)"
    failed+=("$check")
  fi
  report+=("$(printf '%-8s %-12s %5d s' "$check" "$result" $(( SECONDS - t0 )))")
  echo "== $check: $result in $(( SECONDS - t0 )) s =="
  if [ "$status" -ne 0 ] && [ "$keep_going" != 1 ]; then break; fi
done

echo "== summary =="
printf '%s\n' "${report[@]}"
echo "total    $(( SECONDS - started )) s"
if [ ${#failed[@]} -ne 0 ]; then
  echo "failed: ${failed[*]}"
  echo "tests: $tests_passed passed, $tests_failed failed"
  exit 1
fi
echo "all checks passed"
echo "tests: $tests_passed passed, $tests_failed failed"
