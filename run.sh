#!/usr/bin/env bash
# Installs what is missing, builds, and starts the editor in the current
# working directory (copying the shipped vezezu.ini there when none exists).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/deps.sh"
tagloom_install_missing
# Ninja for a new build folder; one made by a plain "cmake -S . -B build" keeps its generator.
gen=(-G Ninja); [ -f "$here/build/CMakeCache.txt" ] && gen=()
cmake -S "$here" -B "$here/build" "${gen[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$here/build" --parallel "$(nproc)" --target tagloom-html
[ -e vezezu.ini ] || cp "$here/vezezu.ini" ./vezezu.ini
exec "$here/build/tagloom-html" "$@"
