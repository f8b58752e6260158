# Sourced by servers.sh: a headless Wayland desktop whose screenshot portal
# works, for the tests of screen recognition on Wayland.
#   start_wayland ACCESS-BACKEND
#       headless sway with one 1280x800 output and Xwayland, a private
#       session bus, pipewire, the permission store, the wlroots portal
#       backend, the given Access backend and xdg-desktop-portal. Exports
#       ZQP_WAYLAND_ENV, a file of the session's variables that
#       scripts/in-wayland runs programs with.
#   stop_wayland
#       stops them by PID, sway last (stopping Xwayland first would make
#       sway start it again).
# sway refuses to run as root, so as root everything runs as nobody.
# The wlroots backend always writes its picture to /tmp/out.png: only one
# such desktop may take screenshots on a machine at a time.

zqp_wayland_pids=()
zqp_wayland_sway=""
zqp_wayland_opened=()

zqp_wayland_user()
{
    if [ "$(id -u)" -eq 0 ]; then
        zqp_wayland_as=(setpriv --reuid=65534 --regid=65534 --clear-groups)
        zqp_wayland_owner=65534:65534
    else
        zqp_wayland_as=()
        zqp_wayland_owner=$(id -u):$(id -g)
    fi
}

# zqp_wayland_reach PATH...: lets the desktop's user pass through every folder
# above PATH (search only, no listing), since the tests it runs live in the
# build folder; a clone under a private home would otherwise be closed to it.
# stop_wayland closes again what this opened.
zqp_wayland_reach()
{
    local path dir
    for path in "$@"; do
        dir=$(realpath "$path")
        while [ "$dir" != / ]; do
            if [ -d "$dir" ] && [ -z "$(find "$dir" -maxdepth 0 -perm -o+x)" ]; then
                chmod o+x "$dir"
                zqp_wayland_opened+=("$dir")
            fi
            dir=$(dirname "$dir")
        done
    done
}

# Runs a command as the desktop's user with exactly the session's variables.
zqp_wayland_run()
{
    "${zqp_wayland_as[@]}" env -i $(cat "$ZQP_WAYLAND_ENV") "$@"
}

# zqp_wayland_wait WHAT COMMAND...: polls for up to 15 s.
zqp_wayland_wait()
{
    local what=$1 i
    shift
    for i in $(seq 300); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.05
    done
    echo "servers: $what did not start (logs in $zqp_wayland_dir)" >&2
    return 1
}

zqp_wayland_has_name()
{
    zqp_wayland_run dbus-send --session --dest=org.freedesktop.DBus --print-reply /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:"$1" 2>/dev/null | grep -q 'boolean true'
}

# zqp_wayland_spawn NAME COMMAND...: starts a session service, logging to NAME.log.
zqp_wayland_spawn()
{
    local name=$1
    shift
    ( exec "${zqp_wayland_as[@]}" env -i $(cat "$ZQP_WAYLAND_ENV") "$@" >"$zqp_wayland_dir/$name.log" 2>&1 ) &
    zqp_wayland_pids+=($!)
}

# zqp_bus_config TYPE SOCKET: a private bus of that type on that socket,
# whose clients may do anything.
zqp_bus_config()
{
    cat <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>$1</type>
  <listen>unix:path=$2</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
}

