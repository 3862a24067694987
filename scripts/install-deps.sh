#!/usr/bin/env bash
# Installs what Kordane needs to build, run and test on Debian 12. Safe to run again.
set -euo pipefail
packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  firebird3.0-server-core firebird3.0-server firebird3.0-utils libfbclient2 firebird-dev
  fonts-arphic-uming xvfb xauth desktop-file-utils poppler-utils
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
# The server package would ask for a SYSDBA password and start a system service;
# the tests run a private server of their own instead.
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
