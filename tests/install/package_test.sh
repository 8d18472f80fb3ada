#!/bin/bash
# SPDX-License-Identifier: MIT
# The Debian packages: one CPack run makes all four, the other steps look at what it made.
#
#   package_test.sh build BUILD_DIR SOURCE_DIR VERSION OUT_DIR
#     builds them with CPack into OUT_DIR and inspects each: its files are its section of
#     installed-files.txt under /usr, its fields name the project's version, its description names
#     every symbology, its copyright file carries the MIT licence, and its Depends name the package
#     of every shared library its programs and libraries need; varlen-cli's names no Qt.
#   package_test.sh lintian OUT_DIR
#     runs Debian's lintian over them: no error (the warnings and notes that remain are printed).
#   package_test.sh install SOURCE_DIR OUT_DIR
#     installs varlen-cli with the library alone and checks that nothing it pulls in, however
#     indirectly, is Qt, and that it writes every file type; then the window and the development
#     package, whose example is built with pkg-config's flags; purges all four and checks that
#     nothing is left. Needs root (skipped, 77, otherwise), and leaves alone a system that already
#     has Varlen.
set -euo pipefail
# A command that fails says which, rather than ending the test without a word.
trap 'echo "FAIL: ${BASH_SOURCE[0]##*/}:$LINENO: $BASH_COMMAND (status $?)"' ERR
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The packages, in the order of installed-files.txt, and the files of one of them under /usr.
packages() { sed -n 's/^\[\(.*\)\]$/\1/p' "$1/tests/install/installed-files.txt"; }
package_files() {
  awk -v want="[$2]" '/^\[/ { inside = ($0 == want); next } inside && !/^#/ { sub(/^package-only: /, ""); print "usr/" $0 }' \
    "$1/tests/install/installed-files.txt" | sort
}
deb_of() { echo "$1/$2_$3_$(dpkg --print-architecture).deb"; }

# What every description names: the window's symbology entries and the command line's others.
symbologies=("EAN-8" "EAN-13" "UPC-A" "UPC-E" "Bookland (ISBN)" "Code 39" "Interleaved 2 of 5" "Codabar"
  "Code 128" "MSI Plessey" "Postnet" "FIM" "GS1-128" "ITF-14" "QR Code" "Data Matrix" "GS1 DataMatrix" "GS1 QR"
  "GS1 Digital Link QR")

