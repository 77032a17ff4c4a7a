#!/usr/bin/env bash
# Start-up to the window shown, peak memory, and CPU while idle, for Velmora
# and for a bare Qt window built beside it, on a real X server.
#   startup_idle.sh BUILD_DIR IDLE_SECONDS
set -euo pipefail
build="$1"
idle_seconds="${2:-30}"
antenna="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/src/resources/antenna.gif"
work="$(mktemp -d)"
standin="$build/tools/conference_standin/conference-standin"
pids=()

source "$(dirname "${BASH_SOURCE[0]}")/../scripts/lib/x_session.sh"
trap end_session EXIT
start_x_server
start_standin || { echo "startup_idle: the stand-in conference did not start" >&2; exit 1; }

now_ns() { date +%s%N; }
percent() { cpu_percent "$1" "$idle_seconds"; }

# measure TITLE PROGRAM [ARG...]: prints "startup_ms peak_kb idle_percent"
measure() {
    local title="$1" best=999999 peak=0 cpu=0
    shift
    for run in 1 2 3 4 5; do
        local start
        start=$(now_ns)
        /usr/bin/time -f "%M" -o "$work/time" "$@" >/dev/null 2>"$work/stderr" &
        local timer=$!
        local waited=0
        until xdotool search --onlyvisible --name "^$title\$" >/dev/null 2>&1; do
            waited=$((waited + 1))
            if [ "$waited" -gt 2000 ] || ! kill -0 "$timer" 2>/dev/null; then
                echo "startup_idle: window \"$title\" never appeared" >&2
                cat "$work/stderr" >&2
                exit 1
            fi
            sleep 0.005
        done
        local ms=$((($(now_ns) - start) / 1000000))
        [ "$ms" -lt "$best" ] && best=$ms
        local pid
        pid=$(pgrep -P "$timer" | head -n 1)
        if [ "$run" -eq 1 ]; then
            sleep 2
            local before after
            before=$(on_cpu_ns "$pid")
            sleep "$idle_seconds"
            after=$(on_cpu_ns "$pid")
            cpu=$(percent $((after - before)))
        fi
        kill "$pid"
        wait "$timer" 2>/dev/null || true
        local kb
        kb=$(tail -n 1 "$work/time")
        [ "$kb" -gt "$peak" ] && peak=$kb
    done
    echo "$best $peak $cpu"
}

# idle_unseen HOW TITLE PROGRAM: CPU while the window is shown and then taken
# out of sight, in percent of a core: "unmap" takes it off the screen (as
# minimising does), "cover" lays a bare window over the whole screen.
idle_unseen() {
    local how="$1" title="$2"
    shift 2
    "$@" >/dev/null 2>&1 &
    local pid=$!
    wait_for 20 has_window "$title" || { echo "startup_idle: window \"$title\" never appeared" >&2; exit 1; }
    if [ "$how" = unmap ]; then
        xdotool windowunmap --sync "$(window_named "$title")"
    else
        "$build/bench/bare_window" >/dev/null 2>&1 &
        local cover=$!
        wait_for 20 has_window "Bare Qt window" || { echo "startup_idle: no covering window" >&2; exit 1; }
        local over
        over="$(window_named "Bare Qt window")"
        xdotool windowsize --sync "$over" 100% 100%
        xdotool windowmove --sync "$over" 0 0
        xdotool windowraise "$over"
    fi
    sleep 2
    local before after
    before=$(on_cpu_ns "$pid")
    sleep "$idle_seconds"
    after=$(on_cpu_ns "$pid")
    kill "$pid" ${cover:-}
    wait "$pid" ${cover:-} 2>/dev/null || true
    percent $((after - before))
}

read -r ours_ms ours_kb ours_cpu < <(measure "$CHAT_TITLE" "$build/src/velmora")
ours_unseen_cpu=$(idle_unseen unmap "$CHAT_TITLE" "$build/src/velmora")
ours_covered_cpu=$(idle_unseen cover "$CHAT_TITLE" "$build/src/velmora")
read -r bare_ms bare_kb bare_cpu < <(measure "Bare Qt window" "$build/bench/bare_window")
read -r _ _ anim_cpu < <(measure "Bare Qt window" "$build/bench/bare_window" "$antenna")
read -r _ _ floor_cpu < <(measure "Bare X window" "$build/bench/bare_x_window" "$antenna")
awk -v a="$ours_ms" -v b="$bare_ms" 'BEGIN { printf "| start-up to window shown (<=1.5x) | %10d ms | %10d ms | bare Qt window      | %8.2f |             |\n", a, b, a / b }'
awk -v a="$ours_kb" -v b="$bare_kb" 'BEGIN { printf "| peak memory (goal 40 MB)          | %10.1f MB | %10.1f MB | bare Qt window      | %8.2f |             |\n", a / 1024, b / 1024, a / b }'
awk -v a="$ours_cpu" -v b="$bare_cpu" -v s="$idle_seconds" 'BEGIN { printf "| idle CPU over %2d s (goal 0.1 %%)   | %10.3f %%  | %10.3f %%  | bare Qt window      |          |             |\n", s, a, b }'
awk -v a="$ours_cpu" -v b="$anim_cpu" 'BEGIN { printf "| idle CPU, banner animation shown  | %10.3f %%  | %10.3f %%  | bare + antenna GIF  | %8.2f |             |\n", a, b, (b > 0 ? a / b : 0) }'
awk -v a="$ours_cpu" -v b="$floor_cpu" 'BEGIN { printf "| idle CPU, banner animation shown  | %10.3f %%  | %10.3f %%  | X client, no toolkit| %8.2f | the floor   |\n", a, b, (b > 0 ? a / b : 0) }'
awk -v a="$ours_unseen_cpu" -v b="$bare_cpu" 'BEGIN { printf "| idle CPU, window minimised        | %10.3f %%  | %10.3f %%  | bare Qt window      |          | unmapped    |\n", a, b }'
awk -v a="$ours_covered_cpu" -v b="$bare_cpu" 'BEGIN { printf "| idle CPU, window covered          | %10.3f %%  | %10.3f %%  | bare Qt window      |          | overlaid    |\n", a, b }'
