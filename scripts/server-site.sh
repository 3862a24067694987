#!/usr/bin/env bash
# A site on Debian's Firebird 3 server, as the README's "A site on a server" describes:
# opens the server to the desks, sets SYSDBA's password, makes the site's database,
# loads the employees, adds a clerk and checks what the clerk may and may not do.
#
#   ISC_PASSWORD=... server-site.sh --dir DIR --employees FILE --clerk NAME
#       [--bind ADDRESS] [--port PORT] [--host HOST] [--desk-host HOST] [--database PATH]
#       [--no-configure] [--no-rules]
#
# --bind (default 0.0.0.0) and --port (default 3050) go into /etc/firebird/3.0/firebird.conf
# (the old file kept as firebird.conf.orig), SYSDBA's password is set to ISC_PASSWORD (in
# the security database and in Debian's /etc/firebird/3.0/SYSDBA.password) and the server
# restarted: that part needs root (or sudo). --no-configure skips it, for a server already
# set up. --host (default localhost) is the server as this machine reaches it, for the
# admin's file and the checks; --desk-host (default this machine's name) as the desks do,
# for the clerk's file.
# The database gets the rules (kordane-admin init --rules): with several desks, two adding
# the same record at once would otherwise both store it. --no-rules leaves them out.
set -euo pipefail
here=$PWD
cd "$(dirname "$0")/.."
admin=${KORDANE_ADMIN:-build/bin/kordane-admin}
bind=0.0.0.0; port=3050; host=localhost; desk_host=$(hostname -f 2>/dev/null || hostname)
database=/var/lib/firebird/3.0/data/kordane.fdb
dir=""; employees=""; clerk=""; configure=yes; rules=--rules
while [ $# -gt 0 ]; do
  case "$1" in
  --dir) dir=$2; shift 2 ;;
  --employees) employees=$2; shift 2 ;;
  --clerk) clerk=$2; shift 2 ;;
  --bind) bind=$2; shift 2 ;;
  --port) port=$2; shift 2 ;;
  --host) host=$2; shift 2 ;;
  --desk-host) desk_host=$2; shift 2 ;;
  --database) database=$2; shift 2 ;;
  --no-configure) configure=""; shift ;;
  --no-rules) rules=""; shift ;;
  *) echo "server-site.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
fail() { echo "server-site.sh: $*" >&2; exit 1; }
[ -n "$dir" ] && [ -n "$employees" ] && [ -n "$clerk" ] || fail "--dir, --employees and --clerk are needed"
# Named from where the script was run, not from the repository it runs in.
case "$dir" in /*) ;; *) dir=$here/$dir ;; esac
case "$employees" in /*) ;; *) employees=$here/$employees ;; esac
[ -n "${ISC_PASSWORD:-}" ] || fail "set ISC_PASSWORD to SYSDBA's password (kept out of the process list)"
export ISC_USER=${ISC_USER:-SYSDBA} ISC_PASSWORD

if [ -n "$configure" ]; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  conf=/etc/firebird/3.0/firebird.conf
  [ -f "$conf.orig" ] || $sudo cp -p "$conf" "$conf.orig"
  # One setting each, replacing any earlier line of it, commented or not.
  for setting in "RemoteBindAddress = $bind" "RemoteServicePort = $port"; do
    name=${setting%% *}
    $sudo sed -i "/^[#[:space:]]*$name[[:space:]]*=/d" "$conf"
    echo "$setting" | $sudo tee -a "$conf" >/dev/null
  done
  # The password through the server's own security database, before the server opens it.
  # service: systemd where it runs, the init script elsewhere.
  $sudo service firebird3.0 stop >/dev/null 2>&1 || true
  printf "create or alter user SYSDBA password '%s' using plugin Srp;\ncommit;\n" "${ISC_PASSWORD//\'/\'\'}" \
    | $sudo isql-fb -q -user SYSDBA /var/lib/firebird/3.0/system/security3.fdb >/dev/null
  $sudo service firebird3.0 restart >/dev/null
  # Debian's record of the password, which its maintenance scripts source (sh quoting).
  record=/etc/firebird/3.0/SYSDBA.password
  if $sudo test -f "$record"; then
    { $sudo grep -v '^[[:space:]]*ISC_PASSWORD=' "$record" || true; printf "ISC_PASSWORD='%s'\n" "${ISC_PASSWORD//\'/\'\\\'\'}"; } \
      | $sudo sh -c 'umask 077 && cat > "$1.new" && mv "$1.new" "$1"' sh "$record"
  fi
  for _ in $(seq 50); do (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.2; done
  echo "server: listening on $bind port $port"
fi

target="$host/$port:$database"
"$admin" init --dir "$dir" --database "$target" --no-demo-rows $rules
"$admin" employees import "$employees" --connections "$dir/dbxconnections.ini"
clerk_file="$dir/$(echo "$clerk" | tr 'A-Z' 'a-z').dbxconnections.ini"
"$admin" clerk add "$clerk" --connections "$dir/dbxconnections.ini" --output "$clerk_file" --host "$desk_host"

# The clerk's rights, through the account in the clerk's file.
clerk_password=$(sed -n 's/^Password=//p' "$clerk_file")
# isql-fb ends with status 1 after a refused statement: the text tells.
as_clerk() { ISC_USER=$clerk ISC_PASSWORD=$clerk_password isql-fb -q "$target" 2>&1 || true; }
# A record the rules take, removed again.
out=$(printf "SELECT COUNT(*) FROM EMPLOYEE;\nINSERT INTO POS_DAY (EMPLOYEE_ID, INI_DATE, TIME_IN, TIME_OUT) VALUES ('x', '2000/01/01', '00:00:00', '');\nDELETE FROM POS_DAY WHERE EMPLOYEE_ID = 'x';\nCOMMIT;\n" | as_clerk)
! grep -q "Statement failed" <<<"$out" || fail "the clerk cannot work: $out"
for refused in "ALTER TABLE POS_DAY ADD NOTE VARCHAR(10);" "DROP TABLE EMPLOYEE;" \
               "CREATE USER INTRUDER PASSWORD 'x';" "INSERT INTO EMPLOYEE VALUES ('Z', 'z', 'z');"; do
  out=$(printf '%s\nCOMMIT;\n' "$refused" | as_clerk)
  grep -q "Statement failed\|no permission\|unsuccessful" <<<"$out" || fail "the clerk may: $refused"
done
out=$(echo "SELECT COUNT(*) FROM SEC\$USERS WHERE SEC\$USER_NAME <> CURRENT_USER;" | as_clerk)
grep -qw 0 <<<"$out" || fail "the clerk reads other users in the security database: $out"
echo "server-site: $target ready; clerk $clerk's file is $clerk_file"
