#!/usr/bin/env bash
# Shows the built program on a virtual X server, with the openbox window manager or without one,
# and takes pictures of the screen along a short walk: start-up with a scan problem (message,
# then the navigator), the navigator closed, F3 (the open dialog) with and without a click first.
# usage: scripts/look-x11.sh OUTDIR [wm|nowm]     (needs xvfb, openbox, imagemagick, xdotool)
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "$1")
mode=${2:-nowm}
BUILD=${BUILD:-build}
mkdir -p "$out"
app=$(mktemp -d)
cp -r "$BUILD"/bin/{veltris,*.ini,veltris.html,samples,DIODE,TRANS,STAB,VARC,THYRIST,LEDS} "$app"/
mkdir -p "$app/samples/folder.QDB"  # a folder named like a base: one scan problem at start
disp=:$((90 + RANDOM % 9))
Xvfb "$disp" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xpid=$!
wpid=""
cleanup() {
  kill "${vpid:-}" ${wpid:+"$wpid"} "$xpid" 2>/dev/null || true
  rm -rf "$app"
}
trap cleanup EXIT
sleep 1
export DISPLAY=$disp
if [ "$mode" = wm ]; then
  openbox >/dev/null 2>&1 &
  wpid=$!
  sleep 1
fi
shot() { sleep "$1"; import -window root "$out/$2.png"; }
"$app/veltris" >/dev/null 2>&1 &
vpid=$!
shot 4 1-scan-message
xdotool key Return
shot 2 2-navigator
xdotool key Escape
shot 1 3-navigator-closed
xdotool key F3
shot 2 4-open-dialog-by-key
xdotool key Escape
sleep 1
xdotool mousemove 500 400 click 1
xdotool key F3
shot 2 5-open-dialog-after-click
xdotool key Escape
ls "$out"
