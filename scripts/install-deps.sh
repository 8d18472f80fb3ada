#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Varlen needs.
# Idempotent: when everything is present it only asks dpkg and returns.
set -euo pipefail

PACKAGES=(
  # toolchain; librsvg2-bin draws the icon's sizes, dpkg-dev makes the Debian package
  build-essential cmake ninja-build pkg-config clang-14 libfuzzer-14-dev libclang-rt-14-dev librsvg2-bin
  dpkg-dev
  # libraries
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-qpa-plugins libgl-dev libxkbcommon-dev
  libjpeg62-turbo-dev libgif-dev zlib1g-dev
  # vector files (SVG, PDF, EPS) and their text: cairo, FreeType, fontconfig
  libcairo2-dev libfreetype-dev libfontconfig-dev
  # the static archives varlen-cli is linked with besides those (FreeType's and fontconfig's own
  # libraries)
  libpng-dev libbrotli-dev libexpat1-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  # fonts: Liberation Sans is metric-compatible with Arial
  fonts-liberation fontconfig
  # independent oracles used by the tests
  zxing-cpp-tools zbar-tools zint libtiff-tools giflib-tools libjpeg-turbo-progs emf2svg
  imagemagick python3 python3-pil poppler-utils ghostscript valgrind pngcheck
  # desktop and printing checks
  xvfb xauth xdotool xclip x11-utils cups cups-client cups-bsd printer-driver-cups-pdf libcups2-dev
  # checks of the installed files: menu entry, software-centre description, manual pages
  desktop-file-utils appstream man-db file
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages: ${missing[*]}" >&2
  echo "install-deps: run as root (or install them with apt-get) and try again" >&2
  exit 1
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
