#!/usr/bin/env bash
# Installs what is missing on a Debian machine, builds, and runs every test:
# the suite in an optimised build, on the embedded file and (label
# "postgres") on a throw-away PostgreSQL cluster started for the run in a
# temporary folder and stopped at its end; the layering check of the
# includes; then the whole suite again, on the embedded file, in a build with
# AddressSanitizer and UndefinedBehaviorSanitizer, without the browser
# roads (SANITIZE=0 skips that second run, SANITIZE_BROWSER=1 adds the
# browser roads to it). POSTGRES=0 leaves the server out. The lines the last
# change touches must be formatted (scripts/check-format.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
"$(dirname "$0")/install-deps.sh"
jobs="$(nproc)"

scripts/check-layering.sh
scripts/check-format.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
if [ "${POSTGRES:-1}" != 0 ]; then
  source scripts/postgres.sh
  pg_dir="$(mktemp -d /tmp/zurva-test-pg.XXXXXX)"
  pg_port=$((20000 + RANDOM % 20000))
  trap 'pg_stop "$pg_dir"; rm -rf "$pg_dir"' EXIT
  pg_start "$pg_dir" "$pg_port"
  (cd build && ZURVA_TEST_POSTGRES="$pg_dir:$pg_port" ctest --output-on-failure -j"$jobs")
else
  (cd build && ctest --output-on-failure -j"$jobs" -LE postgres)
fi

if [ "${SANITIZE:-1}" != 0 ]; then
  asan_skip='postgres|browser'
  [ "${SANITIZE_BROWSER:-0}" != 0 ] && asan_skip='postgres'
  cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DZURVA_SANITIZE=ON -DZURVA_BUILD_BENCH=OFF >/dev/null
  cmake --build build-asan -j"$jobs"
  (cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure -j"$jobs" -LE "$asan_skip")
fi
