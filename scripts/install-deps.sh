#!/usr/bin/env bash
# Installs every Debian package that building and testing Ostak needs.
# Run as root on Debian 12. Does nothing when everything is already there.
set -euo pipefail
packages=(build-essential cmake pkg-config binutils libxerces-c-dev libicu-dev libgtest-dev libgmock-dev)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ "${#missing[@]}" -eq 0 ]; then
    exit 0
fi
echo "installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