start_wayland()
{
    local access=$1 started
    started=$(date +%s%N)
    zqp_private_dir
    zqp_wayland_user
    [ ${#zqp_wayland_as[@]} -eq 0 ] || zqp_wayland_reach "$access"
    zqp_wayland_dir="$zqp_server_dir/wayland"
    local run="$zqp_wayland_dir/run"
    mkdir -p "$run" "$zqp_wayland_dir/portals" "$zqp_wayland_dir/home"
    # The desktop's user must reach its folders through the private one.
    chmod 711 "$zqp_server_dir"
    chmod 755 "$zqp_wayland_dir"
    chown "$zqp_wayland_owner" "$run" "$zqp_wayland_dir/home"
    chmod 700 "$run"
    if [ -e /tmp/out.png ] && [ "$(stat -c %u:%g /tmp/out.png)" != "$zqp_wayland_owner" ]; then
        echo "servers: /tmp/out.png belongs to another user, so the portal cannot write its screenshots" >&2
        return 1
    fi

    cat >"$zqp_wayland_dir/sway.conf" <<CONF
output HEADLESS-1 mode 1280x800 position 0,0 bg #204080 solid_color
xwayland force
default_border none
default_floating_border none
focus_follows_mouse no
# Test windows float at known places.
for_window [title="^Form\$"] floating enable, move position 200 0
for_window [title="^zqp-words\$"] floating enable, move position 10 320
exec sh -c 'env | grep -E "^(WAYLAND_DISPLAY|DISPLAY|SWAYSOCK)=" >"\$XDG_RUNTIME_DIR/sway.env.part" && mv "\$XDG_RUNTIME_DIR/sway.env.part" "\$XDG_RUNTIME_DIR/sway.env"'
CONF
    # No service activation: every process of the session is started, and
    # stopped, here.
    zqp_bus_config session "$run/bus" >"$zqp_wayland_dir/bus.conf"
    # The portal backends that xdg-desktop-portal may use: wlroots for the
    # screenshot, ours for Access.
    cp /usr/share/xdg-desktop-portal/portals/wlr.portal "$zqp_wayland_dir/portals/"
    cat >"$zqp_wayland_dir/portals/zqp.portal" <<CONF
[portal]
DBusName=org.freedesktop.impl.portal.desktop.zqp
Interfaces=org.freedesktop.impl.portal.Access;
UseIn=sway
CONF
    export ZQP_WAYLAND_ENV="$zqp_wayland_dir/session.env"
    cat >"$ZQP_WAYLAND_ENV" <<ENV
HOME=$zqp_wayland_dir/home
PATH=/usr/bin:/bin
LANG=C.UTF-8
XDG_RUNTIME_DIR=$run
XDG_CURRENT_DESKTOP=sway
XDG_SESSION_TYPE=wayland
XDG_DESKTOP_PORTAL_DIR=$zqp_wayland_dir/portals
DBUS_SESSION_BUS_ADDRESS=unix:path=$run/bus
ENV

    # sway leads a session of its own, so that Xwayland and swaybg, which it
    # starts, can be found and stopped by PID as well.
    setsid "${zqp_wayland_as[@]}" env -i $(cat "$ZQP_WAYLAND_ENV") \
        WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
        sway -c "$zqp_wayland_dir/sway.conf" >"$zqp_wayland_dir/sway.log" 2>&1 &
    zqp_wayland_sway=$!
    zqp_wayland_wait sway test -s "$run/sway.env" || return 1
    cat "$run/sway.env" >>"$ZQP_WAYLAND_ENV"
    zqp_wayland_wait Xwayland zqp_wayland_run xdpyinfo || return 1

    zqp_wayland_spawn dbus dbus-daemon --config-file="$zqp_wayland_dir/bus.conf" --nofork --nopidfile
    zqp_wayland_wait "the session bus" zqp_wayland_has_name org.freedesktop.DBus || return 1
    # The wlroots backend exits without pipewire.
    zqp_wayland_spawn pipewire pipewire
    zqp_wayland_wait pipewire test -S "$run/pipewire-0" || return 1
    zqp_wayland_spawn permission-store /usr/libexec/xdg-permission-store
    zqp_wayland_wait "the permission store" zqp_wayland_has_name org.freedesktop.impl.portal.PermissionStore || return 1
    zqp_wayland_spawn portal-wlr /usr/libexec/xdg-desktop-portal-wlr
    zqp_wayland_wait "the wlroots portal backend" zqp_wayland_has_name org.freedesktop.impl.portal.desktop.wlr || return 1
    zqp_wayland_spawn access "$access"
    zqp_wayland_wait "the Access backend" zqp_wayland_has_name org.freedesktop.impl.portal.desktop.zqp || return 1
    zqp_wayland_spawn portal /usr/libexec/xdg-desktop-portal -v
    zqp_wayland_wait "xdg-desktop-portal" zqp_wayland_has_name org.freedesktop.portal.Desktop || return 1
    if ! grep -q 'providing portal org.freedesktop.portal.Screenshot' "$zqp_wayland_dir/portal.log"; then
        echo "servers: the portal offers no Screenshot (see $zqp_wayland_dir/portal.log)" >&2
        return 1
    fi
    echo "servers: Wayland desktop ready in $(( ($(date +%s%N) - started) / 1000000 )) ms"
}

zqp_wayland_alive()
{
    local state
    state=$(ps -o stat= -p "$1" 2>/dev/null) && [ "${state#Z}" = "$state" ]
}

stop_wayland()
{
    local pid i
    zqp_stop_pids "${zqp_wayland_pids[@]}"
    zqp_wayland_pids=()
    [ ${#zqp_wayland_opened[@]} -eq 0 ] || chmod o-x "${zqp_wayland_opened[@]}"
    zqp_wayland_opened=()
    [ -n "$zqp_wayland_sway" ] || return 0
    # What sway started lives in its session: Xwayland, swaybg, a client
    # of a test that failed midway.
    local session
    session=$(ps -o pid= --sid "$zqp_wayland_sway" 2>/dev/null | tr -d ' ' | grep -vx "$zqp_wayland_sway" || true)
    kill -TERM "$zqp_wayland_sway" 2>/dev/null || true
    wait "$zqp_wayland_sway" 2>/dev/null || true
    for i in $(seq 40); do
        local left=""
        for pid in $session; do zqp_wayland_alive "$pid" && left+=" $pid"; done
        [ -z "$left" ] && break
        sleep 0.05
    done
    for pid in $session; do zqp_wayland_alive "$pid" && kill -KILL "$pid" 2>/dev/null; done
    zqp_wayland_sway=""
}
