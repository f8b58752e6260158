# Sourced by servers.sh after wayland.sh, whose helpers it shares: headless
# GNOME Shell with its screenshot portal, the second Wayland test desktop.
#   start_gnome PATH
#       GNOME Shell with one 1280x800 virtual monitor and Xwayland, on a
#       private session bus that starts the portal, its GNOME backend and
#       the permission store on demand, beside an empty stand-in for the
#       system bus. PATH (the build folder) is opened to the desktop's user.
#       Exports ZQP_GNOME_ENV, the session's variables, for
#       scripts/in-wayland --gnome.
#   stop_gnome
#       stops every process of those sessions by PID.
# The shell runs the extension in tests/wayland/gnome, which opens its
# D-Bus interfaces (window list, screenshots) to the tests.

zqp_gnome_leaders=()
zqp_gnome_extension="$(cd "$(dirname "${BASH_SOURCE[0]}")/../tests/wayland/gnome" && pwd)"

zqp_gnome_run()
{
    ZQP_WAYLAND_ENV=$ZQP_GNOME_ENV zqp_wayland_run "$@"
}

# zqp_gnome_lead NAME COMMAND...: starts a process that leads a session of
# its own, so that what it starts can be found and stopped by PID as well.
zqp_gnome_lead()
{
    local name=$1
    shift
    setsid "${zqp_wayland_as[@]}" env -i $(cat "$ZQP_GNOME_ENV") "$@" >"$zqp_gnome_dir/$name.log" 2>&1 &
    zqp_gnome_leaders+=($!)
}

zqp_gnome_eval()
{
    zqp_gnome_run gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
        --method org.gnome.Shell.Eval "$1"
}

zqp_gnome_leave_overview()
{
    zqp_gnome_eval 'if (!Main.layoutManager._startingUp) Main.overview.hide();
        Main.overview.visible || Main.layoutManager._startingUp' | grep -q "'false'"
}

