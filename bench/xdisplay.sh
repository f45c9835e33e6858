# shellcheck shell=bash disable=SC2034  # the E2E_ variables are read by the scripts
# The cost benchmark's display: the real program on a virtual X display (Xvfb) with a
# real window manager (openbox), driven by xdotool. (The end-to-end tests and `make run`
# use tools/xsession.py instead; this shell version lets bench/cost.sh time the program
# and top side by side from one script.)
#
#     source "$(dirname "$0")/xdisplay.sh"
#     e2e_start_display
#     e2e_start_program "$program"          # sets E2E_PID, no $(...) around it
#     win=$(e2e_wait_window '^Plenwick$')
#     e2e_key "$win" ctrl+x
#     e2e_wait_exit "$E2E_PID" 20 || e2e_fail "the program did not end"
#
# Sourcing this file turns on `set -euo pipefail`, makes a private temporary folder
# ($E2E_TMP) and installs an EXIT trap that ends every process started here (program,
# openbox, Xvfb) and removes that folder, however the script ends. A watchdog does the
# same if the script itself is killed with SIGKILL (as a test runner may do on time-out).
#
# Functions that print a value (e2e_wait_window, e2e_window_geometry, ...) may be used in
# $(...): on failure they print why on stderr and return non-zero, which ends the script
# under `set -e`. e2e_start_program and e2e_wait_exit set variables instead and must be
# called directly.

set -euo pipefail

E2E_NAME=${E2E_NAME:-e2e}                     # prefix of messages
E2E_SCREEN=${E2E_SCREEN:-1280x1024x24}        # Xvfb screen 0
E2E_TIMEOUT=${E2E_TIMEOUT:-30}                # default time-out of the waits, seconds
E2E_ARTIFACT_DIR=${E2E_ARTIFACT_DIR:-$PWD}    # where e2e_fail leaves a screenshot

E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/plenwick-e2e.XXXXXX")
E2E_CONFIG_HOME=$E2E_TMP/config # XDG_CONFIG_HOME of the program: empty at first
mkdir -p "$E2E_CONFIG_HOME"
E2E_PIDS=()             # processes started here, ended in reverse order by the cleanup
E2E_PID=                # the program last started by e2e_start_program
E2E_PROGRAM_LOG=        # its stdout and stderr
E2E_EXIT_STATUS=        # set by e2e_wait_exit
E2E_DISPLAY=            # ":N" once e2e_start_display has run
E2E_XVFB_PID=
E2E_WM_PID=
E2E_WATCHDOG_PID=

e2e_log() { printf '%s: %s\n' "$E2E_NAME" "$*" >&2; }