case $1 in
build)
  build=$2 source=$3 version=$4 out=$5
  rm -rf "$out"
  mkdir -p "$out"
  "${CPACK:-cpack}" -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 || { cat "$out/cpack.log"; exit 1; }
  made=$(cd "$out" && ls ./*.deb | sed 's|^\./||' | sort)
  expected=$(for package in $(packages "$source"); do basename "$(deb_of "$out" "$package" "$version")"; done | sort)
  [ "$made" = "$expected" ] || fail "CPack made $(echo $made), expected $(echo $expected)"

  for package in $(packages "$source"); do
    deb=$(deb_of "$out" "$package" "$version")
    [ -f "$deb" ] || continue
    contents=$(dpkg-deb -c "$deb" | grep -v '^d' | awk '{print $6}' | sed 's|^\./||' | sort)
    [ "$contents" = "$(package_files "$source" "$package")" ] || fail "$package: contents differ from installed-files.txt:
$(diff <(package_files "$source" "$package") <(echo "$contents"))"
    [ "$(dpkg-deb -f "$deb" Package)" = "$package" ] || fail "$package: Package: $(dpkg-deb -f "$deb" Package)"
    [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "$package: Version: $(dpkg-deb -f "$deb" Version)"
    description=$(dpkg-deb -f "$deb" Description | tr '\n' ' ' | tr -s ' ')
    for name in "${symbologies[@]}"; do
      [[ $description == *"$name"* ]] || fail "$package: the description does not name $name"
    done

    root=$out/root-$package
    dpkg-deb -x "$deb" "$root"
    copyright=$root/usr/share/doc/$package/copyright
    grep -q '^License: MIT$' "$copyright" && grep -q 'Permission is hereby granted, free of charge' "$copyright" ||
      fail "$package: no MIT licence in /usr/share/doc/$package/copyright"

    # Every library a program or library of the package names (its NEEDED entries) comes from a
    # package that Depends lists.
    depends=$(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/^ *//; s/ .*//')
    while IFS= read -r elf; do
      for soname in $(objdump -p "$elf" | awk '/NEEDED/ {print $2}'); do
        path=$(ldconfig -p | awk -v lib="$soname" '$1 == lib && /x86-64|x32|64/ && !found {print $NF; found = 1}')
        [ -n "$path" ] || { fail "$soname of $elf is not on this system"; continue; }
        owner=$(dpkg -S "$path" 2>/dev/null || dpkg -S "$(realpath "$path")" 2>/dev/null || true)
        owner=${owner%%:*}
        grep -qx "$owner" <<<"$depends" || fail "$package: ${elf##*/} needs $soname of package '$owner', which Depends lacks"
      done
    done < <(find "$root" -type f \( -path '*/bin/*' -o -name '*.so*' \))
    echo "ok: $(basename "$deb"), Depends: $(dpkg-deb -f "$deb" Depends)"
  done
  # The server's package: no Qt among what it depends on directly (the rest is checked installed).
  ! dpkg-deb -f "$(deb_of "$out" varlen-cli "$version")" Depends | grep -qi 'qt' || fail "varlen-cli depends on Qt"
  [ $failures -eq 0 ] || exit 1
  exit 0
  ;;
lintian)
  out=$2
  command -v lintian >/dev/null || { echo "skipped: lintian is not installed (package lintian)"; exit 77; }
  # Errors fail; warnings and notes are shown, each stands for a choice made on purpose (see
  # docs/development.md), and overrides carry their reasons in the package.
  status=0
  lintian --fail-on error --display-info "$out"/*.deb || status=$?
  [ $status -eq 0 ] || { echo "FAIL: lintian reports errors"; exit 1; }
  echo "ok: lintian reports no error"
  exit 0
  ;;
esac

source=$2 out=$3
[ "$(id -u)" -eq 0 ] || { echo "skipped: installing a package needs root"; exit 77; }
# One package test at a time on this machine, whichever build runs it.
exec 9>/tmp/varlen-package-test.lock
flock -w 900 9
mapfile -t all < <(packages "$source")
state() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null || echo not-installed; }
for package in "${all[@]}"; do
  if [[ $(state "$package") != *not-installed ]]; then
    echo "skipped: $package is already installed on this system, and the test leaves it alone"
    exit 77
  fi
done
if [ -e /usr/bin/varlen ] || [ -e /usr/bin/varlen-cli ]; then
  echo "skipped: Varlen is already installed on this system, and the test leaves it alone"
  exit 77
fi
version=$(dpkg-deb -f "$(ls "$out"/varlen-cli_*.deb)" Version)
apt=(apt-get -y -qq -o DPkg::Lock::Timeout=300 -o Dpkg::Use-Pty=0)
scratch=$(mktemp -d)
chmod 755 "$scratch"
trap '"${apt[@]}" purge "${all[@]}" >/dev/null 2>&1 || true; rm -rf "$scratch"' EXIT
install_debs() {
  local debs=()
  for package in "$@"; do debs+=("$(deb_of "$out" "$package" "$version")"); done
  DEBIAN_FRONTEND=noninteractive "${apt[@]}" install --no-install-recommends "${debs[@]}" >"$scratch/apt.log" 2>&1 ||
    { cat "$scratch/apt.log"; exit 1; }
}
library=$(printf '%s\n' "${all[@]}" | grep -x 'libvarlen[0-9]*')

# A server's installation: the command-line tool and what it depends on, nothing of the window.
install_debs varlen-cli "$library"
[[ $(state varlen) == *not-installed ]] || fail "installing varlen-cli installed the window"
qt=$(apt-cache depends --recurse --installed --no-recommends --no-suggests --no-conflicts --no-breaks --no-replaces \
  --no-enhances varlen-cli 2>/dev/null | grep -v '^ ' | grep -Ei '^(libqt|qt6|qt5)' | sort -u | tr '\n' ' ' || true)
[ -z "$qt" ] || fail "varlen-cli pulls in Qt: $qt"
for type in png bmp gif tif jpg emf svg pdf eps; do
  (cd "$scratch" && HOME=$scratch timeout 60 /usr/bin/varlen-cli -o "label.$type" --type ean13 400638133393) ||
    fail "the installed varlen-cli -o label.$type"
  [ -s "$scratch/label.$type" ] || fail "the installed varlen-cli wrote no label.$type"
done
[ "$(man -w varlen-cli)" = /usr/share/man/man1/varlen-cli.1.gz ] || fail "man -w varlen-cli: $(man -w varlen-cli)"

# The window and the development files.
install_debs varlen libvarlen-dev
# A program that does not know an option may open its window instead: never wait for it for long.
settings=$(HOME=$scratch QT_QPA_PLATFORM=offscreen timeout 60 /usr/bin/varlen --settings-path || true)
[ "$settings" = "$scratch/.config/varlen/varlen.ini" ] || fail "the installed window's settings: $settings"
# shellcheck disable=SC2046  # the flags are words
c++ -std=c++20 -o "$scratch/write_png" /usr/share/doc/varlen/examples/write_png.cpp $(pkg-config --cflags --libs varlen) ||
  fail "the installed example does not build with: $(pkg-config --cflags --libs varlen)"
(cd "$scratch" && HOME=$scratch ./write_png example.png 400638133393 >/dev/null) || fail "the installed example failed"
[[ $(file "$scratch/example.png") == *"PNG image data"* ]] || fail "the installed example wrote no PNG"
cmake -S /usr/share/doc/varlen/examples -B "$scratch/examples" >/dev/null && cmake --build "$scratch/examples" >/dev/null ||
  fail "the installed examples do not build with find_package(varlen)"
(cd "$scratch" && HOME=$scratch "$scratch/examples/write_png_c" example-c.png 400638133393 >/dev/null) ||
  fail "the installed C example failed"

DEBIAN_FRONTEND=noninteractive "${apt[@]}" purge "${all[@]}" >"$scratch/apt.log" 2>&1 || { cat "$scratch/apt.log"; exit 1; }
for package in "${all[@]}"; do
  [[ $(state "$package") == *not-installed ]] || fail "after the purge $package is $(state "$package")"
  for file in $(package_files "$source" "$package") "usr/share/doc/$package"; do
    [ ! -e "/$file" ] || fail "/$file left after purge"
  done
done
for folder in usr/share/varlen usr/lib/varlen usr/include/varlen; do
  [ ! -e "/$folder" ] || fail "/$folder left after purge"
done
[ $failures -eq 0 ] || exit 1
echo "ok: installed in two steps, run and purged"
