#!/usr/bin/env bash
# Builds everything and runs every test (GUI tests offscreen), then builds the core and qdb
# tests again under AddressSanitizer and UBSan (build-asan/) and runs them.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTRIS_WERROR=ON >/dev/null
cmake --build build -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j"$(nproc)"

# -O1 with line tables only halves the build and still names every line in a report; the
# assertions stay on.
sanitizers="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTRIS_WERROR=ON \
  -DVELTRIS_GUI=OFF -DVELTRIS_BENCH=OFF -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" \
  -DCMAKE_CXX_FLAGS="$sanitizers" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build build-asan -j"$(nproc)" --target base_tests cli_tests
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j"$(nproc)"
