#!/usr/bin/env bash
# Load benchmark of zurva-serve on loopback: wrk drives a static file and a
# dynamic page of the same server (a fresh demo database in a temporary data
# folder), one after the other in one run, and the script reports requests per
# second, latency and the ratio dynamic / static.
#
#   bench/load.sh [seconds per run]
#
# Environment: THREADS (wrk threads, 4), CONNECTIONS (32; below the server's
# worker_threads, 64, each connection keeps its worker; beyond it, connections
# take turns through the waiting room, see host/serve/workers.h),
# STATIC_PATH (/css.css), DYNAMIC_PATH (/, the home page), BUILD_DIR (build),
# DEMO_MEMBERS (the demo database's size; the configuration's 3000 when unset).
set -euo pipefail
cd "$(dirname "$0")/.."

duration="${1:-10}"
threads="${THREADS:-4}"
connections="${CONNECTIONS:-32}"
static_path="${STATIC_PATH:-/css.css}"
dynamic_path="${DYNAMIC_PATH:-/}"
build="${BUILD_DIR:-build}"

if ! command -v wrk >/dev/null; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq wrk >/dev/null
fi
scripts/install-deps.sh
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target zurva-serve >/dev/null

work="$(mktemp -d)"
server=""
cleanup() {
  if [ -n "$server" ]; then kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# The demo site as scripts/serve.sh serves it, with a fresh database on any free port.
config=config/zurva-serve.json
if [ -n "${DEMO_MEMBERS:-}" ]; then
  sed -E "s/\"demo_members\": *[0-9]+/\"demo_members\": ${DEMO_MEMBERS}/" "$config" >"$work/zurva-serve.json"
  config="$work/zurva-serve.json"
fi
"$build/zurva-serve" --config "$config" --port 0 --data "$work/data" >"$work/address" 2>"$work/server.log" &
server=$!
for _ in $(seq 3000); do
  grep -q "http://" "$work/address" && break
  kill -0 "$server" 2>/dev/null || { cat "$work/server.log" >&2; exit 1; }
  sleep 0.1
done
url="$(grep -o 'http://[^ ]*' "$work/address")"
url="${url%/}"

run() {  # path name
  wrk -t"$threads" -c"$connections" -d"${duration}s" --latency "$url$1" >"$work/$2.txt"
}
echo "zurva-serve at $url; wrk -t$threads -c$connections -d${duration}s --latency, static then dynamic"
run "$static_path" static
run "$dynamic_path" dynamic

# Requests/sec, mean, 50% and 99% latency, and non-2xx answers of one run.
summary() {
  awk -v name="$1" -v path="$2" '
    /^ *Latency / && !mean { mean = $2 }
    /^ *50% / { p50 = $2 }
    /^ *99% / { p99 = $2 }
    /^Requests\/sec:/ { rps = $2 }
    /Non-2xx or 3xx responses:/ { bad = $5 }
    END { printf "%-8s %-20s %12s %10s %10s %10s %8s\n", name, path, rps, mean, p50, p99, bad + 0 }
  ' "$work/$1.txt"
}
printf "%-8s %-20s %12s %10s %10s %10s %8s\n" "run" "path" "requests/s" "mean" "p50" "p99" "non-2xx"
summary static "$static_path"
summary dynamic "$dynamic_path"
static_rps="$(awk '/^Requests\/sec:/ { print $2 }' "$work/static.txt")"
dynamic_rps="$(awk '/^Requests\/sec:/ { print $2 }' "$work/dynamic.txt")"
awk -v s="$static_rps" -v d="$dynamic_rps" 'BEGIN { printf "ratio dynamic / static: %.2f\n", d / s }'
if grep -q "  500  " "$work/server.log"; then
  echo "server log:" >&2
  cat "$work/server.log" >&2
fi
