#!/usr/bin/env bash
# Installs the Debian packages that building and testing Corvelin need.
# Skips apt entirely when everything is already there.
set -euo pipefail

packages=(cmake g++ clang libclang-rt-dev ninja-build pkg-config libfribidi-dev libgtest-dev libgmock-dev
          libbenchmark-dev qt6-base-dev fonts-dejavu-core)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update
  $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
