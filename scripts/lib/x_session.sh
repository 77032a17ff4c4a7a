# Shared by every script that runs the program on a virtual X server (the run
# command, the end-to-end and package tests, the screenshots, the benchmark):
# waiting, a private session bus, the X server, the stand-in conference, and
# finding and clicking windows.
# The sourcing script sets $work (a temporary folder), $standin (the stand-in
# conference's executable) and the array pids (processes to end on exit).

# The conference's bus name and the chat window's caption, as the program
# itself knows them.
conference_bus_name="$(sed -n 's/.*Service\[\] = "\(.*\)";/\1/p' \
    "$(dirname "${BASH_SOURCE[0]}")/../../src/conference_link/conference_bus.h.in")"
CHAT_TITLE="$(sed -n 's/.*setWindowTitle(QStringLiteral("\(.*\)"));/\1/p' \
    "$(dirname "${BASH_SOURCE[0]}")/../../src/chat_window/velmora.cpp")"

passed=0
failed=0

# end_session: what a script's exit trap does: ends the processes it started
# and removes its folder.
end_session() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$work"
}

# check WHAT COMMAND...: counts the command's success, or reports its failure.
check() {
    local what="$1"
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAIL: $what"
    fi
}

now_ms() { date +%s%3N; }

# on_cpu_ns PID: the time the process's threads have run, in nanoseconds
# (the scheduler's own count: a process woken ten times a second by a timer
# is charged whole clock ticks by /proc/PID/stat, far more than it ran).
on_cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { print s + 0 }'; }
# cpu_percent NS SECONDS: that run time as a share of one core over SECONDS.
cpu_percent() { awk -v n="$1" -v s="$2" 'BEGIN { printf "%.3f", 100 * n / 1e9 / s }'; }

# ended PID: waits (bounded) for a child process to end and puts its exit
# status in $status; fails when it is still running.
ended() {
    status=
    wait_for 10 bash -c "! kill -0 $1 2>/dev/null" || { echo "process $1 still running"; return 1; }
    wait "$1"
    status=$?
}

# wait_for SECONDS COMMAND...: polls until the command succeeds.
wait_for() {
    local deadline=$(($(now_ms) + $1 * 1000))
    shift
    until "$@"; do
        [ "$(now_ms)" -ge "$deadline" ] && return 1
        sleep 0.05
    done
}

# --- the session bus, the X server and the stand-in conference -----------------

# start_private_bus: a session bus of this script's own.
start_private_bus() {
    dbus-daemon --session --nofork --nopidfile --print-address=3 3>"$work/bus" 2>/dev/null &
    pids+=("$!")
    wait_for 10 test -s "$work/bus" || { echo "the session bus did not start"; exit 1; }
    DBUS_SESSION_BUS_ADDRESS="$(head -n 1 "$work/bus")"
    export DBUS_SESSION_BUS_ADDRESS
}

# start_x_server: a virtual X server with no window manager, for this script only.
start_x_server() {
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
    pids+=("$!")
    wait_for 10 test -s "$work/display" || { echo "Xvfb did not start"; exit 1; }
    export DISPLAY=":$(cat "$work/display")"
    unset QT_QPA_PLATFORM
    # Portuguese letters on keys of their own, so that xdotool types them
    # without remapping a key at the moment of typing, a remapping the
    # program may not have seen yet when the key arrives.
    # Keycodes the virtual server leaves unused and that Wine maps too (it
    # ignores the ones above 247).
    xmodmap -e "keycode 93 = ecircumflex Ecircumflex" -e "keycode 97 = atilde Atilde" \
        -e "keycode 103 = eacute Eacute" -e "keycode 120 = ocircumflex Ocircumflex" \
        -e "keycode 132 = ccedilla Ccedilla" -e "keycode 149 = aacute Aacute" \
        -e "keycode 154 = otilde Otilde" -e "keycode 168 = acircumflex Acircumflex"
}

conference_owned() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner "string:$conference_bus_name" 2>/dev/null | grep -q "boolean true"
}

# start_standin [OPTION...]: the stand-in conference, fed through feed, what
# it receives written to $work/sent.txt.
start_standin() {
    rm -f "$work/in"
    mkfifo "$work/in"
    exec 4<>"$work/in"
    "$standin" "$@" <"$work/in" >"$work/sent.txt" 2>/dev/null &
    standin_pid=$!
    pids+=("$standin_pid")
    wait_for 10 conference_owned
}
feed() { printf '%s\n' "$1" >&4; }

# --- the program's windows ------------------------------------------------------

window_named() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1 || true; }
has_window() { [ -n "$(window_named "$1")" ]; }
no_window() { [ -z "$(window_named "$1")" ]; }

# Where a window's client area starts on the screen.
origin_of() {
    eval "$(xdotool getwindowgeometry --shell "$1")"
    ox=$X
    oy=$Y
}

# click WINDOW LEFT TOP WIDTH HEIGHT: the centre of a control, in twips from
# the window's top-left corner (15 twips to the pixel).
click() {
    origin_of "$1"
    xdotool mousemove $((ox + $2 / 15 + $4 / 30)) $((oy + $3 / 15 + $5 / 30)) click 1
}

# pixel WINDOW X Y: the colour at a point given in pixels from the window's corner.
pixel() {
    origin_of "$1"
    import -window root -crop "1x1+$((ox + $2))+$((oy + $3))" -depth 8 txt:- 2>/dev/null |
        tail -n 1 | grep -o '#[0-9A-F]\{6\}' | head -n 1
}
pixel_is() { [ "$(pixel "$1" "$2" "$3")" = "$4" ]; }
# title_is WINDOW TEXT: what the title bar shows (the name Qt gives the window manager).
title_is() {
    local title
    title="$(xprop -id "$1" _NET_WM_NAME 2>/dev/null | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p')"
    [ "$title" = "$2" ] && return 0
    echo "title: '$title', expected '$2'"
    return 1
}
# report_says TEXT: the message box's text, copied with Ctrl+C, holds TEXT.
report_says() {
    xdotool windowfocus --sync "$(window_named Velmora)" key ctrl+c 2>/dev/null
    wait_for 5 bash -c "xclip -o -selection clipboard 2>/dev/null | grep -qF \"$1\"" && return 0
    echo "the report says: $(xclip -o -selection clipboard 2>/dev/null | head -n 3)"
    return 1
}
press_ok() { xdotool windowfocus --sync "$(window_named Velmora)" key Return 2>/dev/null; }

# The controls, in twips from the chat window's corner.
TEXT1=(240 2160 5895 2655)
TEXT2=(240 5400 5895 375)
COMMAND1=(5040 6480 1215 975)
COMMAND2=(600 5880 2295 375)
GRAVAR=(120 6480 1815 495)
LER=(120 7080 1815 495)
COMMAND5=(3120 6480 1815 495)
COMMAND3=(4080 7080 855 375)
SOBRE=(3120 7080 855 375)
# In the Help and About windows.
AJUDA_RETORNAR=(4440 3600 1335 615)
SOBRE_VISITAR=(240 4320 2295 495)
SOBRE_RETORNAR=(3000 4320 1455 495)
LAMP_X=$(((2280 + 495 / 2) / 15))
LAMP_Y=$(((6600 + 375 / 2) / 15))
GREEN="#00FF00"
RED="#FF0000"
