#!/usr/bin/env bash
# Installs what building and testing need on a fresh Debian 12 machine (as root).
set -euo pipefail
pkgs=(build-essential cmake ninja-build pkg-config libgtest-dev libgmock-dev libbenchmark-dev
      libpcap-dev nlohmann-json3-dev g++-mingw-w64-x86-64 clang libclang-rt-14-dev
      samba smbclient libnss-wrapper tcpdump iproute2 attr python3 util-linux procps)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "== installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
