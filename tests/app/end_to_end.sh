#!/bin/bash
# SPDX-License-Identifier: MIT
# The real program on a virtual X display: data typed with xdotool, the barcode saved as every type
# the Save dialog offers through that dialog, Help opened from its menu, quit through its File
# menu. The settings file must then hold exactly the first start's keys with the typed data, no
# error box may have shown, and nothing else may have been written.
#
#   end_to_end.sh PROGRAM [SCREENSHOT]  portable: the files the README names for a portable copy
#                                       (the window, its help file, varlen-cli and the vector
#                                       module), taken from PROGRAM's build, are copied into a
#                                       folder of their own, where the settings file goes; the
#                                       copied varlen-cli writes every type too. With SCREENSHOT, a
#                                       picture of the window is kept there
#   end_to_end.sh --installed PROGRAM   installed: PROGRAM runs where it is and keeps its settings
#                                       in $HOME/.config/varlen/ (give it a scratch HOME)
# Exit code 77 (skipped) when the desktop tools are missing.
set -u
installed=
if [ "${1:-}" = --installed ]; then
  installed=1
  shift
fi
program=$(realpath "$1")
screenshot=${2:+$(realpath "$2")}
source=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

for tool in xvfb-run xdotool; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "skipped: $tool is not installed (package xvfb / xdotool)"
    exit 77
  fi
done

if [ -z "${VARLEN_E2E_INNER:-}" ]; then
  export VARLEN_E2E_INNER=1
  exec xvfb-run -a -s "-screen 0 640x480x24" "$0" ${installed:+--installed} "$@"
fi

unset QT_QPA_PLATFORM  # the real X display, not the offscreen one the other tests use
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/cwd"
cd "$scratch/cwd"
if [ -n "$installed" ]; then
  unset XDG_CONFIG_HOME
  settings=$HOME/.config/varlen/varlen.ini
  places=$(dirname "$(dirname "$program")")  # the prefix: nothing in it may change
else
  places=$scratch/portable
  mkdir "$places"
  # The README's list, as build paths: build/app/varlen is PROGRAM, the others lie in its build.
  build=$(dirname "$(dirname "$program")")
  named=$(sed -n '/<!-- portable files -->/,/^$/p' "$source/README.md" | grep -o '`build/[^`]*`' | tr -d '`')
  [ -n "$named" ] || { echo "the README names no files for a portable copy"; exit 1; }
  for file in $named; do
    cp "$build/${file#build/}" "$places/" || { echo "the README's $file is not in the build"; exit 1; }
  done
  [ -x "$places/varlen" ] || { echo "the README's portable files hold no program named varlen"; exit 1; }
  program=$places/varlen
  settings=$places/varlen.ini
fi
before=$(cd "$places" && find . -printf '%p %s %m\n' | sort)

# The virtual server is asked until it answers (at most 10 s): a program started before it takes
# clients would end at once.
for _ in $(seq 100); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
xdotool getdisplaygeometry >/dev/null 2>&1 || { echo "the virtual X server on $DISPLAY does not answer"; exit 1; }

said=$("$program" --settings-path)
[ "$said" = "$settings" ] || { echo "--settings-path says $said, expected $settings"; exit 1; }

"$program" 2>"$scratch/stderr.txt" &
pid=$!

# Polls a condition every tenth of a second, at most $1 times.
wait_for() {
  for _ in $(seq "$1"); do
    if eval "$2"; then return 0; fi
    kill -0 $pid 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}
# Polls a condition for at most 30 seconds.
poll() {
  wait_for 300 "$1" && return 0
  kill -0 $pid 2>/dev/null || { echo "the program ended early"; cat "$scratch/stderr.txt"; return 1; }
  echo "gave up waiting for: $1"
  return 1
}
# xdotool dies with an X error when a window closes while it walks the window tree: such an answer
# is asked again rather than taken.
ask() {
  local status
  for _ in 1 2 3 4 5; do
    xdotool search --onlyvisible "$@" >"$scratch/ask.out" 2>"$scratch/ask.err"
    status=$?
    grep -q "X Error" "$scratch/ask.err" || { cat "$scratch/ask.out"; return $status; }
    sleep 0.1
  done
  return 1
}
# Whether a visible window's title matches the pattern.
shown() { ask --name "$1" >/dev/null; }
windows() { ask --pid $pid | grep -c .; }
fail() { echo "$1"; kill $pid 2>/dev/null; exit 1; }

# The window is looked for until it shows: while the program starts, Qt makes and drops windows of
# its own, and a search that meets one of them closing dies with an X error.
window=
find_window() { window=$(ask --name '^Varlen 1\.0$' | head -1); [ -n "$window" ]; }
poll find_window || fail "no window"
xdotool windowfocus --sync "$window"
xdotool type --window "$window" --delay 20 "03600029145"
poll 'grep -q "^2=03600029145$" "$settings" 2>/dev/null' || fail "the data did not reach $settings"

