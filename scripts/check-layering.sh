#!/usr/bin/env bash
# Checks the project's layering by its #include lines. The floors, lowest
# first; a folder includes only the folders listed for it (and itself):
#   runtime/      nothing
#   host/         runtime/ (the page host never includes the component)
#   db/           runtime/
#   model/        runtime/ (the member's data: packed columns, code tables,
#                 regions)
#   framework/    runtime/ host/ db/ model/
#   helpers/      the floors below it and framework/
#   profile/ members/ search/ showcase/ interaction/ (the page folders)
#                 the floors below them and helpers/, never one another
#   host/serve/   runtime/ host/ db/ (the HTTP server never includes the
#                 component or the site; it reaches the database only to keep
#                 sessions shared by several instances)
#   site/         anything
# Besides, nothing outside db/ includes a db/ header other than db/db.h (the
# tests of the database layer under tests/db/ may reach its internals).
# Prints every offending line and exits with 1 when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."
status=0
report() {
  if [ -n "$2" ]; then
    echo "$1:"
    echo "$2" | sed 's/^/  /'
    status=1
  fi
}
includes() { grep -rnE '^\s*#\s*include\s+"' "$@" --include='*.h' --include='*.cpp' 2>/dev/null || true; }

# What each folder may include besides itself, as a pattern of folder names.
below_component='runtime|host|db|model'
declare -A allowed=(
  [runtime]=''
  [host]='runtime'
  [db]='runtime'
  [model]='runtime'
  [framework]="$below_component"
  [helpers]="$below_component|framework"
  [profile]="$below_component|framework|helpers"
  [members]="$below_component|framework|helpers"
  [search]="$below_component|framework|helpers"
  [showcase]="$below_component|framework|helpers"
  [interaction]="$below_component|framework|helpers"
  [host/serve]='runtime|host|db'
)
for folder in runtime host db model framework helpers profile members search showcase interaction \
  host/serve; do
  files=$(includes "$folder")
  # host/ is checked without host/serve/, which has its own floor.
  if [ "$folder" = host ]; then files=$(echo "$files" | grep -vE '^host/serve/' || true); fi
  pattern="${allowed[$folder]}"
  pattern="${pattern:+$pattern|}$folder"
  offending=$(echo "$files" | grep -E '"[^"]*/' | grep -vE "\"($pattern)/" || true)
  # host/serve/ is a floor of its own: host/ may not include it.
  if [ "$folder" = host ]; then
    offending+=$(echo "$files" | grep -E '"host/serve/' || true)
  fi
  report "$folder/ includes a folder it may not" "$offending"
done
report "a db/ header other than db/db.h is included outside db/" \
  "$(includes framework helpers model profile members search showcase interaction site host runtime bench \
      tests | grep -vE '^tests/db/' | grep -E '"db/' | grep -vE '"db/db\.h"' || true)"
if [ "$status" -eq 0 ]; then echo "layering: ok"; fi
exit "$status"
