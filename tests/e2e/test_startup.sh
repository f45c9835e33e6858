#!/usr/bin/env bash
# First start on an empty configuration: the splash shows, then the main window at its
# default place and size; File > Exit (Ctrl+X) ends the program and stores the main
# window's rectangle as it was given.
source "${E2E_LIB:-$(dirname "$0")/lib.sh}"
program=$1

e2e_start_display
e2e_start_program "$program"

# The splash: a caption-less window of 457 x 294 pixels, shown before the main window.
splash=""
for _ in $(seq 1 100); do
    for id in $(xdotool search --onlyvisible --pid "$E2E_PID" 2>/dev/null || true); do
        read -r _ _ w h < <(e2e_window_client_geometry "$id")
        if [[ $w == 457 && $h == 294 ]]; then
            splash=$id
            break 2
        fi
    done
    sleep 0.05
done
[[ -n $splash ]] || e2e_fail "no splash window appeared"
e2e_log "splash window $splash"

main=$(e2e_wait_window '^Plenwick$' 30)
e2e_wait_window_gone "$splash" 10 || e2e_fail "the splash did not go away"

# 100, 50, 8200 and 6400 twips at 15 twips per pixel, frame included.
read -r x y w h < <(e2e_window_geometry "$main")
e2e_log "main window at $x,$y size ${w}x$h"
((x == 7 && y == 3)) || e2e_fail "main window at $x,$y, expected 7,3"
((w == 547 && h == 427)) || e2e_fail "main window ${w}x$h, expected 547x427"

e2e_key "$main" ctrl+x
e2e_wait_exit "$E2E_PID" 20 || e2e_fail "the program did not end on Ctrl+X"
[[ $E2E_EXIT_STATUS == 0 ]] || e2e_fail "exit status $E2E_EXIT_STATUS"

ini=$E2E_CONFIG_HOME/Plenwick/Plenwick.ini
[[ -f $ini ]] || e2e_fail "no settings file at $ini"
section=$(awk '/^\[MainForm\]/{on=1; next} /^\[/{on=0} on' "$ini")
for expected in Left=100 Top=50 Height=6400 Width=8200; do
    grep -qx "$expected" <<<"$section" || e2e_fail "MainForm lacks $expected: $section"
done
e2e_log "MainForm stored: $(tr '\n' ' ' <<<"$section")"
