#!/usr/bin/env bash
# Builds the benchmark in Release and runs it offscreen; prints a table and
# writes the same figures to bench-results.json (or the path given).
#   ./bench.sh [FILE.json] [--quick] [--runs N] [--sizes 10000,100000] [--families [NAME]]
set -euo pipefail
cd "$(dirname "$0")"
source ./deps.sh
tagloom_install_missing
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAGLOOM_TESTS=OFF >/dev/null
cmake --build build-release --parallel "$(nproc)" --target tagloom-bench
out="$PWD/bench-results.json"
if [ $# -gt 0 ] && [[ "$1" != --* ]]; then out=$1; shift; fi
QT_QPA_PLATFORM=offscreen ./build-release/bench/tagloom-bench --json "$out" "$@"
