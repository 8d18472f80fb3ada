#!/bin/bash
# SPDX-License-Identifier: MIT
# The Python example of docs/library.md, as written, run by Debian's Python against a libvarlen: it
# writes a PNG and is refused a wrong check digit with varlen-cli's words.
#
#   python_example.sh LIBRARY_MD LIBVARLEN_SO
set -euo pipefail
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
sed -n '/^```python$/,/^```$/p' "$1" | sed '1d;$d' >"$scratch/example.py"
[ -s "$scratch/example.py" ] || { echo "FAIL: no Python example in $1"; exit 1; }
out=$(cd "$scratch" && VARLEN_LIBRARY=$2 /usr/bin/python3 example.py)
echo "$out"
grep -q '^refused: check digit 2 is wrong for 400638133393, expected 1$' <<<"$out" || { echo "FAIL: no refusal"; exit 1; }
[[ $(head -c 8 "$scratch/label.png" | od -An -tx1 | tr -d ' ') == 89504e470d0a1a0a ]] || { echo "FAIL: no PNG"; exit 1; }
