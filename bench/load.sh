#!/usr/bin/env bash
# Load benchmark of zurva-serve on loopback: wrk drives the static file and
# each page of the list below against the same server (a fresh demo database
# in a temporary data folder), in rounds; within a round the static file runs
# first and every page after it, so each page's ratio to the static file is
# taken under the same conditions. The script prints every run (with the
# server's CPU time per request, which other load on the machine disturbs
# far less than the rate), then for each page its mean requests per second
# and its ratio to the static file (the mean of the rounds' ratios, with the
# lowest and highest), and the same ratio of CPU time per request; last the
# server's peak resident memory (and its resident memory at the end).
#
#   bench/load.sh [seconds per run] [rounds]
#
# Environment: THREADS (wrk threads, 4), CONNECTIONS (32; below the server's
# worker_threads, 64, each connection keeps its worker; beyond it,
# connections take turns through the waiting room, see host/serve/workers.h),
# STATIC_PATH (/css.css), BUILD_DIR (build), SERVER (a zurva-serve binary to
# run instead of building one), SETTINGS (a JSON object whose keys replace
# those of config/zurva-serve.json; by default it lifts the login rate limit,
# which a benchmark that logs in continuously would hit; SETTINGS='{}' for a
# binary that predates the rate limit), MEMBERS or DEMO_MEMBERS (the demo
# database's size, 3000 as configured; seeding 100000 takes a while before the
# runs start), BALANCE (the E-money the demo member gets before the runs, so
# that her gifts and purchases go on being made; 100000000).
#
# BACKEND=postgres puts the demo database on a throw-away PostgreSQL cluster
# (scripts/postgres.sh, in the temporary folder) instead of the embedded
# file. INSTANCES=N runs N servers on consecutive ports (from PORT, 18080)
# sharing the database, the data folder and their sessions (kept in the
# database), and spreads each run's connections over them (one wrk each);
# the rates are their sum and the CPU time per request that of all of them.
# Either of the two first measures the default (the embedded file, one
# server) with the same settings and prints its figures beside: each page's
# ratio to the static file on both, and its rate and CPU per request against
# the default's.
set -euo pipefail
cd "$(dirname "$0")/.."

duration="${1:-5}"
rounds="${2:-3}"
threads="${THREADS:-4}"
connections="${CONNECTIONS:-32}"
static_path="${STATIC_PATH:-/css.css}"
build="${BUILD_DIR:-build}"
default_settings='{"rate_limit": {"paths": []}}'
settings="${SETTINGS:-$default_settings}"
MEMBERS="${MEMBERS:-${DEMO_MEMBERS:-}}"
if [ -n "${MEMBERS:-}" ]; then
  settings="$(jq -n --argjson s "$settings" --argjson n "$MEMBERS" '$s * {"database": {"demo_members": $n}}')"
fi
backend="${BACKEND:-file}"
instances="${INSTANCES:-1}"
base_port="${PORT:-18080}"
[[ "$backend" == file || "$backend" == postgres ]] || { echo "BACKEND is file or postgres" >&2; exit 2; }
[[ "$instances" =~ ^[1-9][0-9]*$ ]] || { echo "INSTANCES is a number" >&2; exit 2; }
if ((instances > 1)); then
  settings="$(jq -n --argjson s "$settings" '$s * {"sessions": {"store": "database"}}')"
fi

