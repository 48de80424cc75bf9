#!/usr/bin/env bash
# Builds everything and runs every test (GUI tests offscreen).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTRIS_WERROR=ON >/dev/null
cmake --build build -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j"$(nproc)"