start_gnome()
{
    local reach=$1 started i
    started=$(date +%s%N)
    zqp_private_dir
    zqp_wayland_user
    [ ${#zqp_wayland_as[@]} -eq 0 ] || zqp_wayland_reach "$reach"
    zqp_gnome_dir="$zqp_server_dir/gnome"
    local run="$zqp_gnome_dir/run" home="$zqp_gnome_dir/home"
    mkdir -p "$run" "$home/.local/share/gnome-shell/extensions" "$home/.config/glib-2.0/settings"
    cp -r "$zqp_gnome_extension" "$home/.local/share/gnome-shell/extensions/zqp-test@zqp.invalid"
    # Settings in a file written here, not in dconf: the extension on, no
    # animations to wait for, no notices over the windows.
    cat >"$home/.config/glib-2.0/settings/keyfile" <<CONF
[org/gnome/shell]
enabled-extensions=['zqp-test@zqp.invalid']
disable-user-extensions=false

[org/gnome/desktop/interface]
enable-animations=false

[org/gnome/desktop/notifications]
show-banners=false
CONF
    chmod 711 "$zqp_server_dir"
    chmod 755 "$zqp_gnome_dir"
    chown -R "$zqp_wayland_owner" "$run" "$home"
    chmod 700 "$run"

    export ZQP_GNOME_ENV="$zqp_gnome_dir/session.env"
    cat >"$ZQP_GNOME_ENV" <<ENV
HOME=$home
PATH=/usr/bin:/bin
LANG=C.UTF-8
XDG_RUNTIME_DIR=$run
XDG_CURRENT_DESKTOP=GNOME
XDG_SESSION_TYPE=wayland
XDG_SESSION_DESKTOP=gnome
GSETTINGS_BACKEND=keyfile
DBUS_SESSION_BUS_ADDRESS=unix:path=$run/bus
DBUS_SYSTEM_BUS_ADDRESS=unix:path=$run/system_bus
ENV
    # gnome-shell gives up at once without a system bus, and a machine
    # with seats but no system bus has none: an empty one stands in.
    zqp_bus_config system "$run/system_bus" >"$zqp_gnome_dir/system-bus.conf"
    zqp_gnome_lead dbus dbus-daemon --session --address="unix:path=$run/bus" --nofork --nopidfile
    zqp_gnome_lead system-bus dbus-daemon --config-file="$zqp_gnome_dir/system-bus.conf" --nofork --nopidfile
    zqp_wayland_wait "the session bus" test -S "$run/bus" -a -S "$run/system_bus" || return 1
    zqp_gnome_lead gnome-shell env GNOME_SHELL_SESSION_MODE=user \
        gnome-shell --headless --wayland --virtual-monitor 1280x800
    local shell=${zqp_gnome_leaders[-1]}
    for i in $(seq 600); do
        ZQP_WAYLAND_ENV=$ZQP_GNOME_ENV zqp_wayland_has_name org.gnome.Shell.Screenshot && break
        zqp_wayland_alive "$shell" || break
        sleep 0.05
    done
    if ! zqp_gnome_eval 'global.context.unsafe_mode' 2>/dev/null | grep -q "true, 'true'"; then
        echo "servers: GNOME Shell did not start with its test extension (logs in $zqp_gnome_dir)" >&2
        tail -n 20 "$zqp_gnome_dir/gnome-shell.log" >&2
        return 1
    fi
    # The shell opens the overview once it has started, which would cover
    # the windows.
    zqp_wayland_wait "the desktop (out of the overview)" zqp_gnome_leave_overview || return 1
    local display
    display=$(zqp_gnome_eval 'GLib.getenv("DISPLAY")' | sed -n "s/^(true, '\"\(.*\)\"')\$/\1/p")
    {
        echo "WAYLAND_DISPLAY=$(basename "$(ls "$run"/wayland-? | head -n 1)")"
        echo "DISPLAY=$display"
        echo "XAUTHORITY=$(ls "$run"/.mutter-Xwaylandauth.* | head -n 1)"
    } >>"$ZQP_GNOME_ENV"
    echo "servers: GNOME desktop ready in $(( ($(date +%s%N) - started) / 1000000 )) ms"
}

# zqp_gnome_stop_sessions LEADER...: every process of those sessions, TERM
# first and KILL after 3 s.
zqp_gnome_stop_sessions()
{
    local leader pid pids="" left i
    for leader in "$@"; do
        pids+=" $(ps -o pid= --sid "$leader" 2>/dev/null | tr '\n' ' ')"
    done
    for pid in $pids; do kill -TERM "$pid" 2>/dev/null || true; done
    for i in $(seq 60); do
        left=""
        for pid in $pids; do zqp_wayland_alive "$pid" && left+=" $pid"; done
        [ -z "$left" ] && break
        sleep 0.05
    done
    for pid in $left; do kill -KILL "$pid" 2>/dev/null || true; done
    for pid in "$@"; do wait "$pid" 2>/dev/null || true; done
}

stop_gnome()
{
    [ ${#zqp_gnome_leaders[@]} -gt 0 ] || return 0
    # The shell first, while the buses it talks to are still there.
    local shell=${zqp_gnome_leaders[-1]} lock
    zqp_gnome_stop_sessions "$shell"
    unset 'zqp_gnome_leaders[-1]'
    zqp_gnome_stop_sessions "${zqp_gnome_leaders[@]}"
    zqp_gnome_leaders=()
    # Its X displays' locks and sockets, which the shell leaves behind when
    # it is stopped.
    for lock in /tmp/.X*-lock; do
        [ -f "$lock" ] && [ "$(tr -d ' \000' <"$lock")" = "$shell" ] || continue
        lock=${lock#/tmp/.X}
        rm -f "/tmp/.X${lock%-lock}-lock" "/tmp/.X11-unix/X${lock%-lock}"
    done
}
