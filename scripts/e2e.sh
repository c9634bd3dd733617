#!/usr/bin/env bash
# End-to-end check of the real program on a real X server (Xvfb): starts the
# demo lookup service on a free loopback port and the program pointed at it,
# types a listed number and clicks 查询 with xdotool, reads the six lines back
# from the log box (through the program's PELLORA_DEBUG output), saves a
# screenshot as <build>/e2e-screenshot.png and closes the window with Esc.
# Exit status: 0 passed, 1 failed, 77 skipped (Xvfb or xdotool missing).
set -euo pipefail
build=$(cd "${1:-build/default}" && pwd)
app="$build/app/pellora"
demo="$build/demo/pellora-demo-service"

for tool in Xvfb xdotool; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "e2e: skipped: $tool is not installed (scripts/setup.sh installs it)"
    exit 77
  fi
done
for bin in "$app" "$demo"; do
  if [ ! -x "$bin" ]; then
    echo "e2e: FAILED: $bin is not built"
    exit 1
  fi
done

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "e2e: FAILED: $*"
  for f in "$work"/*.log; do echo "--- $(basename "$f")"; cat "$f"; done
  exit 1
}

# Waits up to $2 seconds for a line matching $3 in file $1; prints it.
wait_for_line() {
  local file=$1 seconds=$2 pattern=$3 line
  for _ in $(seq $((seconds * 20))); do
    line=$(grep -m1 -e "$pattern" "$file" 2>/dev/null || true)
    if [ -n "$line" ]; then
      echo "$line"
      return 0
    fi
    sleep 0.05
  done
  return 1
}

# Xvfb picks a free display itself and writes its number to fd 3.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$work/display")"

"$demo" --port 0 >"$work/demo.log" 2>&1 &
pids+=($!)
listening=$(wait_for_line "$work/demo.log" 10 'listening on 127.0.0.1:') || fail "demo service did not start"
port=$(sed -E 's/.*127\.0\.0\.1:([0-9]+).*/\1/' <<<"$listening")

# Driven by xdotool only: no commands on stdin.
QT_QPA_PLATFORM=xcb PELLORA_DEBUG=1 PELLORA_LOOKUP_HOST="127.0.0.1:$port" \
  "$app" </dev/null >"$work/app.log" 2>"$work/app-stderr.log" &
app_pid=$!
pids+=($app_pid)
wait_for_line "$work/app.log" 15 '^shown ' >/dev/null || fail "the window did not appear"

wid=$(xdotool search --sync --limit 1 --name '^Pellorav1\.0  $')
[ -n "$wid" ] || fail "the window was not found by its caption"
xdotool windowfocus --sync "$wid"
# Client coordinates from the window's layout: number box at 80,27 192x24,
# button at 294,26 64x24.
xdotool mousemove --window "$wid" 150 39 click 1
xdotool type --delay 20 13800138000
xdotool mousemove --window "$wid" 326 38 click 1

line=$(wait_for_line "$work/app.log" 10 '^log .*名字：') || fail "no result in the log box"
expected='log 手机号：13800138000\n名字：张三\n余额：58.20\n积分：1200\n当前消费：36.50\n温馨提示：以上数据来自于互联网，请勿用作非法用途。'
[ "$line" = "$expected" ] || fail "unexpected log box text: $line"
echo "e2e: the log box shows:"
printf '%b\n' "${line#log }" | sed 's/^/  /'

if command -v import >/dev/null 2>&1; then
  import -window root "$build/e2e-screenshot.png"
elif command -v xwd >/dev/null 2>&1; then
  xwd -root -silent >"$build/e2e-screenshot.xwd"
fi
ls "$build"/e2e-screenshot.* >/dev/null 2>&1 && echo "e2e: screenshot saved in $build"

xdotool windowfocus --sync "$wid"
xdotool key Escape
for _ in $(seq 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.05; done
if kill -0 "$app_pid" 2>/dev/null; then fail "Esc did not close the window"; fi
status=0
wait "$app_pid" || status=$?
[ "$status" -eq 0 ] || fail "the program ended with status $status"
echo "e2e: passed"
