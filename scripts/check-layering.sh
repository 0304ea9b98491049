#!/usr/bin/env bash
# Checks the project's layering by its #include lines:
#   - the host (host/, host/serve/ included) never includes the component or
#     the site: framework/, helpers/, profile/, members/, search/, showcase/,
#     interaction/, site/;
#   - the runtime includes nothing above it (host/, db/, the component, site/);
#   - nothing outside db/ includes a db/ header other than db/db.h (the tests
#     of the database layer under tests/db/ may reach its internals).
# Prints every offending line and exits with 1 when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."
component='(framework|helpers|profile|members|search|showcase|interaction|site)/'
status=0
report() {
  if [ -n "$2" ]; then
    echo "$1:"
    echo "$2" | sed 's/^/  /'
    status=1
  fi
}
includes() { grep -rnE '^\s*#\s*include\s+"' "$@" --include='*.h' --include='*.cpp' 2>/dev/null || true; }

report "the host includes the component or the site" \
  "$(includes host | grep -E "\"$component" || true)"
report "the runtime includes a layer above it" \
  "$(includes runtime | grep -E "\"(host|db|$component)" || true)"
report "a db/ header other than db/db.h is included outside db/" \
  "$(includes framework helpers profile members search showcase interaction site host runtime bench tests \
      | grep -vE '^tests/db/' | grep -E '"db/' | grep -vE '"db/db\.h"' || true)"
if [ "$status" -eq 0 ]; then echo "layering: ok"; fi
exit "$status"
