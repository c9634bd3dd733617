#!/usr/bin/env bash
# Installs every build, test and run dependency from Debian's packages.
# Idempotent: packages already installed are skipped, and apt is not touched
# at all when nothing is missing. Runs as root without prompts (or via sudo).
set -euo pipefail

packages=(
  g++ make cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libcurl4-openssl-dev libssl-dev openssl
  libicu-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libcpp-httplib-dev
  clang libclang-rt-14-dev
  xvfb xauth xdotool x11-utils imagemagick
  tinyproxy-bin
  dpkg-dev file desktop-file-utils fonts-wqy-microhei
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all dependencies present"
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update
"${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
