#!/usr/bin/env bash
# Builds the Debian package (scripts/build-package.sh), holds it to lintian (any error or
# warning fails), installs it, checks the installed program (layout, a start on an empty
# database, the end on SIGTERM), then purges it and checks nothing is left.
# Needs root (or sudo): it installs system-wide. So it refuses to run where kordane is
# installed other than by an interrupted run of its own: a purge would remove that
# installation's configuration in /etc/kordane.
#   package-test.sh [BUILD_DIR]    (default build-package)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-package}
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
fail() { echo "package-test: $*" >&2; exit 1; }

# This test's installation, as dpkg recorded it: another installation since has another.
marker=$dir/package-test.installed
record() { stat -c '%i %y' /var/lib/dpkg/info/kordane.list; }
purge() {
  DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -qq kordane >/dev/null
  rm -f "$marker"
}

state=$(dpkg-query -W -f='${db:Status-Status}' kordane 2>/dev/null || true)
if [ -n "$state" ] && [ "$state" != not-installed ]; then
  if [ "$state" = installed ] && [ -f "$marker" ] && [ "$(record)" = "$(cat "$marker")" ]; then
    purge
  else
    fail "kordane is installed on this machine (dpkg state: $state), not by this test; the test installs and purges the package, which would remove /etc/kordane. Run it on a machine without kordane."
  fi
fi

deb=$(bash scripts/build-package.sh "$dir")
lintian --fail-on error,warning --display-info "$deb" || fail "lintian: an error or a warning above"

DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "$deb" >/dev/null
record > "$marker"
trap purge EXIT
mapfile -t files < <(dpkg -L kordane | while read -r f; do [ -d "$f" ] || echo "$f"; done)

bash scripts/check-installed.sh /usr /etc/kordane/dbxdrivers.ini
[ "$(command -v Kordane)" = /usr/bin/Kordane ] || fail "Kordane not on PATH"
man -w Kordane >/dev/null && man -w kordane >/dev/null || fail "man kordane finds no page"

trap - EXIT
purge
for f in "${files[@]}"; do
  [ ! -e "$f" ] || fail "$f left after purge"
done
[ ! -e /etc/kordane ] || fail "/etc/kordane left after purge"
[ ! -e /usr/lib/kordane ] || fail "/usr/lib/kordane left after purge"
echo "package-test: $(basename "$deb") is lintian clean, installs, starts and purges cleanly"
