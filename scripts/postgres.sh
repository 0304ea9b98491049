#!/usr/bin/env bash
# A throw-away PostgreSQL cluster in a folder, for the tests and for
# scripts/cluster.sh. Sourced; it defines:
#   pg_start DIR PORT   initialises a cluster in DIR (once) and starts it,
#                       listening only on a Unix socket in DIR on PORT; the
#                       roles sa (password Secret) and web (password pw) may
#                       log in with their passwords and create databases
#   pg_stop DIR         stops it
#   pg_psql DIR PORT …  psql as the cluster's superuser
# Run as root, the cluster belongs to the unprivileged user postgres (the
# server refuses to run as root); the folder is given to that user.
pg_bin="$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)"

pg_as_owner() {
  if [ "$(id -u)" -eq 0 ]; then
    su postgres -s /bin/bash -c "$(printf '%q ' "$@")"
  else
    "$@"
  fi
}

pg_start() {
  local dir="$1" port="$2"
  if [ -z "$pg_bin" ]; then echo "PostgreSQL is not installed" >&2; return 1; fi
  mkdir -p "$dir"
  if [ "$(id -u)" -eq 0 ]; then chown postgres "$dir"; fi
  if [ ! -f "$dir/data/PG_VERSION" ]; then
    local pwfile="$dir/superuser-password"
    echo "zurva" >"$pwfile"
    if [ "$(id -u)" -eq 0 ]; then chown postgres "$pwfile"; fi
    pg_as_owner "$pg_bin/initdb" -D "$dir/data" -U zurva --pwfile="$pwfile" --auth=scram-sha-256 -E UTF8 \
      --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 || { cat "$dir/initdb.log" >&2; return 1; }
  fi
  pg_as_owner "$pg_bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
    -o "-k $dir -p $port -c listen_addresses='' -c fsync=off -c synchronous_commit=off -c full_page_writes=off -c max_connections=400 -c shared_buffers=256MB" \
    start >/dev/null || { cat "$dir/server.log" >&2; return 1; }
  PGPASSWORD=zurva "$pg_bin/psql" -h "$dir" -p "$port" -U zurva -d postgres -qAt -v ON_ERROR_STOP=1 <<'SQL' >/dev/null
DO $$ BEGIN
  IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'sa') THEN CREATE ROLE sa LOGIN CREATEDB PASSWORD 'Secret'; END IF;
  IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'web') THEN CREATE ROLE web LOGIN CREATEDB PASSWORD 'pw'; END IF;
END $$;
SQL
}

pg_stop() {
  local dir="$1"
  [ -f "$dir/data/postmaster.pid" ] && pg_as_owner "$pg_bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null || true
}

pg_psql() {
  local dir="$1" port="$2"
  shift 2
  PGPASSWORD=zurva "$pg_bin/psql" -h "$dir" -p "$port" -U zurva "$@"
}
