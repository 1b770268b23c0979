#!/usr/bin/env bash
# Builds Quorix and runs every test: the normal build, then the unit tests again
# under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

JOBS=$(nproc)

echo "== Build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$JOBS"

echo "== Tests"
ctest --test-dir build --output-on-failure -j "$JOBS"

if [[ "${QUORIX_SKIP_SANITIZERS:-0}" != 1 ]]; then
  echo "== Tests under AddressSanitizer and UndefinedBehaviorSanitizer"
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORIX_SANITIZE=ON \
    -DQUORIX_BUILD_BENCH=OFF -DQUORIX_BUILD_PANEL=OFF >/dev/null
  cmake --build build-asan -j "$JOBS"
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j "$JOBS" -LE no-sanitizer
fi
