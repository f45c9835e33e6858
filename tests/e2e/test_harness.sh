#!/usr/bin/env bash
# Checks the end-to-end helpers themselves, without the program: the virtual display comes
# up at the expected size with a managing window manager, windows are found, measured and
# typed into, screenshots are real PNGs of the screen, and whatever the helpers started is
# gone afterwards, whether the script ends normally, through e2e_fail, or is killed.
# (The program's path, given as $1 by the test runner, is not used.)

# shellcheck disable=SC2016  # the scenarios are scripts of their own, expanded when they run
# shellcheck source=SCRIPTDIR/lib.sh
source "${E2E_LIB:-$(dirname "$0")/lib.sh}"
lib=${E2E_LIB:-$(cd "$(dirname "$0")" && pwd)/lib.sh}
work=$E2E_TMP/harness
mkdir -p "$work"

# Each scenario runs in a child script so that its cleanup can be checked from outside.
# The child writes "display xvfb-pid wm-pid tmp-dir" into $work/started-NAME.
write_child()
{
    local name=$1 body=$2
    cat >"$work/$name.sh" <<EOF
source "$lib"
E2E_NAME=$name
E2E_ARTIFACT_DIR=$work
e2e_start_display
echo "\$DISPLAY \$E2E_XVFB_PID \$E2E_WM_PID \$E2E_TMP" >"$work/started-$name"
$body
EOF
}

