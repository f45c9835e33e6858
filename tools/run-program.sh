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

# --- No display: a virtual one (Xvfb + openbox), a screenshot, then Ctrl+X. ---
build_dir=$(dirname "$(dirname "$program")")
screenshot=${PLENWICK_SCREENSHOT:-$build_dir/plenwick-screenshot.png}
[[ -w $(dirname "$screenshot") ]] || screenshot=${TMPDIR:-/tmp}/plenwick-screenshot.png
echo "run-program: no display found; starting a virtual one (Xvfb + openbox)" >&2
exec /usr/bin/python3 -B "$(dirname "$0")/xsession.py" "$program" "$screenshot"
