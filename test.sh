#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through CTest on the
# offscreen platform: once in the normal build, then again in a build with
# AddressSanitizer and UndefinedBehaviorSanitizer, where any report fails.
set -euo pipefail
cd "$(dirname "$0")"
source ./deps.sh
tagloom_install_missing "${TAGLOOM_TEST_PACKAGES[@]}"
# Ninja for a new build folder; one made by a plain "cmake -S . -B build" keeps its generator.
gen=(-G Ninja); [ -f build/CMakeCache.txt ] && gen=()
cmake -S . -B build "${gen[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --parallel "$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure --timeout 600 "$@"

# The sanitizer pass. Every report stops its process (halt_on_error), which
# fails its test; the output of every test, passed or not, is also searched
# for reports, so one that a test survives still fails the run. Leaks are
# checked at every exit, with no suppressions.
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAGLOOM_SANITIZE=ON
cmake --build build-asan --parallel "$(nproc)"
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1"
ASAN_OPTIONS+=":detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
junit=build-asan/ctest-results.xml
status=0
ctest --test-dir build-asan --output-on-failure --timeout 900 --output-junit "$PWD/$junit" \
  --test-output-size-passed 4000000 --test-output-size-failed 4000000 "$@" \
  || status=$?
if grep -E -n 'runtime error:|ERROR: (Address|Leak)Sanitizer' "$junit"; then
  echo "Sanitizer reports found in the test output ($junit)"
  status=1
fi
exit $status
