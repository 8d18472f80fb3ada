#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Puts the licence's SPDX line at the head of every source file that lacks it, in the comment of
# the file's kind: the first line, or the second behind a "#!" line or an XML declaration. With
# --check it changes nothing and names every source file without the line (exit status 1).
#
#   scripts/spdx.sh [--check] [TOP]
#
# The source files are the files git knows below TOP (tracked or new; what .gitignore names is
# left out), or without git every file outside the build folders; of these, the kinds below and
# any script that starts with "#!". Data (fuzz corpora, pictures, text lists) is not source.
set -euo pipefail
readonly tag='SPDX-License-Identifier: MIT'

# The line for a file of this name, or nothing when it is not a source file.
line_for() {
  case $1 in
    fuzz/corpus/*) ;;
    *.cpp | *.cc | *.c | *.h | *.hpp | *.h.in) echo "// $tag" ;;
    CMakeLists.txt | *.cmake | Makefile | *.mk | *.sh | *.py | *.desktop | *.bash-completion | *.pc.in | *.supp)
      echo "# $tag" ;;
    *.xml | *.xml.in | *.svg | *.HLP | *.html) echo "<!-- $tag -->" ;;
    *.[1-9] | *.[1-9].in) echo ".\\\" $tag" ;;
    *) if [ "$(head -c 2 "$1")" = '#!' ]; then echo "# $tag"; fi ;;
  esac
}

files() {
  if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files --cached --others --exclude-standard -z . | tr '\0' '\n'
  else
    find . \( -name '.git' -o -name 'build*' -o -name 'fuzz-build*' \) -prune -o -type f -print | sed 's|^\./||'
  fi
}

# Rewritten in place, so that the file keeps its mode: behind a "#!" line or an XML declaration,
# which must stay first, or else as the first line.
add_line() {
  local file=$1 line=$2 first new
  first=$(head -n 1 "$file")
  new=$(mktemp)
  if [[ $first == '#!'* || $first == '<?xml'* ]]; then
    { printf '%s\n%s\n' "$first" "$line"; tail -n +2 "$file"; } >"$new"
  else
    { printf '%s\n' "$line"; cat "$file"; } >"$new"
  fi
  cat "$new" >"$file"
  rm -f "$new"
}

# One function, read whole before it runs: the script may add the line to itself.
main() {
  local check=0 file line
  if [ "${1:-}" = --check ]; then
    check=1
    shift
  fi
  cd "${1:-$(dirname "$0")/..}"
  local missing=()
  while IFS= read -r file; do
    [ -f "$file" ] || continue  # deleted, but still known to git
    line=$(line_for "$file")
    [ -n "$line" ] || continue
    head -n 3 "$file" | grep -qF "$tag" && continue
    missing+=("$file")
    [ $check -eq 1 ] || add_line "$file" "$line"
  done < <(files)

  if [ $check -eq 0 ]; then
    [ ${#missing[@]} -eq 0 ] || printf 'added the licence line to %s\n' "${missing[@]}"
  elif [ ${#missing[@]} -gt 0 ]; then
    echo "no \"$tag\" at the head of these files (scripts/spdx.sh adds it):"
    printf '  %s\n' "${missing[@]}"
    return 1
  else
    echo "ok: every source file carries \"$tag\""
  fi
}

main "$@"
exit
