#!/usr/bin/env bash
# Builds every fuzz target (tests/fuzz/*_fuzz.cc) with clang, libFuzzer and
# AddressSanitizer in build-fuzz/, then runs each for a bounded time.
# FUZZ_SECONDS sets the time per target (default 20). Fails on the first crash;
# the crashing input is kept in build-fuzz/fuzz-artifacts/.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"
seconds="${FUZZ_SECONDS:-20}"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUORIX_FUZZ=ON -DQUORIX_BUILD_TESTS=ON -DQUORIX_BUILD_BENCH=OFF -DQUORIX_BUILD_PANEL=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address -fno-omit-frame-pointer" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address" >/dev/null

targets=()
for source in "$root"/tests/fuzz/*_fuzz.cc; do
  targets+=("$(basename "$source" .cc)")
done
cmake --build "$build" -j2 --target "${targets[@]}"

mkdir -p "$build/fuzz-artifacts"
for target in "${targets[@]}"; do
  # Work on a copy so that what the fuzzer learns never lands in the source tree.
  corpus="$build/fuzz-corpus/$target"
  mkdir -p "$corpus"
  if [[ -d "$root/tests/fuzz/corpus/$target" ]]; then
    cp -n "$root/tests/fuzz/corpus/$target"/* "$corpus"/ 2>/dev/null || true
  fi
  echo "== $target: ${seconds} s"
  if ! "$build/tests/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -max_len=65536 -print_final_stats=1 \
      -artifact_prefix="$build/fuzz-artifacts/$target-" "$corpus"; then
    echo "FAILED: $target (see $build/fuzz-artifacts/)" >&2
    exit 1
  fi
done
echo "All fuzz targets ran ${seconds} s each without a crash."
