#!/usr/bin/env bash
# Builds and runs every test suite. Exits non-zero on the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

run_preset() {
  local preset=$1
  echo "== $preset build =="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "== $preset tests =="
  ctest --preset "$preset"
}

run_preset default
