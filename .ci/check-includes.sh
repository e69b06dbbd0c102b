#!/usr/bin/env bash
# Lists the includes between app/ and tags/ and fails when they point both
# ways: tags/ (the tag commands and their dialogs) builds on app/ (the
# documents, the editor, the main window), never the other way round; main/
# is the only place that includes both.
set -euo pipefail
cd "$(dirname "$0")/.."

headers_of() { (cd "$1" && ls -- *.h 2>/dev/null) | sort; }
# includes FROM TO: "file -> header" for each header of TO included in FROM.
includes() {
  local from=$1 to=$2 names
  names=$(headers_of "$to" | sed 's/[.]/[.]/g' | paste -sd'|')
  [ -n "$names" ] || return 0
  grep -HoE "^#include \"($names)\"" "$from"/*.cpp "$from"/*.h 2>/dev/null \
    | sed -E 's/:#include "(.*)"/ -> '"$to"'\/\1/' || true
}

up=$(includes tags app)
down=$(includes app tags)
echo "tags/ -> app/ ($(printf '%s' "$up" | grep -c . || true) includes):"
printf '%s\n' "$up" | sed '/^$/d; s/^/  /'
echo "app/ -> tags/ ($(printf '%s' "$down" | grep -c . || true) includes):"
printf '%s\n' "$down" | sed '/^$/d; s/^/  /'
if [ -n "$down" ]; then
  echo "app/ must not include tags/ headers: the two would include each other." >&2
  exit 1
fi
# Tag commands reach the main window through currentdocument.h only.
if printf '%s\n' "$up" | grep -E -- '-> app/mainwindow[.]h$' >&2; then
  echo "tags/ must not include mainwindow.h; use currentdocument.h." >&2
  exit 1
fi
echo "The includes between app/ and tags/ point one way."
