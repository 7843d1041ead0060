#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing Nimbra need.
# Idempotent: quiet and quick when everything is present already.
set -euo pipefail

packages=(
  build-essential cmake ninja-build clang-format pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-declarative-dev qt6-declarative-dev-tools
  qt6-qpa-plugins libgl-dev
  qml6-module-qtqml qml6-module-qtqml-workerscript qml6-module-qtquick
  qml6-module-qtquick-controls qml6-module-qtquick-templates qml6-module-qtquick-window
  qml6-module-qtquick-layouts qml6-module-qttest qml6-module-qt-labs-platform
  xvfb xauth imagemagick fonts-noto-cjk
  python3 iproute2 util-linux libcap2-bin dpkg-dev file xdotool
)
packages+=(zbar-tools) # zbarimg reads the QR codes back in tests
if [ "${NIMBRA_WITH_WINE:-1}" = 1 ]; then
  packages+=(mingw-w64 wine64)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages: ${missing[*]}" >&2
  echo "install-deps: run as root (or install them with sudo apt-get install)" >&2
  exit 1
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq >/dev/null
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
