#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A private CUPS scheduler for the printing tests, so that they never touch the machine's own
# printing set-up: its own configuration, spool and socket under DIR, and one queue "VarlenPDF"
# (the cups-pdf virtual printer) as its default destination.
#
#   private-cups.sh start DIR   starts it; prints the value for CUPS_SERVER on standard output
#   private-cups.sh stop DIR    stops it and removes DIR
#   private-cups.sh wait DIR    waits (at most 120 s) until every job has left the queue
#   private-cups.sh outdir      prints the folder where cups-pdf writes the jobs of this user
#
# Exit status 77 means "cannot run here" (not root, or CUPS / cups-pdf missing): callers skip.
set -u
cmd=${1:-}
dir=${2:-}

case "$cmd" in
start)
  [ "$(id -u)" -eq 0 ] || { echo "starting a CUPS scheduler needs root" >&2; exit 77; }
  command -v cupsd >/dev/null && [ -x /usr/lib/cups/backend/cups-pdf ] || {
    echo "cupsd or the cups-pdf backend is not installed" >&2; exit 77; }
  ppd=/usr/share/ppd/cups-pdf/CUPS-PDF_noopt.ppd
  [ -f "$ppd" ] || { echo "the cups-pdf PPD is missing" >&2; exit 77; }
  mkdir -p "$dir"/{conf/ppd,spool,cache,state,tmp,log,run}
  chmod 755 "$dir" "$dir/run" "$dir/conf"
  chown -R root:lp "$dir"/{spool,cache,state,tmp,log}
  chmod 770 "$dir"/{spool,cache,state,tmp,log}
  cat > "$dir/conf/cupsd.conf" <<CONF
LogLevel warn
Listen $dir/run/cups.sock
WebInterface No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Location /admin>
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
  cat > "$dir/conf/cups-files.conf" <<CONF
ServerRoot $dir/conf
RequestRoot $dir/spool
CacheDir $dir/cache
StateDir $dir/state
TempDir $dir/tmp
AccessLog $dir/log/access_log
ErrorLog $dir/log/error_log
PageLog $dir/log/page_log
ServerBin /usr/lib/cups
DataDir /usr/share/cups
User lp
Group lp
SystemGroup root lpadmin
CONF
  cupsd -f -c "$dir/conf/cupsd.conf" -s "$dir/conf/cups-files.conf" </dev/null >"$dir/log/cupsd.out" 2>&1 &
  echo $! > "$dir/run/cupsd.pid"
  export CUPS_SERVER="$dir/run/cups.sock"
  for _ in $(seq 1 100); do
    lpstat -r >/dev/null 2>&1 && break
    sleep 0.1
  done
  lpstat -r >/dev/null 2>&1 || { echo "the private CUPS scheduler did not start" >&2; cat "$dir/log/"* >&2; exit 1; }
  # A scheduler that has just started may still refuse administrative requests for a moment
  # after it answers lpstat: try the queue set-up a few times before giving up.
  ok=0
  for _ in $(seq 1 20); do
    if lpadmin -p VarlenPDF -v cups-pdf:/ -E -P "$ppd" 2>"$dir/log/lpadmin.err" &&
       lpadmin -d VarlenPDF 2>>"$dir/log/lpadmin.err"; then
      ok=1; break
    fi
    sleep 0.25
  done
  [ "$ok" = 1 ] || { echo "lpadmin failed: $(cat "$dir/log/lpadmin.err")" >&2; exit 1; }
  echo "$CUPS_SERVER"
  ;;
stop)
  if [ -f "$dir/run/cupsd.pid" ]; then
    pid=$(cat "$dir/run/cupsd.pid")
    kill "$pid" 2>/dev/null
    for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null
  fi
  rm -rf "$dir"
  ;;
wait)
  export CUPS_SERVER="$dir/run/cups.sock"
  for _ in $(seq 1 1200); do
    [ -z "$(lpstat -o 2>/dev/null)" ] && exit 0
    sleep 0.1
  done
  echo "print jobs still queued after 120 s:" >&2; lpstat -o >&2; exit 1
  ;;
outdir)
  home=$(getent passwd "$(id -un)" | cut -d: -f6)
  echo "$home/PDF"
  ;;
*)
  echo "usage: $0 start|stop|wait DIR | outdir" >&2; exit 2
  ;;
esac
