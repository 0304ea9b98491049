#!/usr/bin/env bash
# Checks that the lines a change touches are formatted by the project's
# .clang-format, so long lines and stray layouts stop growing without
# reformatting whole files. The change is everything since FORMAT_BASE (by
# default the commit before HEAD: on a merge, the whole branch it brings in).
# Prints the formatting the lines need and fails when there is any.
set -euo pipefail
cd "$(dirname "$0")/.."
base="${FORMAT_BASE:-HEAD~1}"
if ! git rev-parse --verify -q "$base^{commit}" >/dev/null; then
  echo "check-format: no commit $base to compare with; nothing checked"
  exit 0
fi
out="$(git clang-format --quiet --diff --extensions cpp,h,cc,hpp "$base" -- . 2>&1 || true)"
if [ -n "$out" ] && [ "$out" != "no modified files to format" ] &&
   [ "$out" != "clang-format did not modify any files" ]; then
  echo "$out"
  echo "check-format: the lines above, changed since $base, are not formatted (git clang-format $base)"
  exit 1
fi