# The pages measured against the static file, one line each:
#   name  who  method  path  [form body]
# who: "-" a visitor, "member" the logged-in demo member (her signed cookie is
# sent; her gifts and purchases are paid from the balance BALANCE gave her), "searcher" the same member with the session of a search she posted,
# "searchers" as many searchers as connections, each with the session of her
# own search (one wrk thread per connection).
# A POST sends the body as a form, with a Referer of the site.
#
# The host runs the requests of one session one after the other, as a page
# host with session state does: every connection of "searcher" waits for the
# others, so that line shows the page's time for one visitor (requests/s is
# one over it) more than the rate the server can serve; "searchers" shows the
# rate for many visitors.
pages='
home          -       GET   /
city          -       GET   /city.asp?city=0&city1=0
newest        -       GET   /newmembers.asp
profile       -       GET   /userinfo.asp?id=1
album         -       GET   /xc.asp?id=1
quick_search_first -  GET   /quicksearch.asp?sex=577&agefrom=20&ageto=30&page=1
quick_search  -       GET   /quicksearch.asp?sex=577&agefrom=20&ageto=30&page=2
quick_search_last -   GET   /quicksearch.asp?sex=577&agefrom=20&ageto=30&page=999999
messages      -       GET   /demo/messages_index.asp
member_home   member  GET   /indexw.asp
member_profile member GET   /userinfo.asp?id=2
login_post    -       POST  /chklogin.asp  username=demo1%40example.com&password=demo123&log_type=1
message_send  member  POST  /userid_2_messagesend.html  content=hello
gift          member  POST  /sendsave.asp  to=2&id=2
purchase      member  POST  /save.asp  ORDERMONEY=1
search_result searcher GET  /result.asp
search_result_30 searcher GET /result.asp?page=30
search_results searchers GET /result.asp
'
# Pages measured while other connections load the server, one line each:
#   name  page  background page  background connections
# The name's ratio is also given to its page measured alone in the same round.
concurrent='
home_during_logins         home         login_post  2
member_home_during_logins  member_home  login_post  2
'

for tool in wrk jq curl sqlite3; do
  if ! command -v "$tool" >/dev/null; then
    sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq wrk jq curl sqlite3 >/dev/null
    break
  fi
done
server_binary="${SERVER:-}"
if [ -z "$server_binary" ]; then
  scripts/install-deps.sh
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j"$(nproc)" --target zurva-serve >/dev/null
  server_binary="$build/zurva-serve"
fi

# The default's figures first, when this run measures something else.
if [[ "$backend" != file || "$instances" != 1 ]] && [ -z "${BASELINE_OUT:-}" ]; then
  baseline="$(mktemp)"
  echo "== the default first: the embedded file, one server"
  BACKEND=file INSTANCES=1 BASELINE_OUT="$baseline" SERVER="$server_binary" "$0" "$duration" "$rounds"
  echo
  echo "== BACKEND=$backend INSTANCES=$instances"
fi

work="$(mktemp -d)"
servers=()
background=""
cleanup() {
  if [ -n "$background" ]; then kill "$background" 2>/dev/null || true; wait "$background" 2>/dev/null || true; fi
  for pid in "${servers[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${servers[@]}"; do wait "$pid" 2>/dev/null || true; done
  if [ "$backend" = postgres ]; then pg_stop "$work/pg"; fi
  rm -rf "$work" "${baseline:-}"
}
trap cleanup EXIT

if [ "$backend" = postgres ]; then
  source scripts/postgres.sh
  chmod 755 "$work"  # the cluster's owner (postgres, when run as root) reaches its folder
  pg_port=$((base_port + 10000 > 65535 ? base_port - 10000 : base_port + 10000))
  pg_start "$work/pg" "$pg_port"
  settings="$(jq -n --argjson s "$settings" --arg host "$work/pg" --argjson port "$pg_port" '$s * {
    "connection": {"SqlLocalName": "bench-pg", "SqlUserName": "web", "SqlPassword": "pw", "SqlDatabaseName": "zurva_bench_db"},
    "database": {"servers": [{"name": "bench-pg", "host": $host, "port": $port, "sslmode": "disable"}]}}')"
fi

