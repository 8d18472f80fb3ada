#!/bin/bash
# SPDX-License-Identifier: MIT
# Runs a command on a virtual X server of its own with a small window manager (openbox), so that
# the toolkit's windows are placed, decorated, activated and given the focus as on a desktop.
# Exit code 77 (skipped) when xvfb-run, openbox or xprop is missing.
#
#   with_window_manager.sh COMMAND [ARG...]
set -u
for tool in xvfb-run openbox xprop; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "skipped: $tool is not installed (packages xvfb, openbox, x11-utils)"
    exit 77
  fi
done
if [ -z "${VARLEN_WM_INNER:-}" ]; then
  export VARLEN_WM_INNER=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

home=$(mktemp -d)  # the manager's own settings and cache, not the user's
trap 'rm -rf "$home"' EXIT
HOME=$home openbox --sm-disable >/dev/null 2>&1 &
manager=$!
# The manager has taken the screen once the root window names its check window.
for _ in $(seq 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done
xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' || { echo "openbox did not start"; kill $manager; exit 1; }
"$@"
status=$?
kill $manager 2>/dev/null
wait $manager 2>/dev/null
exit $status
