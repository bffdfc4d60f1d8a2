#!/bin/bash
# A throwaway PostgreSQL server for the test suite.
#
#   pgserver.sh start <dir>   initdb into <dir>/data, start it with its socket
#                             in <dir> (no TCP), create the role and database
#                             the tests connect to
#   pgserver.sh restart <dir> restart it (fast: open connections are cut, as
#                             when a server is restarted under running programs)
#   pgserver.sh down <dir>    stop it, keeping its data (a server that is away)
#   pgserver.sh up <dir>      start it again after `down`
#   pgserver.sh stop <dir>    stop it and remove <dir>
#
# The server trusts every connection over its socket: it lives for one test
# run and holds nothing but test data. initdb refuses root, so under root the
# server runs as the unprivileged account "postgres" (made by Debian's
# postgresql package), which owns <dir>. Without PostgreSQL on the machine
# `start` says so and succeeds: the server tests then skip with that reason.
set -u
cmd=${1:-}
dir=${2:-}
if [ -z "$cmd" ] || [ -z "$dir" ]; then
  echo "uso: $0 start|restart|down|up|stop <cartella>" >&2
  exit 2
fi

bindir=""
for d in /usr/lib/postgresql/*/bin; do
  [ -x "$d/initdb" ] && bindir=$d
done

opts="-c listen_addresses='' -c unix_socket_directories='$dir' -c unix_socket_permissions=0777 -c max_connections=50"
# Tests need no durability; the benchmark (PGSERVER_DURABLE=1) measures a
# server as a nursery runs it, each commit written to disk.
if [ -z "${PGSERVER_DURABLE:-}" ]; then
  opts+=" -c fsync=off -c synchronous_commit=off -c full_page_writes=off"
fi

as_server() {
  if [ "$(id -u)" = 0 ]; then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

case "$cmd" in
  start)
    if [ -z "$bindir" ]; then
      echo "SKIP: PostgreSQL non installato (pacchetto postgresql): i test sul server vengono saltati"
      exit 0
    fi
    if [ "$(id -u)" = 0 ] && ! id postgres >/dev/null 2>&1; then
      echo "manca l'utente di sistema postgres (pacchetto postgresql)" >&2
      exit 1
    fi
    # A server left running by an interrupted run is stopped first.
    if [ -f "$dir/data/postmaster.pid" ]; then
      as_server "$bindir/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1
    fi
    rm -rf "$dir"
    mkdir -p "$dir" || exit 1
    chmod 0755 "$dir"
    [ "$(id -u)" = 0 ] && chown postgres: "$dir"
    as_server "$bindir/initdb" -D "$dir/data" -U postgres --auth=trust -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 \
      || { cat "$dir/initdb.log" >&2; exit 1; }
    as_server "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -o "$opts" -w -t 60 start >/dev/null \
      || { cat "$dir/server.log" >&2; exit 1; }
    psql=("$bindir/psql" -X -q -v ON_ERROR_STOP=1 -h "$dir" -U postgres -d postgres)
    "${psql[@]}" -c "CREATE ROLE velmora LOGIN CREATEROLE" \
      -c "CREATE DATABASE velmora_test OWNER velmora" >/dev/null || exit 1
    echo "server di prova pronto: host=$dir dbname=velmora_test user=velmora"
    ;;
  restart|down)
    [ -n "$bindir" ] && [ -f "$dir/data/postmaster.pid" ] || { echo "nessun server di prova in $dir" >&2; exit 1; }
    as_server "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -m fast -w -t 60 "${cmd/down/stop}" >/dev/null \
      || { cat "$dir/server.log" >&2; exit 1; }
    ;;
  up)
    [ -n "$bindir" ] && [ -d "$dir/data" ] || { echo "nessun server di prova in $dir" >&2; exit 1; }
    as_server "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -o "$opts" -w -t 60 start >/dev/null \
      || { cat "$dir/server.log" >&2; exit 1; }
    ;;
  stop)
    if [ -n "$bindir" ] && [ -f "$dir/data/postmaster.pid" ]; then
      as_server "$bindir/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null
    fi
    rm -rf "$dir"
    ;;
  *)
    echo "uso: $0 start|restart|down|up|stop <cartella>" >&2
    exit 2
    ;;
esac
