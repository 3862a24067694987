#!/usr/bin/env bash
# Builds the Debian package, installs it, checks the installed program (layout, a start
# on an empty database, the end on SIGTERM), then purges the package and checks nothing
# is left. Needs root (or sudo): it installs system-wide.
#   package-test.sh [BUILD_DIR]    (default build-package)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-package}
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
fail() { echo "package-test: $*" >&2; exit 1; }

cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build "$dir" -j "$(nproc)" --target Kordane dbxfb makedemo kordane-report
rm -f "$dir"/kordane_*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
deb=$(ls "$(cd "$dir" && pwd)"/kordane_*.deb)

# A left-over from an interrupted run would hide what this package installs.
if dpkg-query -W -f='${Status}' kordane 2>/dev/null | grep -q "ok installed\|config-files"; then
  $sudo dpkg -P kordane >/dev/null
fi
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "$deb" >/dev/null
mapfile -t files < <(dpkg -L kordane | while read -r f; do [ -d "$f" ] || echo "$f"; done)

bash scripts/check-installed.sh /usr /etc/kordane/dbxdrivers.ini
[ "$(command -v Kordane)" = /usr/bin/Kordane ] || fail "Kordane not on PATH"

DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -qq kordane >/dev/null
for f in "${files[@]}"; do
  [ ! -e "$f" ] || fail "$f left after purge"
done
[ ! -e /etc/kordane ] || fail "/etc/kordane left after purge"
[ ! -e /usr/lib/kordane ] || fail "/usr/lib/kordane left after purge"
echo "package-test: $(basename "$deb") installs, starts and purges cleanly"
