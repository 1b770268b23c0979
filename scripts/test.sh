#!/usr/bin/env bash
# Builds Quorix and runs every test:
#   1. the fuzz targets, each for a short bounded time (clang, libFuzzer);
#   2. the unit tests under AddressSanitizer and UndefinedBehaviorSanitizer;
#   3. the normal build with every test, end-to-end and browser tests included, and
#      the Debian packages built from it, checked with lintian and unpacked.
# QUORIX_SKIP_FUZZ=1 or QUORIX_SKIP_SANITIZERS=1 leave out steps 1 or 2;
# FUZZ_SECONDS sets the time per fuzz target (default 15).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

JOBS=$(nproc)

if [[ "${QUORIX_SKIP_FUZZ:-0}" != 1 ]]; then
  echo "== Fuzz targets"
  FUZZ_SECONDS="${FUZZ_SECONDS:-15}" bash scripts/fuzz.sh
fi

if [[ "${QUORIX_SKIP_SANITIZERS:-0}" != 1 ]]; then
  echo "== Unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORIX_SANITIZE=ON -DQUORIX_WERROR=ON \
    -DQUORIX_BUILD_BENCH=OFF -DQUORIX_BUILD_PANEL=OFF >/dev/null
  cmake --build build-asan -j "$JOBS"
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp" \
    ctest --test-dir build-asan --output-on-failure -j "$JOBS" -LE "no-sanitizer|e2e"
fi

echo "== Build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORIX_WERROR=ON >/dev/null
cmake --build build -j "$JOBS"

echo "== Debian packages"
bash scripts/package_test.sh build

echo "== Tests"
ctest --test-dir build --output-on-failure -j "$JOBS"