# The demo site as scripts/serve.sh serves it (3,000 demo members unless
# MEMBERS says otherwise), with the settings above, a fresh database and any
# free port. A first server seeds the database and stops; the server measured
# starts on the seeded database, so that its memory is that of serving.
jq --argjson s "$settings" '. * $s' config/zurva-serve.json >"$work/config.json"
# start_server PORT: one more server on the shared data folder.
start_server() {
  local address="$work/address.${#servers[@]}"
  : >"$address"
  "$server_binary" --config "$work/config.json" --port "$1" --data "$work/data" >"$address" 2>>"$work/server.log" &
  servers+=($!)
  for _ in $(seq 30000); do
    grep -q "http://" "$address" && return 0
    kill -0 "${servers[-1]}" 2>/dev/null || { cat "$work/server.log" >&2; exit 1; }
    sleep 0.1
  done
  echo "the server did not start" >&2
  exit 1
}
# A first server seeds the database and stops.
start_server "$((instances > 1 ? base_port : 0))"
kill "${servers[0]}"
wait "${servers[0]}" || true
servers=()
urls=()
for ((k = 0; k < instances; k++)); do
  start_server "$((instances > 1 ? base_port + k : 0))"
  u="$(grep -o 'http://[^ ]*' "$work/address.$k")"
  urls+=("${u%/}")
done
url="${urls[0]}"
server="${servers[0]}"

# The demo member's cookie, as a browser gets it from the login form.
member_cookie="$(curl -s -D - -o /dev/null -H "Referer: $url/login.asp" \
  --data 'username=demo1%40example.com&password=demo123&log_type=1&inpass=1' "$url/chklogin.asp" |
  grep -io 'set-cookie: kalimo=[^;]*' | head -1 | cut -d' ' -f2 || true)"
[ -n "$member_cookie" ] || { echo "the demo member cannot log in" >&2; cat "$work/server.log" >&2; exit 1; }
# Money for her gifts and purchases (demo member 1), so that every one of
# them is paid and written rather than refused.
balance_sql="update zurva_user set emoney=${BALANCE:-100000000} where userid=1"
if [ "$backend" = postgres ]; then
  pg_psql "$work/pg" "$pg_port" -d zurva_bench_db -qc "$balance_sql" >/dev/null
else
  BUILD_DIR="$build" scripts/sqlite-shell.sh "$work/data/zurva.db" "$balance_sql" >/dev/null
fi

# The session of a search the demo member posted (women aged 20 to 30, the
# worked example's kind): the result page reads the search's condition there.
search_criteria='order=0&daynum=0&sex=577&agefrom=20&ageto=30&province1=0&city1=0&heightfrom=160'
search_criteria+='&heightto=180&degreefrom=122&degreeto=127&incomefrom=&incometo=&marystatus=&weightfrom='
search_criteria+='&weightto=&ancestor=&province=0&city=0&housesta=&job=&ptype=&mtype=&daynum1=0'
new_search_session() {
  curl -s -D - -o /dev/null -H "Cookie: $member_cookie" -H "Referer: $url/search.asp" \
    --data "$search_criteria" "$url/zurvarasult.asp" |
    grep -io 'set-cookie: ZURVASESSIONID=[^;]*' | head -1 | cut -d' ' -f2 || true
}
search_session="$(new_search_session)"
[ -n "$search_session" ] || { echo "the demo member cannot search" >&2; cat "$work/server.log" >&2; exit 1; }
# One more session per connection for "searchers".
search_sessions=()
for _ in $(seq "$connections"); do search_sessions+=("$(new_search_session)"); done

# One wrk script per page: method, body and headers.
lua_string() { jq -Rn --arg s "$1" '$s'; }
while read -r name who method path body; do
  [ -n "$name" ] || continue
  {
    echo "wrk.method = $(lua_string "$method")"
    echo "wrk.path = $(lua_string "$path")"
    if [ "$who" = member ]; then echo "wrk.headers[\"Cookie\"] = $(lua_string "$member_cookie")"; fi
    if [ "$who" = searcher ]; then
      echo "wrk.headers[\"Cookie\"] = $(lua_string "$member_cookie; $search_session")"
    fi
    if [ "$who" = searchers ]; then
      # Each thread (one connection) gets its own session's cookie.
      echo "local cookies = {"
      for session in "${search_sessions[@]}"; do echo "  $(lua_string "$member_cookie; $session"),"; done
      echo "}"
      echo "local threads = 0"
      echo "function setup(thread) threads = threads + 1; thread:set(\"cookie\", cookies[(threads - 1) % #cookies + 1]) end"
      echo "function init(args) wrk.headers[\"Cookie\"] = cookie end"
    fi
    if [ "$method" = POST ]; then
      echo "wrk.body = $(lua_string "${body:-}")"
      echo 'wrk.headers["Content-Type"] = "application/x-www-form-urlencoded"'
      echo "wrk.headers[\"Referer\"] = $(lua_string "$url/login.asp")"
    fi
  } >"$work/$name.lua"