# Prints the last lines of the logs of what was started: Xvfb, openbox, the program(s).
e2e_dump_logs()
{
    local log
    for log in "$E2E_TMP"/*.log; do
        [[ -s $log ]] || continue
        printf -- '--- %s (last 40 lines) ---\n' "$(basename "$log")" >&2
        tail -n 40 "$log" >&2
    done
}

# e2e_fail MESSAGE: reports the failure, saves a screenshot into $E2E_ARTIFACT_DIR and ends
# the script with status 1 (the cleanup then prints the logs).
e2e_fail()
{
    printf 'FAIL: %s\n' "$*" >&2
    if [[ -n $E2E_DISPLAY ]]; then
        local shot
        shot=$E2E_ARTIFACT_DIR/e2e-failure-$(basename "${0%.sh}").png
        if import -display "$E2E_DISPLAY" -window root "$shot" 2>/dev/null; then
            printf 'screen at failure: %s\n' "$shot" >&2
        fi
    fi
    exit 1
}

# Records a started process for the cleanup and the watchdog.
e2e_track()
{
    E2E_PIDS+=("$1")
    echo "$1" >>"$E2E_TMP/pids"
}

e2e_untrack()
{
    local pid kept=()
    for pid in "${E2E_PIDS[@]}"; do
        [[ $pid == "$1" ]] || kept+=("$pid")
    done
    E2E_PIDS=("${kept[@]}")
    printf '%s\n' "${E2E_PIDS[@]}" >"$E2E_TMP/pids"
}

# True while PID runs (a zombie that has not been waited for counts as ended).
e2e_alive()
{
    local stat
    kill -0 "$1" 2>/dev/null || return 1
    stat=$(<"/proc/$1/stat") 2>/dev/null || return 1
    stat=${stat##*) } # the state follows the command name, which is in parentheses
    [[ $stat != Z* ]]
}

# Ends one process: SIGTERM, up to 3 s of grace, then SIGKILL; reaps it if it is ours.
e2e_stop_pid()
{
    local pid=$1 i
    if e2e_alive "$pid"; then
        kill -TERM "$pid" 2>/dev/null || true
        for ((i = 0; i < 30; i++)); do
            e2e_alive "$pid" || break
            sleep 0.1
        done
        if e2e_alive "$pid"; then
            e2e_log "process $pid ignored SIGTERM; killing it"
            kill -KILL "$pid" 2>/dev/null || true
        fi
    fi
    wait "$pid" 2>/dev/null || true
}

e2e_cleanup()
{
    local status=$? i
    set +e
    # A failed script shows what the display, the window manager and the program said.
    ((status == 0)) || e2e_dump_logs
    if [[ -n $E2E_WATCHDOG_PID ]]; then
        kill "$E2E_WATCHDOG_PID" 2>/dev/null
        wait "$E2E_WATCHDOG_PID" 2>/dev/null
    fi
    for ((i = ${#E2E_PIDS[@]} - 1; i >= 0; i--)); do
        e2e_stop_pid "${E2E_PIDS[i]}"
    done
    E2E_PIDS=()
    rm -rf "$E2E_TMP"
    exit "$status"
}
trap e2e_cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# The watchdog outlives a SIGKILL of the script: it then ends what was started and removes
# the temporary folder. It is a plain background loop, so the normal cleanup just stops it.
e2e_start_watchdog()
{
    local owner=$$ tmp=$E2E_TMP
    (
        trap - EXIT INT TERM HUP
        set +e
        while kill -0 "$owner" 2>/dev/null; do sleep 1; done
        if [[ -f $tmp/pids ]]; then
            tac "$tmp/pids" | while read -r pid; do kill -TERM "$pid" 2>/dev/null; done
            sleep 2
            while read -r pid; do kill -KILL "$pid" 2>/dev/null; done <"$tmp/pids"
        fi
        rm -rf "$tmp"
    ) </dev/null >/dev/null 2>&1 &
    E2E_WATCHDOG_PID=$!
}
e2e_start_watchdog

# e2e_start_display: starts Xvfb on a free display number and openbox on it, waits until
# both are ready, and exports DISPLAY for everything started afterwards.
e2e_start_display()
{
    [[ -z $E2E_DISPLAY ]] || return 0
    local cmd
    for cmd in Xvfb openbox xdpyinfo xprop xdotool xwininfo import; do
        command -v "$cmd" >/dev/null ||
            e2e_fail "$cmd is not installed (run 'make deps' or install xvfb openbox x11-utils xdotool imagemagick)"
    done

    # -displayfd lets the server take the first free display number itself (no race with
    # other servers starting at the same moment) and write it once it accepts clients.
    local number_file=$E2E_TMP/display-number i
    : >"$number_file"
    Xvfb -displayfd 9 -screen 0 "$E2E_SCREEN" -dpi 96 -nolisten tcp -noreset \
        9>"$number_file" </dev/null >"$E2E_TMP/xvfb.log" 2>&1 &
    E2E_XVFB_PID=$!
    e2e_track "$E2E_XVFB_PID"
    for ((i = 0; i < E2E_TIMEOUT * 10; i++)); do
        [[ $(cat "$number_file") =~ ^[0-9]+$ ]] && break
        e2e_alive "$E2E_XVFB_PID" || e2e_fail "Xvfb ended at start-up"
        sleep 0.1
    done
    [[ $(cat "$number_file") =~ ^[0-9]+ ]] || e2e_fail "Xvfb gave no display number in ${E2E_TIMEOUT}s"
    E2E_DISPLAY=:${BASH_REMATCH[0]}

    export DISPLAY=$E2E_DISPLAY
    unset WAYLAND_DISPLAY
    # The server has no authorisation set up: keep clients from offering stale cookies.
    export XAUTHORITY=$E2E_TMP/Xauthority
    for ((i = 0; i < E2E_TIMEOUT * 10; i++)); do
        xdpyinfo >/dev/null 2>&1 && break
        sleep 0.1
    done
    xdpyinfo >/dev/null 2>&1 || e2e_fail "display $DISPLAY does not answer"

    # openbox with its stock configuration, not the user's.
    mkdir -p "$E2E_TMP/wm-config"
    XDG_CONFIG_HOME=$E2E_TMP/wm-config openbox --sm-disable \
        </dev/null >"$E2E_TMP/openbox.log" 2>&1 &
    E2E_WM_PID=$!
    e2e_track "$E2E_WM_PID"
    # A window manager that is ready names its check window on the root window.
    for ((i = 0; i < E2E_TIMEOUT * 10; i++)); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
        e2e_alive "$E2E_WM_PID" || e2e_fail "openbox ended at start-up"
        sleep 0.1
    done
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' ||
        e2e_fail "openbox did not come up in ${E2E_TIMEOUT}s"
    e2e_log "display $DISPLAY ($E2E_SCREEN) with openbox is ready"
}

# e2e_reset_config: empties the program's XDG_CONFIG_HOME, so the next start is a first run.
e2e_reset_config()
{
    [[ $E2E_CONFIG_HOME == "$E2E_TMP"/* ]] || e2e_fail "refusing to empty $E2E_CONFIG_HOME"
    rm -rf "$E2E_CONFIG_HOME"
    mkdir -p "$E2E_CONFIG_HOME"
}

# e2e_start_program PROGRAM [ARGS...]: starts PROGRAM on the display, in the background,
# with XDG_CONFIG_HOME=$E2E_CONFIG_HOME. That folder is empty for the first start of a
# script, and keeps what the program saved for later starts (use e2e_reset_config to clear
# it, or write $E2E_CONFIG_HOME/Plenwick/Plenwick.ini before starting). Sets E2E_PID and
# E2E_PROGRAM_LOG (stdout and stderr). Call it directly, not in $(...).
e2e_start_program()
{
    [[ -n $E2E_DISPLAY ]] || e2e_start_display
    [[ -x $1 ]] || e2e_fail "not an executable program: $1"
    local runtime=$E2E_TMP/runtime n
    mkdir -p "$runtime"
    chmod 700 "$runtime"
    n=$(find "$E2E_TMP" -maxdepth 1 -name 'program-*.log' | wc -l)
    E2E_PROGRAM_LOG=$E2E_TMP/program-$((n + 1)).log
    # xcb on our display; no session bus (an unreachable address, so nothing is autolaunched);
    # one device pixel per logical pixel at 96 dpi, so sizes in tests are exact.
    env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u QT_SCREEN_SCALE_FACTORS \
        QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=1 QT_ENABLE_HIGHDPI_SCALING=0 \
        XDG_CONFIG_HOME="$E2E_CONFIG_HOME" XDG_RUNTIME_DIR="$runtime" \
        DBUS_SESSION_BUS_ADDRESS="unix:path=$E2E_TMP/no-session-bus" \
        "$@" </dev/null >"$E2E_PROGRAM_LOG" 2>&1 &
    E2E_PID=$!
    e2e_track "$E2E_PID"
    e2e_log "started $(basename "$1") as process $E2E_PID"
}

# e2e_wait_window NAME-REGEX [TIMEOUT]: waits until a visible (mapped and viewable) window
# whose title matches the extended regular expression appears; prints its X window id
# (decimal, as xdotool and xwininfo -id take it). Fails on time-out, or earlier if the
# program last started has ended.
e2e_wait_window()
{
    local regex=$1 timeout=${2:-$E2E_TIMEOUT} id i
    for ((i = 0; i < timeout * 10; i++)); do
        id=$(xdotool search --onlyvisible --name "$regex" 2>/dev/null | head -n 1) || true
        if [[ -n $id ]]; then
            echo "$id"
            return 0
        fi
        if [[ -n $E2E_PID ]] && ! e2e_alive "$E2E_PID"; then
            e2e_log "the program (process $E2E_PID) ended before a window '$regex' was shown"
            return 1
        fi
        sleep 0.1
    done
    e2e_log "no visible window titled '$regex' after ${timeout}s"
    return 1
}

# e2e_wait_window_gone ID [TIMEOUT]: waits until window ID is unmapped or destroyed.
e2e_wait_window_gone()
{
    local id=$1 timeout=${2:-$E2E_TIMEOUT} i
    for ((i = 0; i < timeout * 10; i++)); do
        xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' || return 0
        sleep 0.1
    done
    e2e_log "window $id is still shown after ${timeout}s"
    return 1
}

# e2e_window_client_geometry ID: prints "x y w h" of the window's client area alone (its
# contents, without the window manager's frame), x and y relative to the screen. This is
# what xwininfo reports as "Absolute upper-left X/Y" and "Width/Height". (Do not use
# `xdotool getwindowgeometry` for positions: under a reparenting window manager its
# "Position" adds the client's offset inside the frame a second time; its "Geometry" is
# the client size, the same as xwininfo's.)
e2e_window_client_geometry()
{
    local info
    info=$(xwininfo -id "$1" 2>/dev/null) || {
        e2e_log "no window $1"
        return 1
    }
    awk '/Absolute upper-left X:/ {x=$NF} /Absolute upper-left Y:/ {y=$NF}
         /^ *Width:/ {w=$NF} /^ *Height:/ {h=$NF}
         END {print x, y, w, h}' <<<"$info"
}

# e2e_frame_extents ID: prints "left right top bottom", the widths of the frame that the
# window manager put around the window (_NET_FRAME_EXTENTS; all 0 without a frame).
e2e_frame_extents()
{
    local line
    line=$(xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null) || true
    if [[ $line =~ =\ *([0-9]+),\ *([0-9]+),\ *([0-9]+),\ *([0-9]+) ]]; then
        echo "${BASH_REMATCH[1]} ${BASH_REMATCH[2]} ${BASH_REMATCH[3]} ${BASH_REMATCH[4]}"
    else
        echo "0 0 0 0"
    fi
}

# e2e_window_geometry ID: prints "x y w h" of the window's outer rectangle, frame included
# (title bar and borders), x and y relative to the screen: the client area of
# e2e_window_client_geometry grown by the frame extents. This is the rectangle that the
# program's own window position and size (Qt's frameGeometry) describe.
e2e_window_geometry()
{
    local x y w h l r t b
    read -r x y w h < <(e2e_window_client_geometry "$1") || return 1
    [[ -n $h ]] || return 1
    read -r l r t b < <(e2e_frame_extents "$1")
    echo "$((x - l)) $((y - t)) $((w + l + r)) $((h + t + b))"
}

# e2e_key ID KEYS...: activates window ID (raising it and giving it the keyboard focus) and
# types the keys, in xdotool's names: e2e_key "$win" ctrl+x   e2e_key "$win" F5 Tab Return
e2e_key()
{
    local id=$1
    shift
    if ! timeout 5 xdotool windowactivate --sync "$id" >/dev/null 2>&1; then
        timeout 5 xdotool windowfocus --sync "$id" >/dev/null 2>&1 || {
            e2e_log "cannot give the keyboard focus to window $id"
            return 1
        }
    fi
    xdotool key --clearmodifiers --delay 50 "$@"
}

# e2e_screenshot FILE: saves the whole screen as a PNG and prints the file's path.
e2e_screenshot()
{
    import -window root "$1" || {
        e2e_log "import could not take a screenshot into $1"
        return 1
    }
    echo "$1"
}

# e2e_wait_exit PID [TIMEOUT]: waits until process PID ends. Returns 0 and sets
# E2E_EXIT_STATUS (the exit status, 128+N after signal N; 127 for a process that this
# script did not start) when it did, returns 1 on time-out. Call it directly, not in $(...): only this shell can read its children's status.
e2e_wait_exit()
{
    local pid=$1 timeout=${2:-$E2E_TIMEOUT} i
    E2E_EXIT_STATUS=
    for ((i = 0; i < timeout * 10; i++)); do
        e2e_alive "$pid" || break
        sleep 0.1
    done
    if e2e_alive "$pid"; then
        e2e_log "process $pid is still running after ${timeout}s"
        return 1
    fi
    E2E_EXIT_STATUS=0
    wait "$pid" 2>/dev/null || E2E_EXIT_STATUS=$?
    e2e_untrack "$pid"
    return 0
}
