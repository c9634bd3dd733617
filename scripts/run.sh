#!/usr/bin/env bash
# Starts the program from a build folder.
set -euo pipefail
build=${1:-build/default}
if [ ! -x "$build/app/pellora" ]; then
  echo "run: the window program is not built yet ($build/app/pellora is missing)"
  exit 0
fi
exec "$build/app/pellora"
