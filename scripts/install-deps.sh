#!/usr/bin/env bash
# Installs the Debian 12 packages Nimbra needs, in two sets:
#   scripts/install-deps.sh run    building and running the app (scripts/run.sh)
#   scripts/install-deps.sh test   the above, plus what only the tests need (the default)
# A second argument --list prints the set's package names and installs nothing.
# Idempotent: quiet and quick when everything is present already. As root it calls apt-get directly;
# as another user it asks through sudo.
set -euo pipefail
set_name=${1:-test}

# Building, and running the app against the dev service with the stand-in core.
packages=(
  build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-base-dev-tools qt6-declarative-dev qt6-declarative-dev-tools
  qt6-qpa-plugins libgl-dev
  qml6-module-qtqml qml6-module-qtqml-workerscript qml6-module-qtquick
  qml6-module-qtquick-controls qml6-module-qtquick-templates qml6-module-qtquick-window
  qml6-module-qtquick-layouts qml6-module-qtquick-shapes qml6-module-qt-labs-platform
  fonts-noto-cjk python3 libcap2-bin
)
# A machine without a display runs the app under Xvfb and takes a screenshot of it.
if [ "$set_name" = test ] || [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  packages+=(xvfb xauth imagemagick)
fi
case "$set_name" in
run) ;;
test)
  packages+=(clang-format qml6-module-qttest iproute2 util-linux dpkg-dev file xdotool)
  packages+=(zbar-tools) # zbarimg reads the QR codes back in tests
  if [ "${NIMBRA_WITH_WINE:-1}" = 1 ]; then
    packages+=(mingw-w64 wine64 nsis)
  fi
  ;;
*)
  echo "usage: scripts/install-deps.sh [run|test]" >&2
  exit 2
  ;;
esac

if [ "${2:-}" = --list ]; then
  printf '%s\n' "${packages[@]}"
  exit 0
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  as_root=()
elif command -v sudo >/dev/null; then
  as_root=(sudo)
else
  echo "install-deps: missing packages: ${missing[*]}" >&2
  echo "install-deps: run as root, or install them with apt-get install as root" >&2
  exit 1
fi
echo "install-deps: installing ${missing[*]}"
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq >/dev/null
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
