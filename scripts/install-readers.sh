#!/usr/bin/env bash
# Installs the independent DWG readers that the tests use to check the drawings
# Corvelin writes: GDAL's ogrinfo (Debian's gdal-bin) and the WebAssembly builds
# of LibreDWG and libdxfrw in tools/readers. They are optional: when the network
# or a registry is unavailable this prints a warning and still succeeds, and the
# tests that need a missing reader skip.
set -uo pipefail
cd "$(dirname "$0")/.."

warn() { echo "install-readers: warning: $*" >&2; }

install_gdal() {
  if command -v ogrinfo >/dev/null 2>&1; then
    return
  fi
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null 2>&1; then
      warn "ogrinfo is missing and installing gdal-bin needs root; its tests will skip"
      return
    fi
    # Never wait for a password: without one the tests skip instead.
    sudo="sudo -n"
  fi
  export DEBIAN_FRONTEND=noninteractive
  if ! $sudo apt-get update; then
    warn "apt-get update failed; trying to install gdal-bin from the cached lists"
  fi
  if ! $sudo apt-get install -y --no-install-recommends gdal-bin; then
    warn "could not install gdal-bin; the ogrinfo tests will skip"
  fi
}

install_node_readers() {
  local dir=tools/readers
  if ! command -v node >/dev/null 2>&1 || ! command -v npm >/dev/null 2>&1; then
    warn "node or npm is missing; the LibreDWG and libdxfrw tests will skip"
    return
  fi
  # The stamp records which package.json and lock file node_modules was
  # installed from, so that a changed pin reinstalls and an unchanged one is free.
  local stamp="$dir/node_modules/.corvelin-readers-stamp"
  local want
  want=$(cat "$dir/package.json" "$dir/package-lock.json" 2>/dev/null | sha256sum | cut -d' ' -f1)
  if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$want" ]; then
    return
  fi
  local command=(npm install)
  [ -f "$dir/package-lock.json" ] && command=(npm ci)
  if (cd "$dir" && "${command[@]}" --no-audit --no-fund --fetch-retries=1 --fetch-timeout=60000); then
    echo "$want" >"$stamp"
  else
    warn "'${command[*]}' failed in $dir; the LibreDWG and libdxfrw tests will skip"
  fi
}

install_gdal
install_node_readers
exit 0
