#!/usr/bin/env bash
# Opens a database file of the site in the sqlite3 shell with the project's
# SQLite extension loaded: the collation ZV of the text columns and the SQL
# functions of the search indexes and the dialect (zv_left, zv_int, …), which
# the plain shell lacks ("no such collation sequence: ZV"). Checks and queries
# then work as on any SQLite file:
#
#   scripts/sqlite-shell.sh data/zurva.db "PRAGMA integrity_check"
#   scripts/sqlite-shell.sh data/zurva.db            (interactive)
#
# Further arguments go to sqlite3. The extension is libzurva_sqlite.so of the
# build folder (BUILD_DIR, default build; made by
# "cmake --build build --target zurva_sqlite"), or the file named by
# ZURVA_SQLITE_EXTENSION.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
if [ $# -lt 1 ]; then
  echo "usage: $0 DATABASE [SQL…]" >&2
  exit 2
fi
extension="${ZURVA_SQLITE_EXTENSION:-$root/${BUILD_DIR:-build}/libzurva_sqlite.so}"
if [ ! -f "$extension" ]; then
  echo "$0: no extension at $extension; build it with: cmake --build ${BUILD_DIR:-build} --target zurva_sqlite" >&2
  exit 1
fi
command -v sqlite3 >/dev/null || "$root/scripts/install-deps.sh"
exec sqlite3 -cmd ".load '$extension' sqlite3_zurvasqlite_init" "$@"
