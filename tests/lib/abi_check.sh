#!/bin/bash
# SPDX-License-Identifier: MIT
# libvarlen's interface as other programs link it:
#   abi_check.sh symbols LIBRARY LIST  the exported symbols (demangled, with their version node) are
#                                      exactly LIST: the facade and the C interface, nothing of the core
#   abi_check.sh abi LIBRARY STORED SUPPRESSIONS
#                                      abidiff against the ABI stored for this soname: an incompatible
#                                      change fails, an addition is reported; a new soname is a new
#                                      release, whose ABI is then stored with
#       abidw --no-corpus-path --exported-interfaces-only --drop-undefined-syms --out-file STORED LIBRARY
set -uo pipefail
mode=$1
library=$2
case $mode in
  symbols)
    found=$(nm -D --defined-only --with-symbol-versions -C "$library" | cut -d' ' -f3- | sort -u)
    if [ "$found" != "$(sort -u "$3")" ]; then
      echo "FAIL: the exported symbols differ from $3 (< listed, > exported):"
      diff <(sort -u "$3") <(echo "$found")
      exit 1
    fi
    echo "$(wc -l <<<"$found") symbols, as listed" ;;
  abi)
    stored=$3
    soname=$(readelf -d "$library" | sed -n 's/.*Library soname: \[\(.*\)\]/\1/p')
    if ! grep -q "soname='$soname'" "$stored"; then
      echo "the soname is $soname, the stored ABI another release's: store this one's (see $0)"
      exit 0
    fi
    report=$(abidiff --suppressions "$4" "$stored" "$library")
    status=$?
    echo "$report"
    # abidiff's status is a set of bits: 1 error, 2 usage, 4 a change, 8 an incompatible change.
    if (( status & 11 )); then
      echo "FAIL: the ABI of $soname changed incompatibly (status $status): restore it, or raise the soname"
      exit 1
    fi ;;
  *) echo "usage: $0 symbols|abi ..."; exit 2 ;;
esac
