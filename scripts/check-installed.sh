#!/usr/bin/env bash
# Checks an installed Kordane: the layout, the RUNPATH to the driver of the programs that
# load it and no other binary's, a manual page for each program, copyright and changelog,
# the desktop entry and icons; then starts the installed program offscreen on a new site's
# empty database (made by the installed kordane-makedb) and ends it with SIGTERM, and runs
# the installed kordane-report on that database.
#   check-installed.sh PREFIX DRIVERS_FILE [--name-drivers]
# --name-drivers names DRIVERS_FILE in the user's settings store; without it the program
# must reach the file on its own (the package's /etc/kordane).
set -euo pipefail
prefix=${1:?prefix}; drivers=${2:?drivers file}; name_drivers=${3:-}
fail() { echo "check-installed: $*" >&2; exit 1; }

bin=$prefix/bin/Kordane
[ -x "$bin" ] || fail "$bin missing"
[ -x "$prefix/bin/kordane-makedb" ] || fail "kordane-makedb missing"
[ -x "$prefix/bin/kordane-admin" ] || fail "kordane-admin missing"
[ -f "$prefix/lib/kordane/libdbxfb.so" ] || fail "driver not installed"
readelf -d "$bin" | grep >/dev/null 'RUNPATH.*\$ORIGIN/\.\./lib/kordane' || fail "program's RUNPATH misses the driver"
programs=("$prefix"/bin/[Kk]ordane*)
for f in "${programs[@]}"; do
  gzip -t "$prefix/share/man/man1/${f##*/}.1.gz" 2>/dev/null || fail "no manual page for ${f##*/}"
done
readelf -d "$prefix/bin/kordane-report" | grep >/dev/null 'RUNPATH.*\$ORIGIN/\.\./lib/kordane' || fail "kordane-report's RUNPATH misses the driver"
# Only the programs that load the driver find something beside themselves.
for f in "${programs[@]}" "$prefix/lib/kordane/libdbxfb.so"; do
  case "$f" in "$bin" | "$prefix/bin/kordane-report") continue ;; esac
  ! readelf -d "$f" | grep >/dev/null 'R\(UN\)\?PATH' || fail "$f has a RUNPATH"
done
[ -f "$prefix/share/doc/kordane/copyright" ] || fail "copyright missing"
gzip -t "$prefix/share/doc/kordane/changelog.Debian.gz" || fail "changelog missing"
grep -q '^LibraryName=libdbxfb.so$' "$drivers" || fail "no default drivers file at $drivers"
desktop-file-validate "$prefix/share/applications/kordane.desktop"
[ -f "$prefix/share/icons/hicolor/scalable/apps/kordane.svg" ] || fail "scalable icon missing"
for size in 16 22 24 32 48 64 128 256; do
  [ -f "$prefix/share/icons/hicolor/${size}x${size}/apps/kordane.png" ] || fail "${size}px icon missing"
done
for unit in kordane-backup.service kordane-backup.timer kordane-punches.service; do
  [ -f "$prefix/lib/systemd/user/$unit" ] || fail "user unit $unit missing"
done
grep -q '^ExecStart=/.*/kordane-admin backup --verify ' "$prefix/lib/systemd/user/kordane-backup.service" ||
  fail "the backup service does not run kordane-admin backup --verify"
grep -q '^ExecStart=/.*/kordane-admin punches import --watch ' "$prefix/lib/systemd/user/kordane-punches.service" ||
  fail "the punches service does not run kordane-admin punches import --watch"

tmp=$(mktemp -d)
pid=""
cleanup() {
  [ -n "$pid" ] && kill -9 "$pid" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT

site=$tmp/site
mkdir -p "$site" "$tmp/home/.config/Kordane" "$tmp/runtime"
chmod 700 "$tmp/runtime"
"$prefix/bin/kordane-makedb" --dir "$site" --database "$site/KORDANE.FDB" --no-demo-rows >/dev/null
rm "$site/dbxdrivers.ini"
[ "$(stat -c %a "$site/dbxconnections.ini")" = 600 ] || fail "connections file readable by others"
{
  printf '[General]\nConnection Registry File=%s\n' "$site/dbxconnections.ini"
  [ "$name_drivers" = --name-drivers ] && printf 'Driver Registry File=%s\n' "$drivers"
} > "$tmp/home/.config/Kordane/dbExpress.conf"

HOME=$tmp/home XDG_CONFIG_HOME=$tmp/home/.config XDG_RUNTIME_DIR=$tmp/runtime QT_QPA_PLATFORM=offscreen \
  "$bin" >"$tmp/kordane.log" 2>&1 &
pid=$!
# Its start-up statement has run through the installed driver on the embedded engine: the
# driver and the engine are mapped and the database file is open.
attached=""
for _ in $(seq 100); do
  kill -0 "$pid" 2>/dev/null || { cat "$tmp/kordane.log" >&2; fail "Kordane ended at start"; }
  if grep -q "$prefix/lib/kordane/libdbxfb.so" "/proc/$pid/maps" && grep -q libEngine12.so "/proc/$pid/maps" &&
     ls -l "/proc/$pid/fd" 2>/dev/null | grep >/dev/null "$site/KORDANE.FDB"; then
    attached=yes
    break
  fi
  sleep 0.1
done
[ -n "$attached" ] || { cat "$tmp/kordane.log" >&2; fail "Kordane did not attach its database through the driver"; }
# The end of a session: SIGTERM ends it as closing the window does.
kill -TERM "$pid"
for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
kill -0 "$pid" 2>/dev/null && fail "Kordane still running 10 s after SIGTERM"
status=0
wait "$pid" || status=$?
pid=""
[ "$status" = 0 ] || fail "Kordane ended with status $status on SIGTERM"
report=$(HOME=$tmp/home XDG_CONFIG_HOME=$tmp/home/.config XDG_RUNTIME_DIR=$tmp/runtime \
  "$prefix/bin/kordane-report" month 2024/03 --csv) || fail "kordane-report failed on the empty database"
[ "$report" = "$(printf '員工代號,姓名,日數,時段,工時,未下班,異常\r')" ] || fail "kordane-report gave: $report"
# The timer's command on that site, as the installed tool runs it.
HOME=$tmp/home XDG_CONFIG_HOME=$tmp/home/.config XDG_DATA_HOME=$tmp/home/.local/share XDG_RUNTIME_DIR=$tmp/runtime \
  "$prefix/bin/kordane-admin" backup --verify --keep 2 >/dev/null || fail "kordane-admin backup --verify failed"
HOME=$tmp/home XDG_CONFIG_HOME=$tmp/home/.config XDG_DATA_HOME=$tmp/home/.local/share XDG_RUNTIME_DIR=$tmp/runtime \
  "$prefix/bin/kordane-admin" backup --status >/dev/null || fail "kordane-admin backup --status finds no verified backup"
echo "check-installed: $prefix is complete; Kordane starts on an empty database and ends on SIGTERM; kordane-report reads it; kordane-admin backs it up"
