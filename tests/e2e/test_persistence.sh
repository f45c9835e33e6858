#!/usr/bin/env bash
# The magnification, the refresh option and the intervals chosen with the mouse survive a
# restart. First run on an empty configuration: View > Magnification > "300% Zoom", then
# in the Preferences window the minutes option with "2" minutes; the window is closed and
# the program ended with Ctrl+X. Second run: the magnification menu has "300% Zoom"
# checked, the Preferences window (the "Preferences" button) has the minutes option
# selected, and closing it and ending the program write the same settings back (a restore
# that failed would write the defaults).
# shellcheck source=lib.sh
source "${E2E_LIB:-$(dirname "$0")/lib.sh}"
source "$(dirname "${BASH_SOURCE[0]}")/menus.sh"
program=$1
ini=$E2E_CONFIG_HOME/Plenwick/Plenwick.ini

# Places in the Preferences window's client area, in pixels (twips / 15): the option
# buttons' round indicators (the buttons are 255 twips high, at 360 + 360 * (n - 1) inside
# the "Refresh Rate" frame at 120,1200), and the minutes box (1080,1030, 375 x 285).
option_x=39
option_y=(0 112 136 160)
minutes_x=$(((120 + 1080 + 187) / 15))
minutes_y=$(((1200 + 1030 + 142) / 15))

# The "Preferences" section of the settings file, one key=value a line, sorted.
preferences_section()
{
    awk '/^\[Preferences\]/ {on = 1; next} /^\[/ {on = 0} on && NF' "$ini" | sort
}

check_stored()
{
    local when=$1 section expected
    section=$(preferences_section)
    for expected in Zoom=3 OptRefresh1=False OptRefresh2=False OptRefresh3=True \
        RefreshInterval2=2; do
        grep -qx "$expected" <<<"$section" ||
            e2e_fail "$when: the settings lack $expected: $(tr '\n' ' ' <<<"$section")"
    done
}

# open_magnification_menu MAIN: opens View > Magnification with the mouse and sets
# submenu_id, sub_x, sub_y, sub_w, sub_h (screen pixels) of the submenu.
open_magnification_menu()
{
    local view px py ph
    read -r view px py _ ph < <(e2e_open_menu "$1" "$E2E_PID" 2) ||
        e2e_fail "the View menu did not open"
    # "Magnification" is the View menu's last item.
    read -r submenu_id sub_x sub_y sub_w sub_h < <(
        e2e_open_submenu "$E2E_PID" $((px + 40)) $((py + ph - 11)) "$view"
    ) || e2e_fail "the Magnification submenu did not open"
    e2e_log "Magnification submenu at $sub_x,$sub_y size ${sub_w}x$sub_h"
}

# The middle of item N (1 to 4) of the magnification submenu, whose four items are alike.
item_y()
{
    echo $((sub_y + sub_h * (2 * $1 - 1) / 8))
}

wait_no_popups()
{
    local i
    for ((i = 0; i < 100; i++)); do
        [[ -z $(e2e_popups "$E2E_PID") ]] && return 0
        sleep 0.1
    done
    e2e_fail "a menu stayed open"
}

close_preferences()
{
    local prefs=$1
    e2e_key "$prefs" alt+F4
    e2e_wait_window_gone "$prefs" 20 || e2e_fail "the Preferences window did not close"
}

end_program()
{
    e2e_key "$1" ctrl+x
    e2e_wait_exit "$E2E_PID" 20 || e2e_fail "the program did not end on Ctrl+X"
    [[ $E2E_EXIT_STATUS == 0 ]] || e2e_fail "exit status $E2E_EXIT_STATUS"
}

# viewport_top MAIN: prints the client y of the chart viewport's top edge, the first dark
# line from the top near the window's right edge (the menu bar has no text there).
viewport_top()
{
    local w
    read -r _ _ w _ < <(e2e_window_client_geometry "$1") || return 1
    import -window "$1" -crop "1x80+$((w - 40))+0" +repage png:- 2>/dev/null |
        convert png:- -colorspace Gray -depth 8 txt:- |
        awk -F'[,:() ]+' '/^0,/ && ($3 + 0) < 190 { print $2; found = 1; exit }
                        END { exit !found }'
}

# scroll_strip MAIN FILE: saves a strip across the chart's scroll bar, which lies under the
# viewport, whose height is the window's outer height less 95 pixels.
scroll_strip()
{
    local top outer_h
    top=$(viewport_top "$1") || e2e_fail "cannot find the chart's viewport"
    read -r _ _ _ outer_h < <(e2e_window_geometry "$1")
    e2e_crop "$1" 8 $((top + outer_h - 95 + 2)) 500 8 "$2"
}

# settled_strip MAIN FILE: the same, once two strips half a second apart are alike.
settled_strip()
{
    local i
    scroll_strip "$1" "$2"
    for ((i = 0; i < 40; i++)); do
        sleep 0.5
        scroll_strip "$1" "$E2E_TMP/strip-next.png"
        (($(e2e_differing_pixels "$2" "$E2E_TMP/strip-next.png") == 0)) && return 0
        mv "$E2E_TMP/strip-next.png" "$2"
    done
    e2e_fail "the chart's scroll bar keeps changing"
}

