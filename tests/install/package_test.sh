#!/bin/bash
# The Debian package.
#
#   package_test.sh build BUILD_DIR SOURCE_DIR VERSION OUT_DIR
#     builds it with CPack into OUT_DIR and inspects it: its files are installed-files.txt under
#     /usr, its fields name the project's version, and its Depends name the package of every shared
#     library the two programs need.
#   package_test.sh install SOURCE_DIR OUT_DIR
#     installs that package with apt-get, runs the installed programs, purges it and checks that
#     nothing is left. Needs root (skipped, 77, otherwise), and leaves alone a system that already
#     has Varlen.
set -euo pipefail
# A command that fails says which, rather than ending the test without a word.
trap 'echo "FAIL: ${BASH_SOURCE[0]##*/}:$LINENO: $BASH_COMMAND (status $?)"' ERR
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
listed() { grep -v '^#' "$1/tests/install/installed-files.txt" | sed 's|^|usr/|' | sort; }

if [ "$1" = build ]; then
  build=$2 source=$3 version=$4 out=$5
  rm -rf "$out"
  mkdir -p "$out"
  "${CPACK:-cpack}" -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 || { cat "$out/cpack.log"; exit 1; }
  deb=$(ls "$out"/varlen_*.deb)
  [ "$(basename "$deb")" = "varlen_${version}_$(dpkg --print-architecture).deb" ] || fail "package named $deb"

  contents=$(dpkg-deb -c "$deb" | grep -v '^d' | awk '{print $6}' | sed 's|^\./||' | sort)
  [ "$contents" = "$(listed "$source")" ] || fail "package contents differ from installed-files.txt:
$(diff <(listed "$source") <(echo "$contents"))"
  [ "$(dpkg-deb -f "$deb" Package)" = varlen ] || fail "Package: $(dpkg-deb -f "$deb" Package)"
  [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "Version: $(dpkg-deb -f "$deb" Version)"
  [ -n "$(dpkg-deb -f "$deb" Description)" ] || fail "no description"

  # Every library a program names (its NEEDED entries) comes from a package that Depends lists.
  depends=$(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/^ *//; s/ .*//')
  dpkg-deb -x "$deb" "$out/root"
  for program in "$out"/root/usr/bin/*; do
    for soname in $(objdump -p "$program" | awk '/NEEDED/ {print $2}'); do
      path=$(ldconfig -p | awk -v lib="$soname" '$1 == lib && /x86-64|x32|64/ && !found {print $NF; found = 1}')
      [ -n "$path" ] || { fail "$soname of $program is not on this system"; continue; }
      owner=$(dpkg -S "$path" 2>/dev/null || dpkg -S "$(realpath "$path")" 2>/dev/null || true)
      owner=${owner%%:*}
      grep -qx "$owner" <<<"$depends" || fail "$(basename "$program") needs $soname of package '$owner', which Depends lacks"
    done
  done
  [ $failures -eq 0 ] || exit 1
  echo "ok: $(basename "$deb"), Depends: $(dpkg-deb -f "$deb" Depends)"
  exit 0
fi

source=$2 out=$3
[ "$(id -u)" -eq 0 ] || { echo "skipped: installing a package needs root"; exit 77; }
# One package test at a time on this machine, whichever build runs it.
exec 9>/tmp/varlen-package-test.lock
flock -w 900 9
state() { dpkg-query -W -f='${Status}' varlen 2>/dev/null || echo not-installed; }
if [[ $(state) != *not-installed ]] || [ -e /usr/bin/varlen ] || [ -e /usr/bin/varlen-cli ]; then
  echo "skipped: Varlen is already installed on this system, and the test leaves it alone"
  exit 77
fi
deb=$(ls "$out"/varlen_*.deb)
apt=(apt-get -y -qq -o DPkg::Lock::Timeout=300 -o Dpkg::Use-Pty=0)
scratch=$(mktemp -d)
trap '"${apt[@]}" purge varlen >/dev/null 2>&1 || true; rm -rf "$scratch"' EXIT
DEBIAN_FRONTEND=noninteractive "${apt[@]}" install --no-install-recommends "$deb" >"$scratch/apt.log" 2>&1 ||
  { cat "$scratch/apt.log"; exit 1; }

# A program that does not know an option may open its window instead: never wait for it for long.
settings=$(HOME=$scratch QT_QPA_PLATFORM=offscreen timeout 60 /usr/bin/varlen --settings-path || true)
[ "$settings" = "$scratch/.config/varlen/varlen.ini" ] || fail "the installed window's settings: $settings"
(cd "$scratch" && timeout 60 /usr/bin/varlen-cli -o label.png --type ean13 400638133393) || fail "varlen-cli -o label.png"
[[ $(file "$scratch/label.png") == *"PNG image data"* ]] || fail "no PNG from the installed varlen-cli"
[ "$(man -w varlen-cli)" = /usr/share/man/man1/varlen-cli.1.gz ] || fail "man -w varlen-cli: $(man -w varlen-cli)"

DEBIAN_FRONTEND=noninteractive "${apt[@]}" purge varlen >"$scratch/apt.log" 2>&1 || { cat "$scratch/apt.log"; exit 1; }
[[ $(state) == *not-installed ]] || fail "after the purge the package is $(state)"
for file in $(listed "$source") usr/share/varlen; do
  [ ! -e "/$file" ] || fail "/$file left after purge"
done
[ $failures -eq 0 ] || exit 1
echo "ok: installed, run and purged"
