#!/usr/bin/env bash
# A private Firebird 3 server for the tests: own root, lock directory and port on
# 127.0.0.1, a SYSDBA password set here. Stopped by its PID, never by name.
#   fbserver.sh start DIR [PORT [PASSWORD]]   prints "host/port" on success
#   fbserver.sh stop DIR
set -euo pipefail
cmd=${1:?start|stop}; dir=${2:?directory}
fbroot=/usr/lib/x86_64-linux-gnu/firebird/3.0
case "$cmd" in
start)
  port=${3:-33050}; password=${4:-kordane-test}
  mkdir -p "$dir"/lock "$dir"/tmp "$dir"/data
  dir=$(cd "$dir" && pwd)
  if [ -f "$dir/pid" ] && kill -0 "$(cat "$dir/pid")" 2>/dev/null; then
    echo "127.0.0.1/$(cat "$dir/port")"; exit 0
  fi
  for f in plugins intl UDF firebird.msg plugins.conf; do ln -sfn "$fbroot/$f" "$dir/$f"; done
  cat > "$dir/firebird.conf" <<CONF
RemoteServicePort = $port
RemoteBindAddress = 127.0.0.1
ServerMode = Super
AuthServer = Srp, Legacy_Auth
AuthClient = Srp, Legacy_Auth
UserManager = Srp
WireCrypt = Enabled
IpcName = kordane_test_$port
GuardianOption = 0
# A security database of its own: the system one is opened by every embedded engine on
# the machine under another lock directory, and two lock directories on one file fail.
SecurityDatabase = $dir/security3.fdb
CONF
  cat > "$dir/databases.conf" <<CONF
security.db = $dir/security3.fdb
{
	RemoteAccess = false
}
CONF
  if [ ! -f "$dir/security3.fdb" ]; then
    src=/var/lib/firebird/3.0/system/security3.fdb
    [ -f "$src" ] || { echo "fbserver.sh: $src missing (install firebird3.0-server)" >&2; exit 1; }
    cp "$src" "$dir/security3.fdb"
  fi
  export FIREBIRD="$dir" FIREBIRD_LOCK="$dir/lock" FIREBIRD_TMP="$dir/tmp"
  printf "create or alter user SYSDBA password '%s' using plugin Srp;\ncommit;\n" "$password" \
    | isql-fb -q -user SYSDBA "$dir/security3.fdb" >/dev/null
  echo "$port" > "$dir/port"
  # The probe below takes a listener on the port for this server: none may be there first.
  if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
    echo "fbserver.sh: port $port is taken by another program" >&2; exit 1
  fi
  nohup /usr/sbin/firebird >"$dir/server.log" 2>&1 &
  echo $! > "$dir/pid"
  for _ in $(seq 100); do
    if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then echo "127.0.0.1/$port"; exit 0; fi
    kill -0 "$(cat "$dir/pid")" 2>/dev/null || break
    sleep 0.1
  done
  echo "fbserver.sh: server did not start; log follows" >&2; cat "$dir/server.log" >&2; exit 1
  ;;
stop)
  [ -f "$dir/pid" ] || exit 0
  pid=$(cat "$dir/pid")
  if kill -0 "$pid" 2>/dev/null; then
    kill "$pid"
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$pid" 2>/dev/null && kill -9 "$pid"
  fi
  rm -f "$dir/pid"
  ;;
*) echo "usage: fbserver.sh start|stop DIR [PORT [PASSWORD]]" >&2; exit 2 ;;
esac
