#!/bin/bash
# SPDX-License-Identifier: MIT
# Installs the build into a scratch prefix (under DESTDIR, as packagers do) and checks what a user
# gets: exactly the files of installed-files.txt; varlen-cli and libvarlen without Qt; libvarlen's
# examples built with pkg-config's flags and with find_package(varlen), and the Python example, each
# writing a decodable PNG and refusing a wrong check digit; a menu entry and a software-centre description
# their validators accept; manual pages man formats without a warning, naming every option of
# varlen-cli --help; icons of the sizes their folders say; a shell completion that offers the
# options, types and formats the help names; the README's varlen-cli quick start working with the
# installed programs; and the installed window, run by an unprivileged user with a scratch HOME
# (tests/app/end_to_end.sh --installed).
#
#   install_test.sh BUILD_DIR SOURCE_DIR VERSION
set -euo pipefail
# A command that fails says which, rather than ending the test without a word.
trap 'echo "FAIL: ${BASH_SOURCE[0]##*/}:$LINENO: $BASH_COMMAND (status $?)"' ERR
build=$1
source=$2
version=$3

for tool in desktop-file-validate appstreamcli man identify rsvg-convert file pkg-config c++ cc; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: run scripts/install-deps.sh"; exit 1; }
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
chmod 755 "$scratch"  # the unprivileged user runs the installed window from here
prefix=/opt/varlen-test
DESTDIR=$scratch/root "${CMAKE:-cmake}" --install "$build" --prefix "$prefix" >/dev/null
root=$scratch/root$prefix
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The files, nothing more and nothing less.
listed=$(grep -v '^#\|^\[\|^package-only:' "$source/tests/install/installed-files.txt" | sort)
found=$(cd "$root" && find . ! -type d | sed 's|^\./||' | sort)
[ "$listed" = "$found" ] || fail "installed files differ from installed-files.txt:
$(diff <(echo "$listed") <(echo "$found"))"

out=$(desktop-file-validate "$root/share/applications/varlen.desktop" 2>&1) && [ -z "$out" ] ||
  fail "desktop-file-validate: $out"
out=$(appstreamcli validate --no-net "$root/share/metainfo/varlen.metainfo.xml" 2>&1) ||
  fail "appstreamcli validate: $out"
grep -q "<release version=\"$version\"" "$root/share/metainfo/varlen.metainfo.xml" ||
  fail "the metainfo names no release $version"

