#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through CTest on the
# offscreen platform.
set -euo pipefail
cd "$(dirname "$0")"
source ./deps.sh
tagloom_install_missing
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --parallel "$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure --timeout 600 "$@"
