#!/usr/bin/env bash
# The program's own CPU cost per refresh, beside top's and a bare /proc reader's on the
# same processes.
#
#   bash bench/cost.sh <path-to-plenwick> [<path-to-procreader>]
#
# The reader (bench/procreader.cpp, built beside the benchmarks) is looked for in the
# build's bench folder when not given: ../bench/procreader from the program's folder.
#
# Starts the real program (on Xvfb with openbox when there is no $DISPLAY) with a fresh
# settings folder that holds "Every 1 Seconds", waits for the main window and lets it
# settle, then measures twice: with the machine's processes as they are, and with
# COST_SLEEPERS (1000) extra sleeping processes that this script starts and ends by their
# ids. The sleepers run copies of sleep under as many different names (sleep0001, ...),
# so that the scan gives every one of them a slice of its own. Each measurement runs
# `top -b -d 1 -n 21` and `procreader 1000 21` beside the program and reads, over the
# same 20 seconds, the CPU time (utime + stime of /proc/<pid>/stat) of all three:
#
#   program ms/tick   its CPU time over the period / the period in seconds (one tick a second)
#   top ms/refresh    top's whole CPU time / 20 (its first of 21 refreshes comes at start-up);
#                     "steady" leaves out the start-up and that first refresh
#   reader ms/snap    the bare reader's whole CPU time / 21 (all its snapshots are alike)
#
# The targets, with the sleepers: a program cost per tick at most half of top's per
# refresh and at most 1.5 times the reader's per snapshot; without them, at most top's.
#
# Environment: COST_TICKS (20), COST_SLEEPERS (1000), COST_SETTLE (3, seconds after the main
# window appears or after the sleepers have started), COST_STRICT=1 to end with status 3 when
# the target is missed. Ends with status 1 on any error; everything started here (Xvfb,
# openbox, the program, top, the sleepers) is ended however the script ends.

# shellcheck disable=SC2034  # the E2E_ settings are read by xdisplay.sh
E2E_NAME=cost
E2E_ARTIFACT_DIR=${E2E_ARTIFACT_DIR:-${TMPDIR:-/tmp}} # where a failure leaves its screenshot
# shellcheck source-path=SCRIPTDIR source=xdisplay.sh
source "$(dirname "${BASH_SOURCE[0]}")/xdisplay.sh"

TICKS=${COST_TICKS:-20}
SLEEPER_COUNT=${COST_SLEEPERS:-1000}
SETTLE=${COST_SETTLE:-3}
CLK_TCK=$(getconf CLK_TCK)
SLEEPERS=() # the sleeping processes started here, ended by these ids alone

