#!/usr/bin/env bash
# Lists the includes between app/ and tags/ and fails when they point both
# ways: tags/ (the tag commands and their dialogs) builds on app/ (the
# documents, the editor, the main window), never the other way round; main/
# is the only place that includes both. Within app/, the modules (a .h with
# its .cpp) include one another without a loop, so that the lowest of them
# (text files, errors) build and test without the ones above.
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

# Module loops within app/: "module header" edges, sorted by tsort, which
# names every loop it finds.
edges=$(for f in app/*.cpp app/*.h; do
  m=$(basename "${f%.*}")
  { grep -oE '^#include "[^"/]+[.]h"' "$f" || true; } | sed -E 's/#include "(.*)[.]h"/\1/' |
    while read -r h; do
      if [ -f "app/$h.h" ] && [ "$h" != "$m" ]; then echo "$m $h"; fi
    done
done | sort -u)
echo "app/ modules: $(printf '%s\n' "$edges" | grep -c .) includes between them."
if ! loops=$(printf '%s\n' "$edges" | tsort 2>&1 >/dev/null) || [ -n "$loops" ]; then
  echo "Modules of app/ include one another in a loop:" >&2
  printf '%s\n' "$loops" | sed -n 's/^tsort: \([^/ ]*\)$/  \1/p' >&2
  exit 1
fi
echo "The modules of app/ include one another without a loop."
