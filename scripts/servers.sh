# Sourced by scripts/run and scripts/test: starts the servers that the
# program and the tests need, in a private folder, and stops exactly those
# again by PID.
#   start_xvfb   a virtual X server at 96 dpi; exports DISPLAY
#   start_two_screens [5|6]
#                a second X display with two screens side by side, 1280x800
#                at 0,0 and 1024x768 at 1280,0: a nested Xephyr with Xinerama
#                inside a hidden Xvfb, since Xvfb alone cannot place screens
#                side by side, as the given Qt (5 unless told) reads screens;
#                exports ZQP_TWO_SCREEN_DISPLAY, not DISPLAY
#   start_pulse  a private PulseAudio daemon with the null sink "testsink";
#                exports PULSE_SERVER and ZQP_NULL_SINK
#   start_wayland a headless Wayland desktop with the screenshot portal
#                (wayland.sh); exports ZQP_WAYLAND_ENV
#   start_gnome  headless GNOME Shell with its screenshot portal (gnome.sh);
#                exports ZQP_GNOME_ENV
#   stop_servers stops what was started and removes the private folder

zqp_server_dir=""
zqp_server_pids=()
source "$(dirname "${BASH_SOURCE[0]}")/wayland.sh"
source "$(dirname "${BASH_SOURCE[0]}")/gnome.sh"

zqp_private_dir()
{
    # Short, since the PulseAudio socket path must fit a sockaddr_un.
    [ -n "$zqp_server_dir" ] || zqp_server_dir=$(mktemp -d /tmp/zqp.XXXXXX)
}

# Starts the X server given as the arguments, which must write its display
# number to descriptor 3 (-displayfd 3), under the name given first, and
# sets zqp_display to it once the server is ready.
zqp_start_x()
{
    local name=$1
    shift
    zqp_private_dir
    "$@" 3>"$zqp_server_dir/$name.display" >"$zqp_server_dir/$name.log" 2>&1 &
    zqp_server_pids+=($!)
    local i
    for i in $(seq 100); do
        [ -s "$zqp_server_dir/$name.display" ] && break
        sleep 0.05
    done
    [ -s "$zqp_server_dir/$name.display" ] || { echo "servers: $name did not start" >&2; cat "$zqp_server_dir/$name.log" >&2; return 1; }
    zqp_display=":$(cat "$zqp_server_dir/$name.display")"
}

start_xvfb()
{
    zqp_start_x xvfb Xvfb -displayfd 3 -screen 0 1280x1024x24 -dpi 96 -nolisten tcp -noreset || return 1
    export DISPLAY=$zqp_display
    # Programs on this display are in an X11 session, whatever session the
    # caller runs in: they must not turn to a Wayland compositor's portal.
    unset WAYLAND_DISPLAY
    export XDG_SESSION_TYPE=x11
}

start_two_screens()
{
    # Qt 5 takes Xinerama's screens only from a server without RandR, since
    # Xephyr's RandR has a single output. Qt 6 reads RandR 1.5 monitors
    # alone: there the two screens are set as monitors as well.
    local qt=${1:-5} randr=(-extension RANDR)
    [ "$qt" = 5 ] || randr=()
    zqp_start_x host Xvfb -displayfd 3 -screen 0 2400x900x24 -nolisten tcp -noreset || return 1
    DISPLAY=$zqp_display zqp_start_x twoscreens Xephyr -displayfd 3 +xinerama "${randr[@]}" \
        -screen 1280x800+0+0 -screen 1024x768+1280+0 -dpi 96 -nolisten tcp -noreset || return 1
    if [ "$qt" != 5 ]; then
        # Sizes in millimetres at 96 dpi. xrandr complains on standard error
        # that Xephyr's output has no gamma, which is no failure.
        { DISPLAY=$zqp_display xrandr --setmonitor '*first' 1280/339x800/212+0+0 default &&
          DISPLAY=$zqp_display xrandr --setmonitor second 1024/271x768/203+1280+0 none; } >/dev/null 2>&1 ||
            { echo "servers: the two-screen display's RandR monitors could not be set" >&2; return 1; }
    fi
    export ZQP_TWO_SCREEN_DISPLAY=$zqp_display
}

start_pulse()
{
    zqp_private_dir
    mkdir -p "$zqp_server_dir/pulse"
    XDG_RUNTIME_DIR="$zqp_server_dir/pulse" HOME="$zqp_server_dir/pulse" \
        pulseaudio --daemonize=no -n --exit-idle-time=-1 --disallow-exit \
        --realtime=no --high-priority=no --use-pid-file=no \
        --log-target="file:$zqp_server_dir/pulse.log" \
        --load="module-native-protocol-unix auth-anonymous=1 socket=$zqp_server_dir/native" \
        --load="module-null-sink sink_name=testsink norewinds=1 rate=44100 channels=2" \
        >/dev/null 2>&1 &
    zqp_server_pids+=($!)
    export PULSE_SERVER="unix:$zqp_server_dir/native"
    export ZQP_NULL_SINK=testsink
    local i
    for i in $(seq 100); do
        pactl info >/dev/null 2>&1 && return 0
        sleep 0.05
    done
    echo "servers: PulseAudio did not start" >&2
    cat "$zqp_server_dir/pulse.log" >&2
    return 1
}

# zqp_stop_pids PID...: asks each process to end, the last started first,
# and waits for them all.
zqp_stop_pids()
{
    local pids=("$@") pid i
    for (( i = ${#pids[@]} - 1; i >= 0; i-- )); do
        kill -TERM "${pids[i]}" 2>/dev/null || true
    done
    for pid in "${pids[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
}

stop_servers()
{
    stop_gnome
    stop_wayland
    zqp_stop_pids "${zqp_server_pids[@]}"
    zqp_server_pids=()
    [ -z "$zqp_server_dir" ] || rm -rf "$zqp_server_dir"
    zqp_server_dir=""
}
