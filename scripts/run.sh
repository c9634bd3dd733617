#!/usr/bin/env bash
# `make run`: starts the demo lookup service in the background, opens the
# window pointed at it, and stops the service when the window closes.
# With PELLORA_LOOKUP_HOST set (host or host:port of a real lookup service),
# the window goes there and no demo service is started.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
app="$build/app/pellora"
demo="$build/demo/pellora-demo-service"

if [ ! -x "$app" ] || [ ! -x "$demo" ]; then
  echo "run: building the program and the demo service in $build"
  cmake --preset default >/dev/null
  cmake --build "$build" --target pellora pellora-demo-service
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "run: no display found (DISPLAY is not set); the window needs a desktop session or Xvfb"
fi

if [ -n "${PELLORA_LOOKUP_HOST:-}" ]; then
  echo "run: looking up numbers at $PELLORA_LOOKUP_HOST"
  exec "$app"
fi

log=$(mktemp)
"$demo" --port 0 >"$log" 2>&1 &
demo_pid=$!
trap 'kill "$demo_pid" 2>/dev/null || true; wait "$demo_pid" 2>/dev/null || true; rm -f "$log"' EXIT

port=""
for _ in $(seq 100); do
  port=$(sed -nE 's/.*listening on 127\.0\.0\.1:([0-9]+).*/\1/p' "$log")
  [ -n "$port" ] && break
  kill -0 "$demo_pid" 2>/dev/null || break
  sleep 0.05
done
if [ -z "$port" ]; then
  echo "run: the demo service did not start:"
  cat "$log"
  exit 1
fi

echo "run: demo lookup service on 127.0.0.1:$port; numbers it knows:"
grep -v '^#' demo/accounts.tsv | cut -f1,2 | sed 's/^/  /'
PELLORA_LOOKUP_HOST="127.0.0.1:$port" "$app"
