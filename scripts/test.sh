#!/usr/bin/env bash
# Checks the code's format, builds everything and runs every test (GUI tests offscreen), then
# builds it all again under AddressSanitizer and UBSan (build-asan/) and runs every test there with
# leak detection on. VELTRIS_ASAN_GUI=0 leaves the window's test programs out of the second run
# (about half its time on two cores).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
jobs=$(nproc)
# The code is in the style of .clang-format before anything is built.
bash scripts/format.sh --check

# Compiler results are kept between runs when ccache is there. Paths inside the checkout are
# hashed relative to it, so another clone of the same sources reuses them.
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="$PWD"
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

cmake --preset dev "${launcher[@]}" >/dev/null
cmake --build build -j"$jobs"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j"$jobs"

# The asan preset: -O1 with line tables only halves the build and still names every line in a
# report; the assertions stay on. Any report ends the program that made it. Leaks are reported
# for our code always; tests/lsan-system.supp (set by the preset) names only leaks made inside
# system libraries, which a program cannot free.
asan_gui=ON
asan_targets=()
if [ "${VELTRIS_ASAN_GUI:-1}" = 0 ]; then
  asan_gui=OFF
  asan_targets=(--target base_tests cli_tests)
fi
cmake --preset asan -DVELTRIS_GUI="$asan_gui" "${launcher[@]}" >/dev/null
cmake --build build-asan -j"$jobs" "${asan_targets[@]}"
ctest --preset asan -j"$jobs"
