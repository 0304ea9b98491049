#!/usr/bin/env bash
# Installs what is missing on a Debian machine, builds, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
"$(dirname "$0")/install-deps.sh"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
cd build
ctest --output-on-failure -j"$(nproc)"
