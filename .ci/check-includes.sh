#!/usr/bin/env bash
# Checks that the includes of the sources point down the layers, and lists
# them. app/ holds one folder per layer, named below from the bottom up: a
# file includes headers of its own folder and of the folders below it, never
# of one above. tags/ (the tag commands and their dialogs) builds on app/,
# never the other way round, and reaches the main window only through
# currentdocument.h; main/ is the only place that includes both. Across all
# of app/, the modules (a .h with its .cpp) include one another without a
# loop, so that the lowest of them build and test without the ones above.
set -euo pipefail
cd "$(dirname "$0")/.."

layers=(base text markup files document editor ui panes window features frame)

fail=0
# Every folder of app/ is a layer named here, and every layer is a folder.
for d in app/*/; do
  d=${d%/}; d=${d#app/}
  if ! printf '%s\n' "${layers[@]}" | grep -qx -- "$d"; then
    echo "app/$d is not a known layer; add it to the list in $0." >&2
    fail=1
  fi
done
for l in "${layers[@]}"; do
  [ -d "app/$l" ] || { echo "Layer app/$l has no folder." >&2; fail=1; }
done
[ -z "$(ls app/*.* 2>/dev/null)" ] || { echo "Files at the top of app/; each belongs in a layer." >&2; fail=1; }

# Where each app header lives: "name.h rank folder".
declare -A rank_of folder_of
for i in "${!layers[@]}"; do
  for h in app/"${layers[$i]}"/*.h app/"${layers[$i]}"/*.inc; do
    [ -f "$h" ] || continue
    rank_of[$(basename "$h")]=$i
    folder_of[$(basename "$h")]=${layers[$i]}
  done
done

# includes_of FILE: the quoted include names of FILE, one per line.
includes_of() { { grep -oE '^#include "[^"/]+"' "$1" || true; } | sed -E 's/#include "(.*)"/\1/'; }

# Layers point down.
count=0
for i in "${!layers[@]}"; do
  for f in app/"${layers[$i]}"/*; do
    while read -r h; do
      [ -n "$h" ] && [ -n "${rank_of[$h]:-}" ] || continue
      count=$((count + 1))
      if [ "${rank_of[$h]}" -gt "$i" ]; then
        echo "$f includes $h of app/${folder_of[$h]}, a layer above its own." >&2
        fail=1
      fi
    done < <(includes_of "$f")
  done
done
echo "app/: $count includes between its headers, across ${#layers[@]} layers: ${layers[*]}."

# tags/ builds on app/, never the reverse.
tag_headers=$(cd tags && ls -- *.h | sort)
up=0
for f in tags/*; do
  while read -r h; do
    [ -n "$h" ] && [ -n "${rank_of[$h]:-}" ] || continue
    up=$((up + 1))
    if [ "$h" = mainwindow.h ]; then
      echo "$f includes mainwindow.h; tags/ reaches the main window through currentdocument.h." >&2
      fail=1
    fi
  done < <(includes_of "$f")
done
echo "tags/ -> app/: $up includes."
for f in app/*/*; do
  while read -r h; do
    if [ -n "$h" ] && printf '%s\n' "$tag_headers" | grep -qx -- "$h"; then
      echo "$f includes tags/$h: app/ must not include tags/ headers." >&2
      fail=1
    fi
  done < <(includes_of "$f")
done

# Module loops across app/: "module header" edges, sorted by tsort, which
# names every loop it finds (two modules of one layer may still loop).
edges=$(for f in app/*/*.cpp app/*/*.h; do
  m=$(basename "${f%.*}")
  includes_of "$f" | while read -r h; do
    if [ -n "$h" ] && [ -n "${rank_of[$h]:-}" ] && [ "${h%.h}" != "$m" ] && [ "${h%.h}" != "$h" ]; then
      echo "$m ${h%.h}"
    fi
  done
done | sort -u)
if ! loops=$(printf '%s\n' "$edges" | tsort 2>&1 >/dev/null) || [ -n "$loops" ]; then
  echo "Modules of app/ include one another in a loop:" >&2
  printf '%s\n' "$loops" | sed -n 's/^tsort: \([^/ ]*\)$/  \1/p' >&2
  fail=1
fi
echo "app/ modules: $(printf '%s\n' "$edges" | grep -c .) includes between them, no loop."

if [ "$fail" -ne 0 ]; then
  exit 1
fi
echo "Every include points down the layers."
