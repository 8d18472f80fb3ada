#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the Debian packages Varlen needs, in three sets by purpose:
#
#   runtime  what the programs need to run (a portable copy on a machine without the build)
#   build    runtime, and what building the programs, the library and the Debian packages needs:
#            `make run`, `make programs`, `make install` and `make deb` install this set only
#   test     what only the tests, fuzzing and benchmarks need (`make test` adds it to build):
#            oracles, test frameworks, fuzzers, sanitizer runtimes, X and print servers
#
#   install-deps.sh [SET...]      installs the sets (none given: build and test, everything)
#   install-deps.sh --print SET   lists the packages of one set, one a line
#
# Idempotent: when everything is present it only asks dpkg and returns.
set -euo pipefail

# Where a package goes: a library a program loads at run time in RUNTIME, its -dev package and any
# tool the build runs in BUILD, a program or library that only a test, a fuzzer or a benchmark uses
# in TEST. Nothing in BUILD may serve the tests alone: tests/install/deps_test.sh checks it.
RUNTIME=(
  # the window: Qt's widgets, printing, the platform plugins and the SVG icon plugin
  libqt6core6 libqt6gui6 libqt6widgets6 libqt6printsupport6 libqt6svg6 qt6-qpa-plugins
  # text, pictures, vector files and printing
  libfreetype6 libfontconfig1 libjpeg62-turbo zlib1g libpng16-16 libcairo2 libcups2
  # reading symbols back (--verify, the window's status bar)
  libzxing2
  # the two-dimensional symbols' encoders: QR Code and Data Matrix ECC 200
  libqrencode4 libdmtx0b
  # fonts: Liberation Sans is metric-compatible with Arial
  fonts-liberation fontconfig
)
BUILD=(
  # toolchain; librsvg2-bin draws the icon's sizes; dpkg-dev and file are what CPack makes the
  # Debian packages with
  build-essential cmake ninja-build pkg-config librsvg2-bin dpkg-dev file
  # libraries
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev libxkbcommon-dev
  libjpeg62-turbo-dev zlib1g-dev libcups2-dev
  # reading every symbol back before it is written (--verify, the window's status bar): zxing-cpp
  libzxing-dev
  # the two-dimensional symbols' encoders, loaded on first use: QR Code and Data Matrix ECC 200
  libqrencode-dev libdmtx-dev
  # vector files (SVG, PDF, EPS) and their text: cairo, FreeType, fontconfig
  libcairo2-dev libfreetype-dev libfontconfig-dev
  # the static archives varlen-cli is linked with besides those (FreeType's and fontconfig's own
  # libraries)
  libpng-dev libbrotli-dev libexpat1-dev
)
TEST=(
  # test and benchmark frameworks; giflib for the GIF benchmark's comparison
  libgtest-dev libgmock-dev libbenchmark-dev libgif-dev
  # fuzzing and the sanitizers' runtimes
  clang-14 libfuzzer-14-dev libclang-rt-14-dev valgrind
  # independent oracles used by the tests
  zxing-cpp-tools zbar-tools zint dmtx-utils libtiff-tools giflib-tools libjpeg-turbo-progs emf2svg
  imagemagick python3 python3-pil poppler-utils ghostscript pngcheck
  # desktop checks: a virtual X server, a small window manager, input and the clipboard
  xvfb xauth openbox xdotool xclip x11-utils
  # printing checks: a private CUPS scheduler with a PDF printer
  cups cups-client cups-bsd printer-driver-cups-pdf
  # checks of the installed files and packages: menu entry, software-centre description, manual
  # pages, Debian's package checker
  desktop-file-utils appstream man-db lintian
  # libvarlen's ABI compared with its release's (abidiff)
  abigail-tools
)

packages_of() {
  case $1 in
    runtime) printf '%s\n' "${RUNTIME[@]}" ;;
    build) printf '%s\n' "${RUNTIME[@]}" "${BUILD[@]}" ;;
    test) printf '%s\n' "${TEST[@]}" ;;
    *) echo "install-deps: no set \"$1\" (runtime, build or test)" >&2; return 2 ;;
  esac
}

if [ "${1:-}" = --print ]; then
  [ $# -eq 2 ] || { echo "usage: install-deps.sh --print runtime|build|test" >&2; exit 2; }
  packages_of "$2"
  exit 0
fi

sets=("$@")
[ ${#sets[@]} -gt 0 ] || sets=(build test)
wanted=()
for set in "${sets[@]}"; do
  mapfile -t -O "${#wanted[@]}" wanted < <(packages_of "$set")
done

missing=()
for p in "${wanted[@]}"; do
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
