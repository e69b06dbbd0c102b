#!/usr/bin/env bash
# Builds the benchmark in Release and runs it offscreen; prints a table and
# writes the same figures to bench-results.json (or the path given).
#   ./bench.sh [FILE.json] [--quick] [--runs N] [--sizes 10000,100000] [--families [NAME]]
#   ./bench.sh --folder        # the folder pane alone: a site of 20,000 files
# Side by side with another revision (built in .bench-against/REV), one run:
#   ./bench.sh --against REV [--runs N] [--sizes 10000,100000] [--rows memory,bench]
#              [--bench-args "--quick --runs 3"]
set -euo pipefail
cd "$(dirname "$0")"
source ./deps.sh
tagloom_install_missing
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
build_release() { # source folder, build folder, targets
  local src=$1 dir=$2
  shift 2
  cmake -S "$src" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAGLOOM_TESTS=OFF \
    "${launcher[@]}" >/dev/null
  cmake --build "$dir" --parallel "$(nproc)" --target "$@"
}
if [ "${1:-}" = --against ]; then
  [ $# -ge 2 ] || { echo "usage: ./bench.sh --against REV [options]" >&2; exit 2; }
  rev=$(git rev-parse --verify "$2^{commit}")
  shift 2
  # The other revision in a worktree of its own, kept for the next run.
  tree=.bench-against/$rev
  [ -e "$tree/.git" ] || git worktree add --detach "$tree" "$rev" >/dev/null
  build_release . build-release tagloom-html tagloom-bench tagloom-compare
  build_release "$tree" "$tree/build-release" tagloom-html
  # A revision from before the benchmark has no bench rows: they say n/a.
  build_release "$tree" "$tree/build-release" tagloom-bench || true
  exec ./build-release/bench/tagloom-compare --new "$PWD/build-release" \
    --old "$PWD/$tree/build-release" "$@"
fi
build_release . build-release tagloom-bench
out="$PWD/bench-results.json"
if [ $# -gt 0 ] && [[ "$1" != --* ]]; then out=$1; shift; fi
QT_QPA_PLATFORM=offscreen ./build-release/bench/tagloom-bench --json "$out" "$@"
