#!/usr/bin/env bash
# Renders the main window on each page with a sample base, and every dialog, into docs/screenshots.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" --target tst_screenshots veltris_data -j"$(nproc)"
mkdir -p docs/screenshots
QT_QPA_PLATFORM="offscreen:configfile=$PWD/tests/gui/support/offscreen-1920x1080.json" VELTRIS_SCREENSHOTS_DIR="$PWD/docs/screenshots" "$BUILD/bin/tst_screenshots"
ls docs/screenshots
