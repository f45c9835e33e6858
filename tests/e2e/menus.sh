# shellcheck shell=bash
# Mouse helpers for the end-to-end tests: open the main window's menus and their submenus
# with real clicks, click inside a window's client area, and read pixels back. Sourced
# after lib.sh by the scripts that need them:
#
#     source "${E2E_LIB:-$(dirname "$0")/lib.sh}"
#     source "$(dirname "${BASH_SOURCE[0]}")/menus.sh"
#
# A menu title is found on the screen itself: the menu bar strip at the top of the client
# area is cut into runs of columns that hold dark (text) pixels, one run per title, in
# the menu bar's order. A click on a title must make a popup menu window appear under it.

# e2e_pointer_to X Y: moves the pointer to the screen position and waits until the server
# has it there. (`xdotool mousemove --sync` would wait for a motion that never comes when
# the pointer is already in place.)
e2e_pointer_to()
{
    local i
    xdotool mousemove "$1" "$2"
    for ((i = 0; i < 50; i++)); do
        [[ $(xdotool getmouselocation 2>/dev/null) == "x:$1 y:$2 "* ]] && return 0
        sleep 0.05
    done
    e2e_log "the pointer did not get to $1,$2"
    return 1
}

# e2e_click X Y: moves the pointer to the screen position and clicks the left button.
e2e_click()
{
    e2e_pointer_to "$1" "$2" || return 1
    xdotool click 1
}

# e2e_click_client ID X Y: clicks at X,Y of window ID's client area (pixels).
e2e_click_client()
{
    local wx wy
    read -r wx wy _ _ < <(e2e_window_client_geometry "$1") || return 1
    e2e_click $((wx + $2)) $((wy + $3))
}

# e2e_park_pointer: moves the pointer to the screen's bottom right corner, away from every
# window, so that no tooltip or hover highlight changes what a screenshot shows.
e2e_park_pointer()
{
    e2e_pointer_to 1270 1015
}

# e2e_popups PID: prints the ids of the visible popup windows (menus) of process PID: the
# windows that it shows without the window manager (override-redirect). The window type
# is no sign: a menu shown a second time may be typed as a normal window.
e2e_popups()
{
    local id
    for id in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null || true); do
        xwininfo -id "$id" 2>/dev/null | grep -q 'Override Redirect State: yes' && echo "$id"
    done
    return 0
}

# e2e_wait_new_popup PID TIMEOUT KNOWN-IDS...: waits until a popup menu of PID that is not
# one of KNOWN-IDS is shown; prints its id.
e2e_wait_new_popup()
{
    local pid=$1 timeout=$2 i id known
    shift 2
    for ((i = 0; i < timeout * 5; i++)); do
        for id in $(e2e_popups "$pid"); do
            for known in "$@"; do
                [[ $id == "$known" ]] && continue 2
            done
            echo "$id"
            return 0
        done
        sleep 0.2
    done
    return 1
}

# e2e_menu_titles ID: prints "left right" (client x, pixels) of each title in the menu bar
# of window ID, one line per title, left to right.
e2e_menu_titles()
{
    local w
    read -r _ _ w _ < <(e2e_window_client_geometry "$1") || return 1
    # Rows 3 to 16 of the client area hold the titles' text; a column counts as text when
    # one of its pixels there is dark.
    import -window "$1" -crop "${w}x14+0+3" +repage png:- 2>/dev/null |
        convert png:- -colorspace Gray -threshold 50% -negate -scale "${w}x1!" txt:- |
        awk -F'[,:() ]+' '
            /^[0-9]/ { ink = ($3 + 0) > 0
                       if (ink && start < 0) start = $1
                       if (ink) last = $1
                       # A gap of more than 6 blank columns ends a title.
                       if (!ink && start >= 0 && $1 - last > 6) { print start, last; start = -1 } }
            BEGIN { start = -1 }
            END { if (start >= 0) print start, last }'
}

