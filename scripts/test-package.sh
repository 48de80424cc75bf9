#!/usr/bin/env bash
# Builds the Debian package (cpack -G DEB), installs it on this machine, runs qdb and veltris from
# the installation on an installed sample base, and removes the package again. Run as root.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build-package}
bash scripts/deps.sh
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
if dpkg-query -W -f='${Status}' veltris 2>/dev/null | grep -q "install ok installed"; then
  echo "Пакет veltris уже установлен: проверка его не трогает." >&2
  exit 1
fi

# A folder of its own without tests and benchmarks; BUILD=build reuses a configured build.
if [ ! -f "$BUILD/CMakeCache.txt" ]; then
  if [ "$BUILD" = build-package ]; then
    cmake --preset package >/dev/null
  else
    cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF \
          -DVELTRIS_BENCH=OFF >/dev/null
  fi
fi
cmake --build "$BUILD" -j"$(nproc)"
rm -f "$BUILD"/veltris_*.deb
(cd "$BUILD" && cpack -G DEB >/dev/null)
deb=$(ls "$BUILD"/veltris_*.deb)
echo "Пакет: $deb"
dpkg-deb --field "$deb" Package Version Depends

remove() { $SUDO env DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq veltris >/dev/null || true; }
trap remove EXIT
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "./$deb" >/dev/null

for f in /usr/bin/veltris /usr/bin/qdb /usr/share/veltris/bipolar.ini /usr/share/veltris/veltris.html \
         /usr/share/veltris/TRANS /usr/share/veltris/samples/bipolar.QDB \
         /usr/share/applications/veltris.desktop /usr/share/mime/packages/veltris.xml \
         /usr/share/icons/hicolor/48x48/apps/veltris.png; do
  [ -e "$f" ] || { echo "Нет установленного файла $f" >&2; exit 1; }
done

# qdb finds the installed catalogue by itself.
(cd / && qdb info /usr/share/veltris/samples/bipolar.QDB)

# veltris starts on an installed sample with a fresh home (its settings go to ~/.config/veltris)
# and is still running three seconds later.
home=$(mktemp -d)
env -u XDG_CONFIG_HOME HOME="$home" QT_QPA_PLATFORM=offscreen veltris /usr/share/veltris/samples/bipolar.QDB &
pid=$!
sleep 3
if ! kill -0 "$pid" 2>/dev/null; then
  wait "$pid" || true
  echo "veltris завершился сам в первые 3 секунды" >&2
  exit 1
fi
kill -TERM "$pid"
wait "$pid" || true
if ! grep -q "/usr/share/veltris/samples" "$home/.config/veltris/veltris.INI"; then
  echo "Первый запуск не записал настройки в ~/.config/veltris" >&2
  exit 1
fi
rm -rf "$home"
echo "Пакет установлен, qdb и veltris работают из установки; пакет удаляется."
