#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through CTest on the
# offscreen platform.
set -euo pipefail
cd "$(dirname "$0")"
source ./deps.sh
tagloom_install_missing
# Ninja for a new build folder; one made by a plain "cmake -S . -B build" keeps its generator.
gen=(-G Ninja); [ -f build/CMakeCache.txt ] && gen=()
cmake -S . -B build "${gen[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --parallel "$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure --timeout 600 "$@"
