#!/usr/bin/env bash
# install-deps.sh -- installs the Debian packages that building, running and testing need.
set -euo pipefail
packages=(
  cmake g++ make pkg-config
  zlib1g-dev libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev xvfb xauth fonts-dejavu-core
  # The window tests also run beside a monospaced family whose fixed-pitch flag is not set.
  fonts-noto-mono
  clang libclang-rt-14-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