(($# == 1 || $# == 2)) || {
    echo "usage: bash $0 <path-to-plenwick> [<path-to-procreader>]" >&2
    exit 1
}
program=$(realpath -e "$1" 2>/dev/null) || e2e_fail "no such program: $1"
[[ -x $program ]] || e2e_fail "not an executable program: $program"
reader=${2:-$(dirname "$program")/../bench/procreader}
reader=$(realpath -e "$reader" 2>/dev/null) || e2e_fail "no such reader: ${2:-procreader}"
[[ -x $reader ]] || e2e_fail "not an executable program: $reader"
[[ $TICKS =~ ^[1-9][0-9]*$ && $SLEEPER_COUNT =~ ^[0-9]+$ && $SETTLE =~ ^[0-9]+$ ]] ||
    e2e_fail "COST_TICKS, COST_SLEEPERS and COST_SETTLE must be whole numbers"
command -v top >/dev/null || e2e_fail "top is not installed (procps)"
export TERM=${TERM:-dumb} # top wants one even in batch mode

# ---- The sleepers -------------------------------------------------------------------

# Ends exactly the sleepers started here: each recorded id that is still a child of this
# shell running one of the sleep copies (so never an id the system has given to another
# process since).
stop_sleepers()
{
    ((${#SLEEPERS[@]})) || return 0
    local pid stat ppid mine=()
    for pid in "${SLEEPERS[@]}"; do
        stat=$(<"/proc/$pid/stat") 2>/dev/null || continue
        [[ $stat == "$pid (sleep"[0-9]*") "* ]] || continue
        stat=${stat##*) }
        read -r _ ppid _ <<<"$stat"
        [[ $ppid == "$$" ]] && mine+=("$pid")
    done
    if ((${#mine[@]})); then
        kill -TERM "${mine[@]}" 2>/dev/null || true
        wait "${mine[@]}" 2>/dev/null || true
    fi
    SLEEPERS=()
    # The watchdog of xdisplay.sh no longer needs to know them.
    printf '%s\n' "${E2E_PIDS[@]}" >"$E2E_TMP/pids"
}

# shellcheck disable=SC2317  # run by the EXIT trap
cost_cleanup()
{
    local status=$?
    set +e
    stop_sleepers
    (exit "$status")
    e2e_cleanup # ends the program, openbox and Xvfb, and exits with $status
}
trap cost_cleanup EXIT

# Starts N sleeping processes under N names (hard links to one copy of sleep), recording
# their ids (also for the watchdog of xdisplay.sh, which ends them should this script be
# killed outright).
start_sleepers()
{
    local n=$1 i name dir=$E2E_TMP/sleepers
    mkdir -p "$dir"
    cp "$(command -v sleep)" "$dir/sleep0000"
    for ((i = 0; i < n; i++)); do
        printf -v name '%s/sleep%04d' "$dir" "$i"
        [[ -e $name ]] || ln "$dir/sleep0000" "$name"
        # shellcheck disable=SC2217  # detached from our terminal and pipes
        "$name" 10000 </dev/null >/dev/null 2>&1 &
        SLEEPERS+=("$!")
        echo "$!" >>"$E2E_TMP/pids"
    done
}

# ---- Readings -----------------------------------------------------------------------

# cpu_ticks PID: utime + stime of the process (all its threads), in clock ticks.
cpu_ticks()
{
    local stat fields
    stat=$(<"/proc/$1/stat") 2>/dev/null || return 1
    read -ra fields <<<"${stat##*) }" # fields[0] is field 3 of stat (the state)
    echo $((fields[11] + fields[12]))
}

# thread_ns PID: the CPU time of the process's live threads in nanoseconds (schedstat), a
# finer reading than clock ticks.
thread_ns()
{
    local f line total=0
    for f in /proc/"$1"/task/*/schedstat; do
        read -r line _ <"$f" 2>/dev/null || continue
        total=$((total + line))
    done
    echo "$total"
}

process_count()
{
    local entries=(/proc/[0-9]*)
    echo "${#entries[@]}"
}

now_ns() { date +%s%N; }

program_alive() { e2e_alive "$E2E_PID" || e2e_fail "the program (process $E2E_PID) has ended"; }

# ---- One measurement ------------------------------------------------------------------

RESULTS=()
NOTES=()

declare -A COUNTED_WRAPPER=()
COUNTED_TICKS=0
COUNTED_MS=0

# counted NAME COMMAND...: runs COMMAND in the background as the only child of a small
# shell. Once it has ended and been reaped, that shell's cutime + cstime (fields 16, 17 of
# its stat) are its whole CPU time; its `times` gives the same to the millisecond. Files
# $E2E_TMP/NAME.pid (its id), NAME.done ("status ticks"), NAME.times, NAME.err.
counted()
{
    local name=$1 i base=$E2E_TMP/$1
    shift
    rm -f "$base.pid" "$base.done"
    bash -c 'base=$1; shift
             "$@" </dev/null >/dev/null 2>"$base.err" &
             echo $! >"$base.pid"
             wait $!; status=$?
             times >"$base.times"
             read -r stat <"/proc/$$/stat"; read -ra f <<<"${stat##*) }"
             echo "$status $((f[13] + f[14]))" >"$base.tmp" && mv "$base.tmp" "$base.done"' \
        "cost-$name" "$base" "$@" &
    COUNTED_WRAPPER[$name]=$!
    e2e_track "$!"
    for ((i = 0; i < 50; i++)); do
        [[ -s $base.pid ]] && break
        sleep 0.1
    done
    [[ -s $base.pid ]] || e2e_fail "$name did not start"
    e2e_track "$(<"$base.pid")"
}

# counted_wait NAME SECONDS: waits for a counted command's end; sets COUNTED_TICKS and
# COUNTED_MS to its CPU time in clock ticks and in milliseconds.
counted_wait()
{
    local name=$1 i base=$E2E_TMP/$1 status
    for ((i = 0; i < $2 * 10; i++)); do
        [[ -s $base.done ]] && break
        sleep 0.1
    done
    [[ -s $base.done ]] || e2e_fail "$name did not finish in $2 s"
    read -r status COUNTED_TICKS <"$base.done"
    [[ $status == 0 ]] || e2e_fail "$name ended with status $status: $(cat "$base.err")"
    e2e_wait_exit "${COUNTED_WRAPPER[$name]}" 5 || true
    e2e_untrack "$(<"$base.pid")"
    e2e_untrack "${COUNTED_WRAPPER[$name]}"
    # Second line of `times`: the children's user and system time, e.g. "0m0.052s 0m0.031s".
    COUNTED_MS=$(awk 'NR == 2 { split($1 " " $2, t, /[ms ]+/); print 1000 * (60 * t[1] + t[2] + 60 * t[3] + t[4]) }' \
        "$base.times")
}

# measure LABEL: the program's, top's and the reader's CPU over the same TICKS seconds.
measure()
{
    local label=$1
    local p0 p1 n0 n1 t0 t1 x0 x1 top_pid top_first top_total procs
    local top_ms reader_ms
    program_alive

    p0=$(cpu_ticks "$E2E_PID")
    n0=$(thread_ns "$E2E_PID")
    x0=$( [[ -n $E2E_XVFB_PID ]] && cpu_ticks "$E2E_XVFB_PID" || echo 0)
    t0=$(now_ns)
    counted top top -b -d 1 -n $((TICKS + 1))
    counted reader "$reader" 1000 $((TICKS + 1))
    top_pid=$(<"$E2E_TMP/top.pid")

    # After its start-up and first refresh: the steady part begins.
    sleep 0.5
    top_first=$(cpu_ticks "$top_pid") || e2e_fail "top ended early: $(cat "$E2E_TMP/top.err")"
    procs=$(process_count)

    counted_wait top $((TICKS + 30))
    top_total=$COUNTED_TICKS top_ms=$COUNTED_MS
    p1=$(cpu_ticks "$E2E_PID") || e2e_fail "the program (process $E2E_PID) has ended"
    n1=$(thread_ns "$E2E_PID")
    x1=$( [[ -n $E2E_XVFB_PID ]] && cpu_ticks "$E2E_XVFB_PID" || echo 0)
    t1=$(now_ns)
    counted_wait reader 30
    reader_ms=$COUNTED_MS

    RESULTS+=("$label $procs $((p1 - p0)) $((n1 - n0)) $((t1 - t0)) $top_total $top_first $((x1 - x0)) $top_ms $reader_ms")
    e2e_log "$label: $procs processes, program $((p1 - p0)) ticks, top $top_total ticks"
}

# ---- Run --------------------------------------------------------------------------------

if [[ -n ${DISPLAY:-} ]]; then
    # shellcheck disable=SC2034  # read by xdisplay.sh
    E2E_DISPLAY=$DISPLAY # use the display we are on
else
    e2e_start_display
fi

mkdir -p "$E2E_CONFIG_HOME/Plenwick"
cat >"$E2E_CONFIG_HOME/Plenwick/Plenwick.ini" <<'EOF'
[Preferences]
OptRefresh1=False
OptRefresh2=True
OptRefresh3=False
RefreshInterval1=1
EOF

e2e_start_program "$program"
e2e_wait_window '^Plenwick$' 60 >/dev/null || e2e_fail "the main window did not appear"
sleep "$SETTLE" # start-up runs a few extra ticks and layouts
measure "as-is"

if ((SLEEPER_COUNT > 0)); then
    e2e_log "starting $SLEEPER_COUNT sleeping processes"
    start_sleepers "$SLEEPER_COUNT"
    sleep "$SETTLE" # the first ticks after them grow the chart and the table
    measure "+$SLEEPER_COUNT"
    stop_sleepers
fi
program_alive

# ---- Report -------------------------------------------------------------------------------

missed=0
echo
echo "Plenwick's CPU per refresh beside top's and a bare /proc reader's ($TICKS ticks of 1 s,"
echo "$(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) CPUs, load average $(cut -d' ' -f1-3 /proc/loadavg))"
echo
printf '%-7s  %9s  %10s  %15s  %14s  %14s  %8s  %11s\n' run processes "prog reads" \
    "program ms/tick" "top ms/refresh" "reader ms/snap" "/ top" "/ reader"
for row in "${RESULTS[@]}"; do
    read -r label procs pticks pns wall top_total top_first xticks top_ms reader_ms <<<"$row"
    reads=$((procs + 1 > 1024 ? 1024 : procs + 1))
    # Fine figures: the program's threads' schedstat, top's and the reader's rusage.
    read -r pfine tfine rfine vstop vsreader pms tms tsteady xms < <(awk -v pt="$pticks" \
        -v pn="$pns" -v w="$wall" -v tt="$top_total" -v tf="$top_first" -v x="$xticks" \
        -v hz="$CLK_TCK" -v n="$TICKS" -v tm="$top_ms" -v rm="$reader_ms" 'BEGIN {
            s = w / 1e9                      # the period, seconds = ticks at 1 s
            pfine = pn / 1e6 / s
            tfine = tm / n
            rfine = rm / (n + 1)
            printf "%.2f %.2f %.2f %.2f %.2f %.2f %.2f %.2f %.2f\n", pfine, tfine, rfine,
                   (tfine > 0 ? pfine / tfine : 0), (rfine > 0 ? pfine / rfine : 0),
                   pt * 1000 / hz / s, tt * 1000 / hz / n, (tt - tf) * 1000 / hz / n,
                   x * 1000 / hz / s }')
    printf '%-7s  %9d  %10s  %15s  %14s  %14s  %8s  %11s\n' "$label" "$procs" "$reads ids" \
        "$pfine" "$tfine" "$rfine" "$vstop" "$vsreader"
    if [[ $label == as-is ]]; then
        awk -v r="$vstop" 'BEGIN { exit !(r > 1) }' && missed=1
    else
        awk -v t="$vstop" -v r="$vsreader" 'BEGIN { exit !(t > 0.5 || r > 1.5) }' && missed=1
    fi
    NOTES+=("$label: in clock ticks of $((1000 / CLK_TCK)) ms, program $pms ms/tick, top $tms ms/refresh ($tsteady steady)${E2E_XVFB_PID:+; Xvfb $xms ms/tick meanwhile}")
done
echo
echo "processes: numeric entries of /proc while top ran (top itself included); top reads them all."
echo "program:   identifiers its process scan reads: id 0 and the lowest-numbered processes, at"
echo "           most 1024 by design; the reader reads the same 1024, top reads all."
echo "times:     the program's threads' schedstat per second; top's and the reader's rusage per"
echo "           refresh (top: total / $TICKS, its first refresh is its start-up one; reader: / $((TICKS + 1)))."
echo "targets:   as-is, the program at most top; with the sleepers at most half of top and at"
echo "           most 1.5 times the reader."
for note in "${NOTES[@]}"; do echo "note:      $note"; done
if ((missed)); then
    echo "RESULT: target missed"
    [[ ${COST_STRICT:-0} == 1 ]] && exit 3
else
    echo "RESULT: target met"
fi
exit 0