# check_cleaned NAME [SECONDS]: everything that the child NAME started is gone.
check_cleaned()
{
    local name=$1 seconds=${2:-5} display xvfb wm tmp pid i
    [[ -s $work/started-$name ]] || e2e_fail "$name: the child did not get as far as a display"
    read -r display xvfb wm tmp <"$work/started-$name"
    for ((i = 0; i < seconds * 10; i++)); do
        e2e_alive "$xvfb" || e2e_alive "$wm" || [[ -e $tmp ]] || break
        sleep 0.1
    done
    for pid in "$xvfb" "$wm"; do
        ! e2e_alive "$pid" || e2e_fail "$name: process $pid ($(cat "/proc/$pid/comm")) still runs"
    done
    [[ ! -e $tmp ]] || e2e_fail "$name: temporary folder $tmp was left behind"
    [[ ! -e /tmp/.X11-unix/X${display#:} ]] ||
        e2e_fail "$name: the socket of display $display was left behind"
    ! DISPLAY=$display xdpyinfo >/dev/null 2>&1 || e2e_fail "$name: display $display still answers"
}

# 1. A normal run through every helper.
write_child normal '
read -r width height < <(xdpyinfo | awk "/dimensions:/ {split(\$2, s, \"x\"); print s[1], s[2]}")
[[ "$width x $height" == "1280 x 1024" ]] || e2e_fail "screen is ${width}x${height}, not 1280x1024"

check=$(xprop -root _NET_SUPPORTING_WM_CHECK | awk "{print \$NF}")
xprop -id "$check" _NET_WM_NAME | grep -q "\"Openbox\"" || e2e_fail "openbox is not managing the screen"

# A screen-sized screenshot that is a real PNG.
shot=$(e2e_screenshot "$E2E_TMP/screen.png")
[[ $shot == "$E2E_TMP/screen.png" ]] || e2e_fail "e2e_screenshot printed \"$shot\""
file -b "$shot" | grep -q "^PNG image data, 1280 x 1024" || e2e_fail "not a 1280x1024 PNG: $(file -b "$shot")"
[[ $(identify -format "%m %w %h" "$shot") == "PNG 1280 1024" ]] || e2e_fail "identify does not read the screenshot"

# A window of a known size: ImageMagick'"'"'s display showing a 200x120 picture.
convert -size 200x120 xc:"rgb(40,160,90)" "$E2E_TMP/probe.png"
e2e_start_program "$(command -v display)" -title e2e-harness-probe "$E2E_TMP/probe.png"
grep -q "^XDG_CONFIG_HOME=$E2E_CONFIG_HOME\$" "/proc/$E2E_PID/environ" 2>/dev/null ||
    tr "\0" "\n" <"/proc/$E2E_PID/environ" | grep -qx "XDG_CONFIG_HOME=$E2E_CONFIG_HOME" ||
    e2e_fail "the program does not get the private XDG_CONFIG_HOME"
[[ -z $(ls -A "$E2E_CONFIG_HOME") ]] || e2e_fail "XDG_CONFIG_HOME is not empty at the first start"
win=$(e2e_wait_window "^e2e-harness-probe\$" 20)
[[ $win =~ ^[0-9]+$ ]] || e2e_fail "e2e_wait_window printed \"$win\""
! e2e_wait_window "^no such window\$" 1 2>/dev/null || e2e_fail "e2e_wait_window found a window that does not exist"

read -r cx cy cw ch < <(e2e_window_client_geometry "$win")
[[ "$cw $ch" == "200 120" ]] || e2e_fail "client area is ${cw}x${ch}, not 200x120"
read -r l r t b < <(e2e_frame_extents "$win")
(( t > 0 )) || e2e_fail "openbox gave the window no title bar (extents $l $r $t $b)"
read -r x y w h < <(e2e_window_geometry "$win")
[[ "$x $y $w $h" == "$((cx - l)) $((cy - t)) $((cw + l + r)) $((ch + t + b))" ]] ||
    e2e_fail "outer geometry $x $y $w $h does not hold the client $cx $cy $cw $ch with frame $l $r $t $b"
# The frame is a real window on the screen: the top-level window that holds the client.
frame=$win
while :; do
    parent=$(xwininfo -tree -id "$frame" | awk "/Parent window id:/ {print \$4}")
    root=$(xwininfo -tree -id "$frame" | awk "/Root window id:/ {print \$4}")
    [[ $parent == "$root" ]] && break
    frame=$parent
done
read -r fx fy fw fh < <(e2e_window_client_geometry "$frame")
[[ "$fx $fy $fw $fh" == "$x $y $w $h" ]] || e2e_fail "frame window is at $fx $fy $fw $fh, not $x $y $w $h"

# The window shows the picture where its client area is.
e2e_screenshot "$E2E_TMP/with-window.png" >/dev/null
pixel=$(convert "$E2E_TMP/with-window.png" -format "%[pixel:p{$((cx + 100)),$((cy + 60))}]" info:)
[[ $pixel == "srgb(40,160,90)" ]] || e2e_fail "screen shows $pixel in the probe window"

# Keys reach the window: ctrl+q ends display.
e2e_key "$win" ctrl+q
e2e_wait_exit "$E2E_PID" 20 || e2e_fail "the probe did not end on ctrl+q"
[[ $E2E_EXIT_STATUS == 0 ]] || e2e_fail "the probe ended with status $E2E_EXIT_STATUS"
e2e_wait_window_gone "$win" 5 || e2e_fail "the probe window stayed"

# A process still running is reported as such, and its status read once it ends.
sleep 30 &
e2e_track $!
! e2e_wait_exit $! 1 2>/dev/null || e2e_fail "e2e_wait_exit did not time out on a running process"
kill -TERM $!
e2e_wait_exit $! 5 || e2e_fail "e2e_wait_exit missed the end of a process"
[[ $E2E_EXIT_STATUS == 143 ]] || e2e_fail "status after SIGTERM is $E2E_EXIT_STATUS, not 143"

# Something left running is ended by the cleanup.
sleep 300 &
e2e_track $!
echo $! >"'"$work"'/left-running"
'
status=0
bash "$work/normal.sh" || status=$?
((status == 0)) || e2e_fail "the normal scenario failed with status $status"
check_cleaned normal
! e2e_alive "$(cat "$work/left-running")" || e2e_fail "normal: a process left running survived"

# 2. e2e_fail: the script ends with status 1, leaves a screenshot and still cleans up.
write_child failing 'e2e_fail "deliberate failure"'
status=0
bash "$work/failing.sh" 2>"$work/failing.err" || status=$?
((status == 1)) || e2e_fail "e2e_fail ended the script with status $status, not 1"
grep -q '^FAIL: deliberate failure$' "$work/failing.err" || e2e_fail "e2e_fail did not report its message"
[[ $(identify -format '%m %w %h' "$work/e2e-failure-failing.png") == "PNG 1280 1024" ]] ||
    e2e_fail "e2e_fail left no screenshot"
check_cleaned failing

# 3. A script killed outright (no trap runs): the watchdog cleans up.
write_child killed 'sleep 300 &
e2e_track $!
echo $! >"'"$work"'/killed-sleeper"
wait'
bash "$work/killed.sh" &
child=$!
for ((i = 0; i < 300; i++)); do
    [[ -s $work/started-killed ]] && break
    e2e_alive "$child" || e2e_fail "killed: the child ended early"
    sleep 0.1
done
kill -KILL "$child"
wait "$child" 2>/dev/null || true
check_cleaned killed 10
! e2e_alive "$(cat "$work/killed-sleeper")" || e2e_fail "killed: a process it started survived"

echo "e2e harness: display, window manager, window helpers, screenshots and cleanup work"
