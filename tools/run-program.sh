#!/usr/bin/env bash
# Starts the program: `make run` calls this with the path of the built binary.
#
# On a desktop (DISPLAY or WAYLAND_DISPLAY set) it simply runs the program there.
#
# On a machine without any display (a server, a container, CI) it starts a virtual X display
# (Xvfb, 1280x1024) with the openbox window manager, starts the program on it, waits until
# the main window "Plenwick" is shown and the start-up splash has gone, saves a screenshot of
# the whole screen, prints the screenshot's absolute path, closes the program the way a user
# would (ctrl+x, its Exit shortcut; killed if it does not end) and stops the display.
#
# The program uses the user's own settings ($XDG_CONFIG_HOME/Plenwick/Plenwick.ini, usually
# ~/.config/Plenwick/Plenwick.ini) in both cases: this is a real run, so the screenshot
# shows the stored magnification and window placement, and the run saves them on closing
# like any other. Set PLENWICK_RUN_FRESH_CONFIG=1 to run a headless session on empty,
# throw-away settings instead.
#
# Environment: PLENWICK_SCREENSHOT  where to save the screenshot (default: next to the
#                                   build folder, build/plenwick-screenshot.png, or under
#                                   $TMPDIR when that cannot be written)
#              PLENWICK_RUN_TIMEOUT seconds to wait for the main window (default 60)
set -euo pipefail

usage() { echo "usage: $0 <path-to-plenwick>" >&2; }

if (($# != 1)); then
    usage
    exit 2
fi
program=$1
if [[ ! -f $program ]]; then
    echo "run-program: $program does not exist (build it first: make build)" >&2
    exit 1
fi
if [[ ! -x $program ]]; then
    echo "run-program: $program is not executable" >&2
    exit 1
fi
program=$(cd "$(dirname "$program")" && pwd)/$(basename "$program")

if [[ -n ${DISPLAY:-} || -n ${WAYLAND_DISPLAY:-} ]]; then
    exec "$program"
fi

# --- No display: a virtual one. ---
here=$(cd "$(dirname "$0")" && pwd)
E2E_NAME=run-program
E2E_TIMEOUT=${PLENWICK_RUN_TIMEOUT:-60}
E2E_ARTIFACT_DIR=${TMPDIR:-/tmp}
# shellcheck source=SCRIPTDIR/../tests/e2e/lib.sh
source "$here/../tests/e2e/lib.sh"

if [[ ${PLENWICK_RUN_FRESH_CONFIG:-0} != 1 ]]; then
    E2E_CONFIG_HOME=${XDG_CONFIG_HOME:-$HOME/.config}
    mkdir -p "$E2E_CONFIG_HOME"
fi

screenshot=${PLENWICK_SCREENSHOT:-}
if [[ -z $screenshot ]]; then
    build_dir=$(dirname "$(dirname "$program")")
    if [[ -w $build_dir ]]; then
        screenshot=$build_dir/plenwick-screenshot.png
    else
        screenshot=${TMPDIR:-/tmp}/plenwick-screenshot.png
    fi
fi
mkdir -p "$(dirname "$screenshot")"
screenshot=$(cd "$(dirname "$screenshot")" && pwd)/$(basename "$screenshot")

echo "run-program: no display found; starting a virtual one (Xvfb + openbox)" >&2
e2e_start_display
echo "run-program: settings in $E2E_CONFIG_HOME/Plenwick/Plenwick.ini" >&2
e2e_start_program "$program"

main=$(e2e_wait_window '^Plenwick$' "$E2E_TIMEOUT") ||
    e2e_fail "the main window \"Plenwick\" was not shown"

# The splash is the program's one other visible window at start-up, shown about half a
# second; wait until the main window is the program's only visible window.
for ((i = 0; i < 100; i++)); do
    shown=$(xdotool search --onlyvisible --pid "$E2E_PID" 2>/dev/null | grep -cvx "$main") || true
    ((shown == 0)) && break
    sleep 0.1
done
((shown == 0)) || echo "run-program: another window of the program is still shown" >&2
sleep 2 # let the first scan and the chart settle

e2e_alive "$E2E_PID" || e2e_fail "the program ended on its own"
e2e_screenshot "$screenshot" >/dev/null || e2e_fail "could not save the screenshot"

# Close it like a user (ctrl+x is File > Exit), so that it saves its settings.
if e2e_key "$main" ctrl+x && e2e_wait_exit "$E2E_PID" 15; then
    if [[ $E2E_EXIT_STATUS != 0 ]]; then
        echo "run-program: the program ended with status $E2E_EXIT_STATUS" >&2
        e2e_dump_logs
    fi
else
    echo "run-program: the program did not close on ctrl+x; ending it" >&2
    e2e_stop_pid "$E2E_PID"
fi

echo "$screenshot"
