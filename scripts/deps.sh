#!/usr/bin/env bash
# Installs the Debian 12 packages the build needs, only when something is missing.
#   bash scripts/deps.sh          build and tests
#   bash scripts/deps.sh --fuzz   also what the fuzz targets need
set -euo pipefail
packages=(build-essential cmake ninja-build pkg-config
          qt6-base-dev qt6-base-dev-tools libgl-dev
          libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev libsqlite3-dev
          xvfb xauth fonts-dejavu-core
          qt6-translations-l10n fonts-wine)
packages+=(libxxhash-dev)  # the hash of file identities
packages+=(clang-format)   # the style check
packages+=(libxlsxwriter-dev libminizip-dev libexpat1-dev)  # workbooks written and read
packages+=(python3-openpyxl)  # the tests read the program's workbooks with another reader
# The sanitizer build uses g++'s own runtimes; the fuzz targets need clang and libFuzzer
# (scripts/fuzz.sh asks for them with --fuzz).
if [[ "${1:-}" == "--fuzz" ]]; then
  packages+=(clang libclang-rt-14-dev)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Устанавливаю недостающие пакеты: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
