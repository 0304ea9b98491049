#!/usr/bin/env bash
# Several zurva-serve instances as one site on this machine:
#   scripts/cluster.sh --instances N --port P
# starts a throw-away PostgreSQL cluster under the data folder (data/cluster/),
# seeds the demo database on it once, and runs N instances on ports P … P+N-1
# as one site, until interrupted (Ctrl-C stops the instances and the database
# server). They share the database and their sessions in it, one secrets file
# (data/cluster/secrets.json: the cookie secret and the administrator's login)
# and one photo folder (data/cluster/photos). Each instance keeps its own
# data folder (data/cluster/instance-K) for what is not shared. Run as root,
# the database cluster belongs to the unprivileged user postgres.
# scripts/serve.sh stays the embedded default.
set -euo pipefail
cd "$(dirname "$0")/.."
instances=2
port=8080
while (($#)); do
  case "$1" in
    --instances) instances="$2"; shift 2 ;;
    --port) port="$2"; shift 2 ;;
    *) echo "usage: scripts/cluster.sh --instances N --port P" >&2; exit 2 ;;
  esac
done
[[ "$instances" =~ ^[1-9][0-9]*$ && "$port" =~ ^[1-9][0-9]*$ ]] || {
  echo "usage: scripts/cluster.sh --instances N --port P" >&2
  exit 2
}

scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target zurva-serve

source scripts/postgres.sh
root="$(pwd)/data/cluster"
mkdir -p "$root"
db_dir="$root/postgres"
db_port=$((port + 10000 > 65535 ? port - 10000 : port + 10000))
pids=()
stop() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  pg_stop "$db_dir"
}
trap stop EXIT
trap 'exit 130' INT TERM
pg_start "$db_dir" "$db_port"
# The secrets every instance reads: a cookie secret made once, and the
# administrator's login of the default configuration.
secrets="$root/secrets.json"
if [ ! -f "$secrets" ]; then
  secret="$(head -c 32 /dev/urandom | od -An -tx1 | tr -d ' \n')"
  admin="$(sed -n '/"administrator"/,/}/p' config/zurva-serve.json | tr -d '\n' | sed 's/.*"administrator": *//; s/ \+/ /g; s/, *$//')"
  printf '{"cookie_secret": "%s", "administrator": %s}\n' "$secret" "$admin" >"$secrets"
  chmod 600 "$secrets"
fi

# One configuration for every instance: the database server, its login
# (the cluster's role "web"), sessions in the database, the shared secrets
# file and photo folder.
config="$root/zurva-serve.json"
sed -e "s|\"cookie_secret\": \"\"|\"secrets_file\": \"$secrets\", \"photo_folder\": \"$root/photos\"|" \
    -e "s|\"SqlLocalName\": \"(local)\"|\"SqlLocalName\": \"zurva-pg\"|" \
    -e "s|\"SqlUserName\": \"zurva\"|\"SqlUserName\": \"web\"|" \
    -e "s|\"SqlPassword\": \"zurva\"|\"SqlPassword\": \"pw\"|" \
    -e "s|\"max_sessions\": 100000|\"max_sessions\": 100000, \"store\": \"database\"|" \
    -e "s|\"demo_seed\": 1|\"demo_seed\": 1, \"servers\": [{\"name\": \"zurva-pg\", \"host\": \"$db_dir\", \"port\": $db_port, \"sslmode\": \"disable\"}]|" \
    -e "s|\"document_root\": \"site/www\"|\"document_root\": \"$(pwd)/site/www\"|" \
    config/zurva-serve.json >"$config"

for ((k = 0; k < instances; k++)); do
  folder="$root/instance-$k"
  mkdir -p "$folder"
  build/zurva-serve --config "$config" --port $((port + k)) --data "$folder" &
  pids+=($!)
  if ((k == 0)); then
    # The first instance seeds the database; the others start once it serves.
    for _ in $(seq 600); do
      curl -fs -o /dev/null "http://127.0.0.1:$port/" && break
      kill -0 "${pids[0]}" 2>/dev/null || exit 1
      sleep 0.5
    done
  fi
done
echo "cluster: $instances instances on ports $port … $((port + instances - 1)), database on $db_dir:$db_port"
wait -n "${pids[@]}"
