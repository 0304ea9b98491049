#!/usr/bin/env bash
# Installs what is missing on a Debian machine, builds, and serves the demo site
# on loopback (the demo database is created and seeded on first run).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target zurva-serve
exec build/zurva-serve --config config/zurva-serve.json "$@"
