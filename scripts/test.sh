#!/usr/bin/env bash
# Builds everything and runs every test (GUI tests offscreen), then builds the core and qdb
# tests again under AddressSanitizer and UBSan (build-asan/) and runs them.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset dev >/dev/null
cmake --build build -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j"$(nproc)"

# The asan preset: -O1 with line tables only halves the build and still names every line in a
# report; the assertions stay on.
cmake --preset asan >/dev/null
cmake --build build-asan -j"$(nproc)" --target base_tests cli_tests
ctest --preset asan -j"$(nproc)"