# Manual pages: no warning from man, the project's version in the footer, every long option of the
# programs' help in the page.
for page in varlen varlen-cli; do
  file=$root/share/man/man1/$page.1.gz
  warnings=$(MANWIDTH=80 man --warnings -E UTF-8 -l "$file" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man --warnings $page.1: $warnings"
  MANWIDTH=80 man -E ascii -l "$file" 2>/dev/null | col -b >"$scratch/$page.txt"
  grep -q "Varlen $version" "$scratch/$page.txt" || fail "$page.1 does not name version $version"
done
for option in $("$root/bin/varlen-cli" --help | grep -oE -- '(^|[[:space:],(])--[a-z][a-z-]*' | tr -d ' ,(' | sort -u); do
  grep -qe "$option\b" "$scratch/varlen-cli.txt" || fail "varlen-cli(1) does not document $option"
done
grep -q -- '--settings-path' "$scratch/varlen.txt" || fail "varlen(1) does not document --settings-path"

for program in varlen varlen-cli; do
  ! ldd "$root/bin/$program" | grep 'not found' || fail "$program misses a library"
done
for file in bin/varlen-cli lib/libvarlen.so lib/varlen/libvarlen-vector.so lib/varlen/libvarlen-reader.so; do
  ! ldd "$root/$file" | grep -q 'libQt' || fail "$file links Qt: $(ldd "$root/$file" | grep -o 'libQt[^ ]*' | tr '\n' ' ')"
done

# libvarlen as a program elsewhere uses it: the installed examples (C++ and C) built with nothing but
# what pkg-config says and again with CMake's find_package(varlen), and the Python example of
# docs/library.md, each run against the installed library: each writes a PNG that a decoder not
# ours reads, and each is refused a wrong check digit with varlen-cli's words.
refusal='check digit 2 is wrong for 400638133393, expected 1'
example_works() {  # NAME COMMAND...: run in a folder of its own
  local name=$1 dir=$scratch/example-$1
  shift
  mkdir -p "$dir"
  (cd "$dir" && LD_LIBRARY_PATH=$root/lib "$@" label.png 400638133393 >/dev/null) || { fail "$name failed"; return; }
  [[ $(file "$dir/label.png") == *"PNG image data"* ]] || fail "$name wrote no PNG"
  if command -v ZXingReader >/dev/null; then
    ZXingReader -1 "$dir/label.png" | grep -q '"4006381333931"' || fail "the PNG of $name does not decode"
  fi
  local err
  err=$(cd "$dir" && LD_LIBRARY_PATH=$root/lib "$@" refused.png 4006381333932 2>&1 >/dev/null) && fail "$name took a wrong check digit"
  [[ $err == *"$refusal"* ]] || fail "$name was refused with: $err"
}
examples=$root/share/doc/varlen/examples
flags=$(PKG_CONFIG_PATH=$root/lib/pkgconfig pkg-config --cflags --libs varlen) || fail "pkg-config knows no varlen"
# shellcheck disable=SC2086  # the flags are words
c++ -std=c++17 -o "$scratch/write_png" "$examples/write_png.cpp" $flags || fail "write_png.cpp does not build with: $flags"
# shellcheck disable=SC2086
cc -std=c99 -Wall -Werror -o "$scratch/write_png_c" "$examples/write_png.c" $flags || fail "write_png.c does not build with: $flags"
example_works pkg-config-c++ "$scratch/write_png"
example_works pkg-config-c "$scratch/write_png_c"
"${CMAKE:-cmake}" -S "$examples" -B "$scratch/cmake-build" -DCMAKE_PREFIX_PATH="$root" >/dev/null &&
  "${CMAKE:-cmake}" --build "$scratch/cmake-build" >/dev/null || fail "the examples do not build with find_package(varlen)"
example_works find-package-c++ "$scratch/cmake-build/write_png"
example_works find-package-c "$scratch/cmake-build/write_png_c"
sed -n '/^```python$/,/^```$/p' "$source/docs/library.md" | sed '1d;$d' >"$scratch/example.py"
mkdir "$scratch/python"
out=$(cd "$scratch/python" && VARLEN_LIBRARY=$root/lib/libvarlen.so.1 /usr/bin/python3 "$scratch/example.py") ||
  fail "the Python example failed"
[[ $out == *"refused: $refusal"* && -s $scratch/python/label.png ]] || fail "the Python example: $out"

# Icons: each PNG as large as its folder says, the SVG drawable.
for png in "$root"/share/icons/hicolor/*x*/apps/varlen.png; do
  size=$(basename "$(dirname "$(dirname "$png")")")
  [ "$(identify -format '%m %wx%h' "$png")" = "PNG $size" ] || fail "$png is not a $size PNG"
done
rsvg-convert -w 64 "$root/share/icons/hicolor/scalable/apps/varlen.svg" >/dev/null || fail "the SVG icon does not draw"

# The completion, as bash runs it: the options come from the installed program's help, the lists of
# types and formats must be the ones the help names (a type being a word of the help's --type
# paragraph that varlen-cli takes as a type).
complete_words() {  # the completion's answer for the command line "$@" (the last word being typed)
  PATH="$root/bin:$PATH" bash -c '
    [ -r /usr/share/bash-completion/bash_completion ] && . /usr/share/bash-completion/bash_completion
    . "$0"
    COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
    _varlen_cli
    printf "%s\n" "${COMPREPLY[@]}" | sort' "$root/share/bash-completion/completions/varlen-cli" varlen-cli "$@"
}
help=$("$root/bin/varlen-cli" --help)
[ "$(complete_words --ty)" = "--type" ] || fail "completion of --ty: $(complete_words --ty)"
help_options=$(grep -oE -- '(^|[[:space:],(])--?[A-Za-z][A-Za-z-]*' <<<"$help" | tr -d ' ,(' | sort -u)
[ "$(complete_words -)" = "$help_options" ] || fail "completion of -: $(complete_words - | tr '\n' ' ')"
help_types=$(sed -n '/^  --type/,/^  --[a-z]/p' <<<"$help" | sed '$d' | grep -oE '[A-Za-z][A-Za-z0-9_-]*' | sort -u |
  while read -r word; do if "$root/bin/varlen-cli" --type "$word" --help >/dev/null 2>&1; then echo "$word"; fi; done)
[ "$(complete_words --type '')" = "$help_types" ] ||
  fail "completion of --type differs from the help: $(diff <(complete_words --type '') <(echo "$help_types") | tr '\n' ' ')"
help_formats=$(grep -oE 'EXT one of [a-z ]+' <<<"$help" | sed 's/EXT one of //' | tr ' ' '\n' | grep . | sort)
[ "$(complete_words --format '')" = "$help_formats" ] ||
  fail "completion of --format: $(complete_words --format '' | tr '\n' ' '), help: $(echo $help_formats)"
mkdir "$scratch/files" && touch "$scratch/files/label.png"
[ "$(cd "$scratch/files" && complete_words -o lab)" = "label.png" ] || fail "completion of -o lab"

# The README's quick start for varlen-cli, as written, with the installed programs.
mkdir "$scratch/quick"
sed -n '/<!-- varlen-cli quick start -->/,/^```$/p' "$source/README.md" | sed '1,2d;$d' >"$scratch/quick.sh"
[ -s "$scratch/quick.sh" ] || fail "no varlen-cli quick start in README.md"
(cd "$scratch/quick" && PATH="$root/bin:$PATH" bash -e "$scratch/quick.sh" >/dev/null) || fail "the README's quick start failed"
for made in $(grep -oE -- '-o [^ %]+\.(png|tif|svg|pdf)( |$)' "$scratch/quick.sh" | cut -c4-); do
  [ -s "$scratch/quick/$made" ] || fail "the README's quick start wrote no $made"
done

# The installed window, as a user who cannot write to the installed files.
home=$scratch/home
mkdir "$home"
cp "$source/tests/app/end_to_end.sh" "$scratch/"
if [ "$(id -u)" -eq 0 ]; then
  chown nobody:nogroup "$home"
  run_as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
else
  run_as_user=()
fi
set +e
"${run_as_user[@]}" env -u XDG_RUNTIME_DIR HOME="$home" "$scratch/end_to_end.sh" --installed "$root/bin/varlen"
window=$?
set -e
[ $window -eq 0 ] || [ $window -eq 77 ] || fail "the installed window (end_to_end.sh --installed)"

[ $failures -eq 0 ] || exit 1
[ $window -eq 77 ] && { echo "skipped: the window part (see above); every other check passed"; exit 77; }
echo "ok"
