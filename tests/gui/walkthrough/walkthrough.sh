#!/usr/bin/env bash
# A user's first theme, in the real window: under Xvfb with a small window
# manager, the built program is started as a user starts it (a fresh
# runtime folder, a fresh program folder) and driven with xdotool at the
# window's own coordinates. Then we check what the user would: the package,
# the preview, the settings and the workspace.
#   walkthrough.sh BUILD_DIR
set -euo pipefail
build=$(realpath "$1")
shots="$build/walkthrough"

if [ -z "${KASTRA_IN_XVFB:-}" ]; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  mkdir -p "$work/program" "$work/runtime" "$work/home" "$shots"
  chmod 700 "$work/runtime"
  rm -f "$shots"/*.png
  cp "$build/bin/kastra-theme-creator" "$build/bin/SISTool.exe" "$work/program/"
  "$build/bin/samplepic" "$work/home/sunset.jpg" 640 480
  export KASTRA_IN_XVFB=1 WORK="$work" XDG_RUNTIME_DIR="$work/runtime" HOME="$work/home"
  # The window needs a real display; a sanitizer build's leak check would
  # report the X libraries' own allocations.
  unset QT_QPA_PLATFORM
  export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

openbox >/dev/null 2>&1 &
wm=$!
sleep 1
"$WORK/program/kastra-theme-creator" >"$WORK/program.log" 2>&1 &
app=$!
cleanup() { kill "$app" "$wm" 2>/dev/null || true; }
trap cleanup EXIT

caption="Halvorn Kastra Theme Creator v1.11"
win=$(timeout 60 xdotool search --sync --onlyvisible --name "$caption" | head -1)
[ -n "$win" ] || { echo "walkthrough: the window did not appear"; exit 1; }
sleep 1

# The frame, title bar included, sits in the middle of the 1024 x 768
# screen: its centre is within a pixel of the screen's.
read -r left right top bottom < <(xprop -id "$win" _NET_FRAME_EXTENTS | sed 's/.*= *//; s/,//g')
info=$(xwininfo -id "$win")
fx=$(( $(sed -n 's/.*Absolute upper-left X: *//p' <<<"$info") - left ))
fy=$(( $(sed -n 's/.*Absolute upper-left Y: *//p' <<<"$info") - top ))
fw=$(( 529 + left + right )) fh=$(( 271 + top + bottom ))
dx=$(( 2 * fx + fw - 1024 )) dy=$(( 2 * fy + fh - 768 ))
if [ "${dx#-}" -gt 2 ] || [ "${dy#-}" -gt 2 ]; then
  echo "walkthrough: the frame ($fx,$fy ${fw}x$fh) is not centred on the screen"; exit 1
fi
step=0
shot() {
  step=$((step + 1))
  # xwininfo knows where a reparented window really is on the screen.
  local info x y
  info=$(xwininfo -id "$win")
  x=$(sed -n 's/.*Absolute upper-left X: *//p' <<<"$info")
  y=$(sed -n 's/.*Absolute upper-left Y: *//p' <<<"$info")
  scrot -o -a "$x,$y,529,271" "$shots/$(printf '%02d' $step)-$1.png"
}
# A click at (x, y) of the window's client area.
click() { xdotool mousemove --window "$win" "$1" "$2" click 1; sleep "${3:-0.7}"; }
shot start

# Waits until a condition holds, at most $1 seconds (a sanitizer build is
# slow to start anything).
until_true() {
  local limit=$(( $1 * 5 )); shift
  for _ in $(seq "$limit"); do "$@" && return 0; sleep 0.2; done
  return 1
}
workspace="$XDG_RUNTIME_DIR/Temp/WorkDir"

# "Загрузить картинку", then the file dialog: the path typed, Enter.
click $((344 + 88)) $((232 + 16)) 2
shot file-dialog
xdotool type --delay 15 "$HOME/sunset.jpg"
xdotool key Return
until_true 60 test -f "$workspace/Back.bmp" || { echo "walkthrough: the picture was not imported"; exit 1; }
sleep 1
shot picture

# "City" in the colour scheme group (the pages start 10 + tab bar below),
# clicked once: the first click after the file dialog must count. The
# preview's soft-key bar then has City's colour (checked below).
tabbar=23
click $((10 + 8 + 160 + 8)) $((10 + tabbar + 72 + 15 + 6)) 1
shot city

# The settings page's second screen: "Сверху" ticked and saved.
click 230 22 0.5
click $((10 + 216 + 40)) $((10 + tabbar + 160 + 12)) 0.5
shot settings-more
click $((10 + 8 + 16 + 6)) $((10 + tabbar + 8 + 24 + 6)) 0.3
click $((10 + 216 + 40)) $((10 + tabbar + 192 + 12)) 0.5
shot settings-saved
grep -qa $'^Top=1\r$' "$WORK/program/Settings.ini" || { echo "walkthrough: \"Сверху\" was not saved"; cat "$WORK/program/Settings.ini"; exit 1; }

# The SIS page: theme name, file name, Build.
click 168 22 1
click $((10 + 1 + 90)) $((10 + tabbar + 122 + 11)) 0.3
xdotool type --delay 15 "Sunset"
click $((10 + 2 + 90)) $((10 + tabbar + 166 + 11)) 0.3
xdotool type --delay 15 "sunset"
shot sis-page
click $((10 + 204 + 49)) $((10 + tabbar + 165 + 12)) 1
box=$(timeout 120 xdotool search --sync --onlyvisible --name "^Готово$" | head -1)
[ -n "$box" ] || { echo "walkthrough: no outcome message"; shot failed; exit 1; }
sleep 0.5
shot built
# Confirm the message box.
xdotool windowactivate "$box" 2>/dev/null || true
sleep 0.3
xdotool key Return
until_true 20 sh -c "! xdotool search --onlyvisible --name '^Готово\$' >/dev/null" || { echo "walkthrough: the message stayed"; exit 1; }
sleep 0.5
shot confirmed

# The preview as it was, for the check below, from the last shot before the
# box covered nothing of it.
preview="$shots/$(printf '%02d' $((step)))-confirmed.png"

# A normal close request, through the window manager.
wmctrl -c "$caption"
for _ in $(seq 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.2; done
if kill -0 "$app" 2>/dev/null; then echo "walkthrough: the window did not close"; exit 1; fi
wait "$app" || true

status=0
package="$WORK/program/sunset.sis"
[ -f "$package" ] || { echo "walkthrough: no package delivered"; ls "$WORK/program"; cat "$WORK/program.log"; exit 1; }
"$build/tests/walkthrough_check" "$package" "$preview" 3 || status=1
[ -s "$WORK/program/Settings.ini" ] || { echo "walkthrough: Settings.ini was not written"; status=1; }
[ ! -e "$XDG_RUNTIME_DIR/Temp/WorkDir" ] || { echo "walkthrough: the workspace is still there"; status=1; }
[ "$status" = 0 ] && echo "walkthrough: passed; screenshots in $shots"
exit "$status"