done <<<"$pages"
echo "wrk.path = $(lua_string "$static_path")" >"$work/static.lua"

# The servers' CPU time so far, in clock ticks.
ticks() { for pid in "${servers[@]}"; do cat "/proc/$pid/stat"; done | awk '{ t += $14 + $15 } END { print t }'; }
# run NAME CONNECTIONS OUTPUT [THREADS]: one wrk run of a page's script, its
# connections spread over the servers; OUTPUT.cpu gets the servers' CPU
# ticks during the run. With several servers, OUTPUT holds the sum of their
# rates and requests, and the latencies seen on the first.
run() {
  local before; before="$(ticks)"
  local t="${4:-$(( $2 < threads ? $2 : threads ))}"
  if ((instances == 1)); then
    wrk -t"$t" -c"$2" -d"${duration}s" --latency -s "$work/$1.lua" "$url" >"$3"
  else
    local c=$(( ($2 + instances - 1) / instances )) k
    t=$(( (t + instances - 1) / instances ))
    local runs=()
    for ((k = 0; k < instances; k++)); do
      wrk -t"$t" -c"$c" -d"${duration}s" --latency -s "$work/$1.lua" "${urls[$k]}" >"$3.$k" &
      runs+=($!)
    done
    wait "${runs[@]}"
    # The summed line reads as wrk's own (" requests in " and the time), so
    # that the summary finds the request count the CPU time is divided by.
    awk -v duration="$duration" 'FNR == NR && !/requests in|Requests\/sec|Non-2xx/ { print }
         / requests in / { requests += $1 } /^Requests\/sec:/ { rps += $2 } /Non-2xx or 3xx responses:/ { bad += $5 }
         END { printf "  %d requests in %ss\nRequests/sec: %.2f\n", requests, duration, rps; if (bad) printf "  Non-2xx or 3xx responses: %d\n", bad }' \
      "$3".[0-9]* >"$3"
  fi
  echo $(( $(ticks) - before )) >"$3.cpu"
}
hz="$(getconf CLK_TCK)"
# Requests/sec, mean, 50% and 99% latency, non-2xx answers and the server's
# CPU microseconds per request of one run (a run beside a background load
# shares the server's CPU time with it).
summary() {  # round name path file
  awk -v round="$1" -v name="$2" -v path="$3" -v hz="$hz" -v ticks="$(cat "$4.cpu")" '
    /^ *Latency / && !mean { mean = $2 }
    /^ *50% / { p50 = $2 }
    /^ *99% / { p99 = $2 }
    / requests in / { requests = $1 }
    /^Requests\/sec:/ { rps = $2 }
    /Non-2xx or 3xx responses:/ { bad = $5 }
    END { printf "%-5s %-27s %-38s %10s %9s %9s %9s %7s %8.1f\n", round, name, substr(path, 1, 38), rps, mean, p50, p99,
                 bad + 0, requests ? ticks * 1e6 / hz / requests : 0 }
  ' "$4"
}
rps() { awk '/^Requests\/sec:/ { print $2 }' "$1"; }
cpu() { awk -v hz="$hz" -v ticks="$(cat "$1.cpu")" '/ requests in / { print ticks * 1e6 / hz / $1 }' "$1"; }

