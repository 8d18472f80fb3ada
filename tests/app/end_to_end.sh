#!/bin/bash
# The real program on a virtual X display: started in a folder of its own, data typed with
# xdotool, quit through its File menu; the settings file must then hold exactly the first start's
# keys with the typed data. With a third argument, a screenshot of the window is kept there.
# Exit code 77 (skipped) when the desktop tools are missing.
set -u
program=$1
screenshot=${2:-}

for tool in xvfb-run xdotool; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "skipped: $tool is not installed (package xvfb / xdotool)"
    exit 77
  fi
done

if [ -z "${VARLEN_E2E_INNER:-}" ]; then
  export VARLEN_E2E_INNER=1
  exec xvfb-run -a -s "-screen 0 640x480x24" "$0" "$@"
fi

unset QT_QPA_PLATFORM  # the real X display, not the offscreen one the other tests use
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cp "$program" "$folder/varlen"
cd "$folder"

./varlen 2>"$folder/stderr.txt" &
pid=$!

# Polls a condition for at most 30 seconds.
poll() {
  for _ in $(seq 300); do
    if eval "$1"; then return 0; fi
    kill -0 $pid 2>/dev/null || { echo "the program ended early"; cat "$folder/stderr.txt"; return 1; }
    sleep 0.1
  done
  echo "gave up waiting for: $1"
  return 1
}

window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Varlen 1\.0$' | head -1)
[ -n "$window" ] || { echo "no window"; kill $pid; exit 1; }
xdotool windowfocus --sync "$window"
xdotool type --window "$window" --delay 20 "03600029145"
poll 'grep -q "^2=03600029145$" varlen.ini 2>/dev/null' || { kill $pid; exit 1; }

if [ -n "$screenshot" ]; then
  geometry=$(xdotool getwindowgeometry --shell "$window")
  eval "$geometry"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$screenshot"
fi

# Quit through the menu: Alt+F opens "File", and once its popup is up, X picks "E&xit".
xdotool key --window "$window" alt+f
poll '[ "$(xdotool search --onlyvisible --pid $pid 2>/dev/null | wc -l)" -gt 1 ]' || { kill $pid; exit 1; }
xdotool key x
for _ in $(seq 300); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
if kill -0 $pid 2>/dev/null; then
  echo "the program did not quit"
  kill $pid
  exit 1
fi
wait $pid
status=$?
[ $status -eq 0 ] || { echo "exit status $status"; cat "$folder/stderr.txt"; exit 1; }

expected=$'[Varlen]\nbctype=2\n2=03600029145\nsratio=1'
actual=$(cat varlen.ini)
if [ "$actual" != "$expected" ]; then
  echo "settings file differs:"
  cat -A varlen.ini
  exit 1
fi
ls -A | sort | tr '\n' ' ' | grep -qx 'stderr.txt varlen varlen.ini ' || { echo "unexpected files: $(ls -A)"; exit 1; }
echo "ok"
