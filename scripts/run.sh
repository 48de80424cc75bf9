#!/usr/bin/env bash
# Builds Вельтрис and starts it; on first run its settings point the navigator at the bundled sample bases.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target veltris qdb veltris_data -j"$(nproc)"
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Нет графического дисплея: запускаю в виртуальном X-сервере (xvfb-run)."
  exec xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/veltris
fi
exec build/bin/veltris