if [ -n "$screenshot" ]; then
  geometry=$(xdotool getwindowgeometry --shell "$window")
  eval "$geometry"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$screenshot"
fi

# File > Save Barcode to File (Alt+F, then S) and a name typed into the dialog, for every type the
# dialog offers: the type is the name's extension.
types="bmp gif tif emf jpg png svg pdf eps"
mkdir "$scratch/saved"
# Opens a menu (alt+f: File, alt+h: Help), asked again (after Escape) when a busy machine lost the
# keys.
open_menu() {
  local open
  for _ in 1 2 3; do
    xdotool windowfocus --sync "$window"
    open=$(windows)
    xdotool key --window "$window" "$1"
    wait_for 100 '[ "$(windows)" -gt "$open" ]' && return 0
    xdotool key Escape
    sleep 1
  done
  return 1
}
# File > Save Barcode to File: "s" only once the menu is up; sooner, it would be typed into the data.
save_dialog() {
  for _ in 1 2 3; do
    open_menu alt+f || return 1
    xdotool key s
    wait_for 300 'shown "^Save Varlen as\.\.\.$"' && return 0
    xdotool key Escape
    sleep 1
  done
  return 1
}
for type in $types; do
  save_dialog || fail "no Save dialog for $type"
  dialog=$(ask --name '^Save Varlen as\.\.\.$' | head -1)
  xdotool windowfocus --sync "$dialog"
  # The name box holds the name saved last: typed over.
  xdotool key ctrl+a
  xdotool type --delay 10 "$scratch/saved/label.$type"
  xdotool key Return
  poll '[ -s "$scratch/saved/label.$type" ] && ! shown "^Save Varlen as"' || fail "Save wrote no label.$type"
  if shown '^Varlen$'; then fail "an error box was shown saving $type"; fi
  # On a busy machine the name box's completion list (filled from the folder in the background) can
  # show after the dialog has closed; the next menu key would go to it. Escape closes it, as a person
  # would.
  for _ in $(seq 15); do
    sleep 0.2
    [ "$(windows)" -le 1 ] && break
    xdotool key Escape
  done
done
# A portable copy's varlen-cli, beside the window, writes them too, each read back first.
if [ -z "$installed" ]; then
  for type in $types; do
    (cd "$scratch/saved" && "$places/varlen-cli" --verify -o "cli.$type" --type upca 03600029145) ||
      fail "varlen-cli --verify -o cli.$type"
  done
fi
# Each file is what its name says, as file(1) sees it.
for saved in "$scratch"/saved/*; do
  case $saved in
    *.bmp) magic='PC bitmap' ;; *.gif) magic='GIF image' ;; *.tif) magic='TIFF image' ;;
    *.emf) magic='Windows Enhanced Metafile' ;; *.jpg) magic='JPEG image' ;; *.png) magic='PNG image' ;;
    *.svg) magic='SVG Scalable Vector Graphics' ;; *.pdf) magic='PDF document' ;; *.eps) magic='PostScript' ;;
  esac
  [[ $(file -b "$saved") == *"$magic"* ]] || fail "${saved##*/} is $(file -b "$saved")"
done

# Help > Help Contents (Alt+H, then P) opens the help window.
open_menu alt+h || fail "no Help menu"
xdotool key p
poll 'shown "^Varlen Help$"' || fail "no help window"

# Quit through the menu: Alt+F opens "File", and once its popup is up, X picks "E&xit".
open_menu alt+f || fail "no File menu"
# An error box is a window of its own, titled with the program's title alone.
if shown '^Varlen$'; then fail "an error box was shown"; fi
xdotool key x
for _ in $(seq 300); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
kill -0 $pid 2>/dev/null && fail "the program did not quit"
wait $pid
status=$?
[ $status -eq 0 ] || { echo "exit status $status"; cat "$scratch/stderr.txt"; exit 1; }

expected=$'[Varlen]\nbctype=2\n2=03600029145\nsratio=1'
actual=$(cat "$settings")
if [ "$actual" != "$expected" ]; then
  echo "settings file differs:"
  cat -A "$settings"
  exit 1
fi
after=$(cd "$places" && find . -printf '%p %s %m\n' | sort)
[ -n "$installed" ] || after=$(grep -v '^\./varlen\.ini ' <<<"$after")
[ "$before" = "$after" ] || { echo "files changed in $places:"; diff <(echo "$before") <(echo "$after"); exit 1; }
[ -z "$(ls -A "$scratch/cwd")" ] || { echo "files written to the working folder: $(ls -A "$scratch/cwd")"; exit 1; }
echo "ok"