e2e_start_display
e2e_park_pointer

# ---- First run: choose the settings --------------------------------------------------
e2e_start_program "$program"
main=$(e2e_wait_window '^Plenwick$' 30)

# The chart's scroll bar at 100%: its thumb's length shows how much wider than the
# viewport the chart is, that is the magnification.
settled_strip "$main" "$E2E_TMP/scroll-100.png"

open_magnification_menu "$main"
e2e_click $((sub_x + 40)) "$(item_y 3)" # "300% Zoom"
wait_no_popups
e2e_park_pointer

# The chart is re-laid out at once: the scroll bar's thumb gets shorter.
for ((i = 0; i < 20; i++)); do
    settled_strip "$main" "$E2E_TMP/scroll-300.png"
    (($(e2e_differing_pixels "$E2E_TMP/scroll-100.png" "$E2E_TMP/scroll-300.png") > 50)) && break
done
(($(e2e_differing_pixels "$E2E_TMP/scroll-100.png" "$E2E_TMP/scroll-300.png") > 50)) ||
    e2e_fail "\"300% Zoom\" did not change the chart's scroll bar"

read -r view px py _ _ < <(e2e_open_menu "$main" "$E2E_PID" 2) ||
    e2e_fail "the View menu did not open"
e2e_click $((px + 30)) $((py + 11)) # "Preferences..."
prefs=$(e2e_wait_window '^Preferences$' 20) || e2e_fail "View > Preferences... opened nothing"

read -r qx qy _ _ < <(e2e_window_client_geometry "$prefs")
e2e_click $((qx + option_x)) $((qy + option_y[3])) # the minutes option "Every"
e2e_click $((qx + minutes_x)) $((qy + minutes_y))
xdotool key --clearmodifiers --delay 80 ctrl+a 2
e2e_park_pointer
# The option and the box take effect at once; the dot shows the option selected.
for ((i = 0; i < 50; i++)); do
    (($(e2e_dark_pixels "$prefs" $((option_x - 2)) $((option_y[3] - 2)) 5 5) > 0)) && break
    sleep 0.1
done
(($(e2e_dark_pixels "$prefs" $((option_x - 2)) $((option_y[3] - 2)) 5 5) > 0)) ||
    e2e_fail "a click on the minutes option did not select it"

close_preferences "$prefs"
end_program "$main"
check_stored "after the first run"
cp "$ini" "$E2E_TMP/first-run.ini"

# ---- Second run: the same settings come back -------------------------------------------
e2e_start_program "$program"
main=$(e2e_wait_window '^Plenwick$' 30)

# The chart has the scroll bar of the 300% chart of the first run (the window has the same
# size), not that of 100%.
e2e_park_pointer
settled_strip "$main" "$E2E_TMP/scroll-restart.png"
from300=$(e2e_differing_pixels "$E2E_TMP/scroll-300.png" "$E2E_TMP/scroll-restart.png")
from100=$(e2e_differing_pixels "$E2E_TMP/scroll-100.png" "$E2E_TMP/scroll-restart.png")
e2e_log "scroll bar after the restart: $from300 pixels off the 300% one, $from100 off 100%"
((from300 <= 20 && from100 > 10 * from300 + 50)) ||
    e2e_fail "the chart was not restored at 300% ($from300 pixels off 300%, $from100 off 100%)"

# The magnification menu has "300% Zoom" checked, and only that item.
open_magnification_menu "$main"
for n in 1 2 3 4; do
    marks=$(e2e_dark_pixels "$submenu_id" 3 $(($(item_y "$n") - sub_y - 7)) 18 14)
    if ((n == 3)); then
        ((marks > 0)) || e2e_fail "\"300% Zoom\" is not checked after the restart"
    else
        ((marks == 0)) || e2e_fail "item $n of the Magnification menu is checked after the restart"
    fi
done
xdotool key Escape Escape
wait_no_popups

# The fifth button under the chart, "Preferences": the buttons are 81 pixels wide, 85
# apart from the viewport's left edge (8), their tops 30 pixels above the client's bottom.
read -r mx my _ mh < <(e2e_window_client_geometry "$main")
e2e_click $((mx + 8 + 4 * 85 + 40)) $((my + mh - 18))
prefs=$(e2e_wait_window '^Preferences$' 20) || e2e_fail "the Preferences button opened nothing"
e2e_park_pointer
for n in 1 2 3; do
    dots=$(e2e_dark_pixels "$prefs" $((option_x - 2)) $((option_y[n] - 2)) 5 5)
    if ((n == 3)); then
        ((dots > 0)) || e2e_fail "the minutes option is not selected after the restart"
    else
        ((dots == 0)) || e2e_fail "option $n is selected after the restart"
    fi
done

# Closing the window stores what it shows, the end of the run what the program holds.
close_preferences "$prefs"
check_stored "after closing the Preferences window"
end_program "$main"
check_stored "after the second run"
diff <(preferences_section) <(ini=$E2E_TMP/first-run.ini preferences_section) >&2 ||
    e2e_fail "the second run stored other preferences than the first"
