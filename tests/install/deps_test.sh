#!/bin/bash
# SPDX-License-Identifier: MIT
# The dependency sets of scripts/install-deps.sh: `build` holds `runtime` and none of the tools that
# only tests use; every package of every set is one Debian knows; and the Makefile's targets for
# users install `build` alone while those that build tests add `test`.
#
#   deps_test.sh SOURCE_DIR
set -euo pipefail
trap 'echo "FAIL: ${BASH_SOURCE[0]##*/}:$LINENO: $BASH_COMMAND (status $?)"' ERR
source=$1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
set_of() { bash "$source/scripts/install-deps.sh" --print "$1" | sort; }

runtime=$(set_of runtime) build=$(set_of build) tests=$(set_of test)
[ -n "$runtime" ] && [ -n "$build" ] && [ -n "$tests" ] || fail "a set is empty"
[ -z "$(comm -23 <(echo "$runtime") <(echo "$build"))" ] || fail "build lacks runtime's $(comm -23 <(echo "$runtime") <(echo "$build") | tr '\n' ' ')"
[ -z "$(comm -12 <(echo "$build") <(echo "$tests"))" ] || fail "in build and test: $(comm -12 <(echo "$build") <(echo "$tests") | tr '\n' ' ')"
# The kinds of test tools: frameworks, fuzzers and sanitizer runtimes, memory checkers, X servers,
# input tools, window managers, print servers, independent readers, package checkers.
test_tool='^(libgtest|libgmock|libbenchmark|clang|libfuzzer|libclang-rt|valgrind|xvfb|xauth|xdotool|xclip|x11-utils|openbox|cups($|-)|printer-driver|zint|zxing|zbar|dmtx-utils|imagemagick|poppler|ghostscript|libtiff-tools|giflib-tools|libjpeg-turbo-progs|emf2svg|pngcheck|abigail|lintian|desktop-file-utils|appstream)'
tools=$(grep -E "$test_tool" <<<"$build" | tr '\n' ' ' || true)
[ -z "$tools" ] || fail "build holds test tools: $tools"

# Debian knows every package (a misspelt name would make the script fail on a fresh machine).
for package in $build $tests; do
  dpkg-query -W "$package" >/dev/null 2>&1 || apt-cache show "$package" >/dev/null 2>&1 || fail "no Debian package $package"
done

# Which sets each target of the Makefile installs, as make would run it.
for target in run programs install deb test; do
  sets=$(make -n -s --no-print-directory -C "$source" BUILD=/nonexistent "$target" 2>/dev/null |
    sed -n 's/.*install-deps\.sh\(.*\)/\1/p' | sort -u | tr -d '\n')
  case $target in
    test) [ "$sets" = " build test" ] || fail "make test installs \"$sets\", expected build test" ;;
    *) [ "$sets" = " build" ] || fail "make $target installs \"$sets\", expected build alone" ;;
  esac
done
[ $failures -eq 0 ] || exit 1
echo "ok: runtime $(wc -w <<<"$runtime"), build $(wc -w <<<"$build"), test $(wc -w <<<"$tests") packages"
