#!/usr/bin/env bash
# Installs what is missing on a Debian machine, builds, and runs every test:
# the suite in an optimised build, the layering check of the includes, then
# the whole suite again in a build with AddressSanitizer and
# UndefinedBehaviorSanitizer (SANITIZE=0 skips that second run).
set -euo pipefail
cd "$(dirname "$0")/.."
"$(dirname "$0")/install-deps.sh"
jobs="$(nproc)"

scripts/check-layering.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs")

if [ "${SANITIZE:-1}" != 0 ]; then
  cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DZURVA_SANITIZE=ON -DZURVA_BUILD_BENCH=OFF >/dev/null
  cmake --build build-asan -j"$jobs"
  (cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure -j"$jobs")
fi
