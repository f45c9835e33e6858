#!/usr/bin/env bash
# F5 refreshes the chart. With the refresh rate stored as "Disabled" no memory tick comes
# by itself, so the chart stays as it was drawn even when the machine's processes change;
# F5 (View > Refresh) scans again and draws the new processes.
# shellcheck source=lib.sh
source "${E2E_LIB:-$(dirname "$0")/lib.sh}"
source "$(dirname "${BASH_SOURCE[0]}")/menus.sh"
program=$1

mkdir -p "$E2E_CONFIG_HOME/Plenwick"
cat >"$E2E_CONFIG_HOME/Plenwick/Plenwick.ini" <<'EOF'
[Preferences]
OptRefresh1=True
OptRefresh2=False
OptRefresh3=False
EOF

e2e_start_display
e2e_park_pointer
e2e_start_program "$program"
main=$(e2e_wait_window '^Plenwick$' 30)

# The chart's viewport lies below the menu bar, 8 pixels in from the client's left edge;
# the part of it above the scroll bar and the buttons is compared.
read -r _ _ cw ch < <(e2e_window_client_geometry "$main")
crop=(16 40 $((cw - 32)) $((ch - 120)))
e2e_log "comparing the chart area ${crop[2]}x${crop[3]}+${crop[0]}+${crop[1]} of a ${cw}x$ch client"

# Wait until the chart has settled after the window was shown: two crops a second apart
# that are the same.
e2e_crop "$main" "${crop[@]}" "$E2E_TMP/before.png"
settled=0
for _ in $(seq 1 30); do
    sleep 1
    e2e_crop "$main" "${crop[@]}" "$E2E_TMP/now.png"
    diff=$(e2e_differing_pixels "$E2E_TMP/before.png" "$E2E_TMP/now.png")
    e2e_log "settling: $diff pixels changed"
    if ((diff == 0)); then
        settled=1
        break
    fi
    mv "$E2E_TMP/now.png" "$E2E_TMP/before.png"
done
((settled)) || e2e_fail "the chart kept changing although the refresh is disabled"

# Forty more processes of a distinctive name. They are tracked like the program, so the
# cleanup ends them by their ids however the script ends.
cp /bin/sleep "$E2E_TMP/zzmarker"
extra_pids=()
for _ in $(seq 1 40); do
    "$E2E_TMP/zzmarker" 300 </dev/null >/dev/null 2>&1 &
    extra_pids+=($!)
    e2e_track $!
done
e2e_log "started ${#extra_pids[@]} extra processes"

# Nothing refreshes by itself.
sleep 2
e2e_crop "$main" "${crop[@]}" "$E2E_TMP/unrefreshed.png"
same=$(e2e_differing_pixels "$E2E_TMP/before.png" "$E2E_TMP/unrefreshed.png")
((same == 0)) || e2e_fail "the chart changed by itself ($same pixels) with the refresh disabled"

# F5 draws the chart from a fresh scan.
e2e_key "$main" F5
e2e_park_pointer
changed=0
for _ in $(seq 1 100); do
    sleep 0.2
    e2e_crop "$main" "${crop[@]}" "$E2E_TMP/refreshed.png"
    changed=$(e2e_differing_pixels "$E2E_TMP/unrefreshed.png" "$E2E_TMP/refreshed.png")
    ((changed == 0)) || break
done
((changed > 0)) || e2e_fail "F5 did not change the chart"
e2e_log "F5 changed $changed pixels of the chart"

for pid in "${extra_pids[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    e2e_untrack "$pid"
done
e2e_key "$main" ctrl+x
e2e_wait_exit "$E2E_PID" 20 || e2e_fail "the program did not end on Ctrl+X"
[[ $E2E_EXIT_STATUS == 0 ]] || e2e_fail "exit status $E2E_EXIT_STATUS"