# e2e_open_menu ID PID N: clicks the N-th title (1 = first) of window ID's menu bar and
# waits for its popup menu; prints "popup-id x y w h" (screen pixels). Tries a few times,
# since a click may land while the program is busy with a refresh.
e2e_open_menu()
{
    local win=$1 pid=$2 n=$3 titles left right wx wy attempt popup px py pw ph
    for ((attempt = 1; attempt <= 4; attempt++)); do
        mapfile -t titles < <(e2e_menu_titles "$win")
        if ((${#titles[@]} < n)); then
            e2e_log "menu bar shows ${#titles[@]} titles, wanted the title number $n"
            sleep 1
            continue
        fi
        read -r left right <<<"${titles[n - 1]}"
        read -r wx wy _ _ < <(e2e_window_client_geometry "$win")
        e2e_click $((wx + (left + right) / 2)) $((wy + 10))
        if popup=$(e2e_wait_new_popup "$pid" 10); then
            read -r px py pw ph < <(e2e_window_client_geometry "$popup")
            # A menu opens under its own title (its left edge a little left of the text).
            if ((px <= wx + left && px >= wx + left - 30)); then
                echo "$popup $px $py $pw $ph"
                return 0
            fi
            e2e_log "a popup opened at x=$px, not under the title at x=$((wx + left))"
        else
            e2e_log "no popup menu after clicking the title number $n (attempt $attempt)"
        fi
        xdotool key Escape Escape
        sleep 0.5
    done
    return 1
}

# e2e_open_submenu PID ITEM-X ITEM-Y KNOWN-IDS...: rests the pointer on the item at the
# screen position that opens a submenu and waits for the submenu; prints
# "popup-id x y w h". KNOWN-IDS are the popups already open.
e2e_open_submenu()
{
    local pid=$1 x=$2 y=$3 popup px py pw ph
    shift 3
    # Enter the item from the left, as a user's pointer does, so the menu highlights it.
    e2e_pointer_to $((x - 20)) "$y" || return 1
    e2e_pointer_to "$x" "$y" || return 1
    popup=$(e2e_wait_new_popup "$pid" 10 "$@") || {
        e2e_log "no submenu opened from the item at $x,$y"
        return 1
    }
    read -r px py pw ph < <(e2e_window_client_geometry "$popup")
    echo "$popup $px $py $pw $ph"
}

# e2e_pixel ID X Y: prints the colour of the pixel at X,Y of window ID's client area as
# "R G B", 0 to 255 each.
e2e_pixel()
{
    import -window "$1" -crop "1x1+$2+$3" -depth 8 txt:- 2>/dev/null |
        sed -n 's/^0,0: *(\([0-9.]*\),\([0-9.]*\),\([0-9.]*\).*/\1 \2 \3/p' |
        awk '{ printf "%d %d %d\n", $1, $2, $3 }'
}

# e2e_crop ID X Y W H FILE: saves the rectangle of window ID's client area (pixels) as a PNG.
e2e_crop()
{
    import -window "$1" -crop "${4}x${5}+$2+$3" +repage "$6" 2>/dev/null
}

# e2e_differing_pixels FILE1 FILE2: prints how many pixels of the two pictures differ.
e2e_differing_pixels()
{
    # compare writes the count on stderr, and exits 1 when the pictures differ.
    { compare -metric AE "$1" "$2" null: 2>&1 >/dev/null || true; } | awk '{ print int($1) }'
}

# e2e_dark_pixels ID X Y W H: prints how many pixels of the rectangle of window ID's client
# area are dark (below 35% grey): a check mark or the dot of a selected option button.
e2e_dark_pixels()
{
    import -window "$1" -crop "${4}x${5}+$2+$3" +repage png:- 2>/dev/null |
        convert png:- -colorspace Gray -threshold 35% -negate -format '%[fx:round(mean*w*h)]\n' info:
}
