#!/usr/bin/env bash
# Installs what Kordane needs on Debian 12. Safe to run again.
#   install-deps.sh run    to build and run the program, its driver and the admin tool
#   install-deps.sh [all]  also to build and run every test (clang, the server, isql, Xvfb)
set -euo pipefail
set_name=${1:-all}
run=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  # the payroll workbook
  libxlsxwriter-dev
  firebird3.0-server-core libfbclient2 firebird-dev
  fonts-arphic-uming qt6-translations-l10n
)
tests=(
  clang libclang-rt-14-dev clang-format
  # the index scripts/check-unused.sh reads (c-index-test)
  clang-tools
  firebird3.0-server firebird3.0-utils
  xvfb xauth desktop-file-utils
  # the report tests read the PDFs back
  poppler-utils
  # the payroll tests read the workbook back (with the system's /usr/bin/python3)
  python3-openpyxl
  # the Debian package: its build flags, library dependencies and checks
  dpkg-dev lintian
)
case "$set_name" in
run) packages=("${run[@]}") ;;
all) packages=("${run[@]}" "${tests[@]}") ;;
*) echo "usage: install-deps.sh [run|all]" >&2; exit 2 ;;
esac
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
