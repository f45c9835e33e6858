#!/usr/bin/env bash
# View > Preferences... (clicked with the mouse) opens the "Preferences" window, and its
# seconds box sets how often the memory tick comes: the refresh lamp, bright red for half a
# second after every tick, is lit far more often once "5" is replaced by "1".
# shellcheck source=lib.sh
source "${E2E_LIB:-$(dirname "$0")/lib.sh}"
source "$(dirname "${BASH_SOURCE[0]}")/menus.sh"
program=$1

# The lamp's middle, in pixels of the preferences window's client area: the lamp is a
# 135-twip circle at 2040,360 inside the "Refresh Rate" frame at 120,1200 (15 twips per
# pixel).
lamp_x=$(((120 + 2040 + 67) / 15))
lamp_y=$(((1200 + 360 + 67) / 15))
# The seconds box: 375 x 285 twips at 1080,670 inside the same frame.
box_x=$(((120 + 1080 + 187) / 15))
box_y=$(((1200 + 670 + 142) / 15))

# sample_lamp WINDOW SECONDS NAME: looks at the lamp as often as it can for SECONDS and
# sets lamp_bright (samples lit), lamp_total (all samples) and lamp_flashes (times it went
# from dark to lit). Fails on a pixel that is no lamp colour. The pixel is
# read by `import -snaps`, which takes picture after picture in one process: far faster
# than one process per picture on a busy machine, where the samples must come well within
# the lamp's half second to see each flash.
sample_lamp()
{
    local win=$1 seconds=$2 name=$3 start end r g b state previous=dim bright=0 total=0 flashes=0
    start=$(date +%s%N)
    end=$((start + seconds * 1000000000))
    while (($(date +%s%N) < end)); do
        while read -r r g b; do
            if ((r >= 200 && g < 80 && b < 80)); then
                state=bright
            elif ((r >= 90 && r <= 170 && g < 60 && b < 60)); then
                state=dim
            else
                e2e_fail "the lamp at $lamp_x,$lamp_y shows $r,$g,$b, neither bright nor dark red"
            fi
            ((total += 1))
            if [[ $state == bright ]]; then
                ((bright += 1))
                [[ $previous == dim ]] && ((flashes += 1))
            fi
            previous=$state
        done < <(import -window "$win" -snaps 10 -crop "1x1+$lamp_x+$lamp_y" -depth 8 txt:- \
            2>/dev/null | sed -n 's/^0,0: *(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3/p')
    done
    lamp_bright=$bright
    lamp_total=$total
    lamp_flashes=$flashes
    e2e_log "$name: lamp lit in $bright of $total samples, $flashes flashes in" \
        "$((($(date +%s%N) - start) / 1000000)) ms"
    ((total >= 30)) || e2e_fail "only $total samples of the lamp in ${seconds}s"
}

e2e_start_display
e2e_park_pointer
e2e_start_program "$program"
main=$(e2e_wait_window '^Plenwick$' 30)

# The window is loaded at start-up, but hidden.
if xdotool search --onlyvisible --name '^Preferences$' >/dev/null 2>&1; then
    e2e_fail "a Preferences window is shown before it was asked for"
fi

# View (the second title of the menu bar) > Preferences... (its first item).
read -r view_menu px py pw ph < <(e2e_open_menu "$main" "$E2E_PID" 2) ||
    e2e_fail "the View menu did not open"
e2e_log "View menu $view_menu at $px,$py size ${pw}x$ph"
e2e_click $((px + 30)) $((py + 11))
prefs=$(e2e_wait_window '^Preferences$' 20) || e2e_fail "View > Preferences... opened no Preferences window"
e2e_wait_window_gone "$view_menu" 10 || e2e_fail "the View menu stayed open"
e2e_park_pointer

# With the stored defaults ("Every 5 Seconds") the lamp flashes once every 5 s.
sample_lamp "$prefs" 6 "every 5 s"
read -r every5_bright every5_total every5_flashes <<<"$lamp_bright $lamp_total $lamp_flashes"

# Replace "5" by "1" in the seconds box.
read -r qx qy _ _ < <(e2e_window_client_geometry "$prefs")
e2e_click $((qx + box_x)) $((qy + box_y))
xdotool key --clearmodifiers --delay 80 ctrl+a 1
e2e_park_pointer
sleep 1.5

sample_lamp "$prefs" 6 "every 1 s"
read -r every1_bright every1_total every1_flashes <<<"$lamp_bright $lamp_total $lamp_flashes"

# Once a second the lamp is lit about half of the time, once in 5 s a tenth of it.
percent5=$((100 * every5_bright / every5_total))
percent1=$((100 * every1_bright / every1_total))
((percent5 <= 30)) || e2e_fail "every 5 s the lamp was lit ${percent5}% of the time"
((percent1 >= 30)) || e2e_fail "every 1 s the lamp was lit only ${percent1}% of the time"
((percent1 >= percent5 + 20)) ||
    e2e_fail "the lamp was lit ${percent1}% of the time after '1', ${percent5}% before: no clear rise"
((every1_flashes >= 3)) || e2e_fail "only $every1_flashes ticks in 6 s at 'Every 1 Seconds'"
((every1_flashes > every5_flashes)) ||
    e2e_fail "$every1_flashes ticks in 6 s after '1', $every5_flashes before"

# The box's text is what the program keeps: the end of the run stores it.
e2e_key "$main" ctrl+x
e2e_wait_exit "$E2E_PID" 20 || e2e_fail "the program did not end on Ctrl+X"
[[ $E2E_EXIT_STATUS == 0 ]] || e2e_fail "exit status $E2E_EXIT_STATUS"
ini=$E2E_CONFIG_HOME/Plenwick/Plenwick.ini
grep -qx 'RefreshInterval1=1' "$ini" ||
    e2e_fail "the seconds box was not stored as 1: $(grep RefreshInterval1 "$ini" || echo none)"
grep -qx 'OptRefresh2=True' "$ini" || e2e_fail "the seconds option was not stored as selected"
