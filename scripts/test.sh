#!/usr/bin/env bash
# Builds everything and runs every test (GUI tests offscreen), then builds the core and qdb
# tests again under AddressSanitizer and UBSan (build-asan/) and runs them with leak detection on.
# VELTRIS_ASAN_GUI=1 takes the window's test programs into the sanitizer run as well (offscreen);
# it doubles the time of a run on two cores, so CI leaves it out for now.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
jobs=$(nproc)

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
# report; the assertions stay on. Any report ends the program that made it.
asan_gui=OFF
asan_targets=(--target base_tests cli_tests)
if [ "${VELTRIS_ASAN_GUI:-0}" = 1 ]; then
  asan_gui=ON
  asan_targets=()
fi
cmake --preset asan -DVELTRIS_GUI="$asan_gui" "${launcher[@]}" >/dev/null
cmake --build build-asan -j"$jobs" "${asan_targets[@]}"
# Leaks are reported for our code always; tests/lsan-system.supp names only leaks made inside
# system libraries (fontconfig, the Qt platform plugins, glib), which a program cannot free.
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan-system.supp:print_suppressions=0"
ctest --preset asan -j"$jobs"
