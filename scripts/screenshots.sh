#!/usr/bin/env bash
# Renders the main window on each page with a sample base, and every dialog, into docs/screenshots.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" --target tst_screenshots tst_csvimport veltris_data -j"$(nproc)"
mkdir -p docs/screenshots
QT_QPA_PLATFORM=offscreen VELTRIS_SCREENSHOTS_DIR="$PWD/docs/screenshots" "$BUILD/bin/tst_screenshots"
# The import dialog over a spreadsheet file with a bad cell.
QT_QPA_PLATFORM=offscreen VELTRIS_SCREENSHOTS_DIR="$PWD/docs/screenshots" "$BUILD/bin/tst_csvimport" \
  previewMarksTheBadCellAndRecordsGoIntoTheOpenBase >/dev/null
ls docs/screenshots
