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

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTRIS_WERROR=ON "${launcher[@]}" >/dev/null
cmake --build build -j"$jobs"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j"$jobs"

# -O1 with line tables only halves the build and still names every line in a report; the
# assertions stay on. Any report ends the program that made it.
asan_gui=OFF
asan_targets=(--target base_tests cli_tests)
if [ "${VELTRIS_ASAN_GUI:-0}" = 1 ]; then
  asan_gui=ON
  asan_targets=()
fi
sanitizers="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTRIS_WERROR=ON \
  -DVELTRIS_GUI="$asan_gui" -DVELTRIS_BENCH=OFF -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" \
  -DCMAKE_CXX_FLAGS="$sanitizers" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  "${launcher[@]}" >/dev/null
cmake --build build-asan -j"$jobs" "${asan_targets[@]}"
# Leaks are reported for our code always; tests/lsan-system.supp names only leaks made inside
# system libraries (fontconfig, the Qt platform plugins, glib), which a program cannot free.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
LSAN_OPTIONS="suppressions=$PWD/tests/lsan-system.supp:print_suppressions=0" \
UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs"