echo "zurva-serve at ${urls[*]} ($backend); wrk -t$threads -c$connections -d${duration}s --latency; $rounds rounds, static file first"
printf "%-5s %-27s %-38s %10s %9s %9s %9s %7s %8s\n" round run path requests/s mean p50 p99 non-2xx cpu_us
: >"$work/ratios"
for round in $(seq "$rounds"); do
  run static "$connections" "$work/static.$round"
  summary "$round" static "$static_path" "$work/static.$round"
  static_rps="$(rps "$work/static.$round")"
  static_cpu="$(cpu "$work/static.$round")"
  while read -r name who method path body; do
    [ -n "$name" ] || continue
    page_threads=""
    if [ "$who" = searchers ]; then page_threads="$connections"; fi
    run "$name" "$connections" "$work/$name.$round" $page_threads
    summary "$round" "$name" "$method $path" "$work/$name.$round"
    echo "$name $(rps "$work/$name.$round") $static_rps - $(cpu "$work/$name.$round") $static_cpu" >>"$work/ratios"
  done <<<"$pages"
  while read -r name page load load_connections; do
    [ -n "$name" ] || continue
    run "$load" "$load_connections" "$work/$name.background.$round" &
    background=$!
    sleep 0.5
    run "$page" "$connections" "$work/$name.$round"
    wait "$background"
    background=""
    summary "$round" "$name" "$page + $load_connections x $load" "$work/$name.$round"
    summary "$round" "  (background)" "$load" "$work/$name.background.$round"
    echo "$name $(rps "$work/$name.$round") $static_rps $(rps "$work/$page.$round") - -" >>"$work/ratios"
  done <<<"$concurrent"
done

echo
echo "page                         mean req/s   ratio to static (lowest-highest)   cpu ratio   ratio to the page alone"
# The means per page, for a run measured beside this one: name, req/s,
# ratio, CPU microseconds per request.
awk '{ n[$1]++; r[$1] += $2; q[$1] += $2 / $3; if ($5 != "-") c[$1] += $5 }
     END { for (k in n) printf "%s %.1f %.4f %.1f\n", k, r[k] / n[k], q[k] / n[k], c[k] / n[k] }' \
  "$work/ratios" >"$work/means"
if [ -n "${BASELINE_OUT:-}" ]; then cp "$work/means" "$BASELINE_OUT"; fi
awk '
  { n[$1]++; r[$1] += $2; q = $2 / $3; s[$1] += q
    if (!($1 in lo) || q < lo[$1]) lo[$1] = q
    if (!($1 in hi) || q > hi[$1]) hi[$1] = q
    if ($4 != "-") a[$1] += $2 / $4
    if ($5 != "-" && $5 > 0) c[$1] += $6 / $5
    if (!($1 in order)) { order[$1] = ++count; names[count] = $1 } }
  END { for (i = 1; i <= count; i++) { k = names[i]
          alone = k in a ? sprintf("%.2f", a[k] / n[k]) : ""
          cr = k in c ? sprintf("%.3f", c[k] / n[k]) : ""
          printf "%-28s %10.0f   %5.3f (%5.3f-%5.3f)        %9s   %s\n", k, r[k] / n[k], s[k] / n[k], lo[k], hi[k], cr, alone } }
' "$work/ratios"
if [ -n "${baseline:-}" ] && [ -s "$baseline" ]; then
  echo
  echo "beside the default (the embedded file, one server): BACKEND=$backend INSTANCES=$instances"
  echo "page                         ratio  default  ratio/default   req/s  default    x   cpu_us  default    x"
  awk 'FNR == NR { r[$1] = $2; q[$1] = $3; c[$1] = $4; next }
       ($1 in r) { printf "%-28s %5.3f  %7.3f  %13.2f  %6.0f  %7.0f %5.2f  %7.1f  %7.1f %5.2f\n",
                   $1, $3, q[$1], q[$1] ? $3 / q[$1] : 0, $2, r[$1], r[$1] ? $2 / r[$1] : 0, $4, c[$1], c[$1] ? $4 / c[$1] : 0 }' \
    "$baseline" "$work/means" | sort
fi
# The server's peak resident memory over the whole run, and what it holds now.
awk '/^VmHWM:/ { peak = $2 } /^VmRSS:/ { now = $2 }
     END { printf "\nserver memory: peak resident %.1f MB, resident at the end %.1f MB\n", peak / 1024, now / 1024 }' \
  "/proc/$server/status"
if grep -q "  500  " "$work/server.log"; then
  echo "server log:" >&2
  cat "$work/server.log" >&2
fi
