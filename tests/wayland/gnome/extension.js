/* exported init, enable, disable */
const Main = imports.ui.main;

// The test extension of the GNOME test desktop (scripts/gnome.sh). The tests
// drive the desktop from outside: they ask the shell where windows are
// (org.gnome.Shell.Eval) and read the screen (org.gnome.Shell.Screenshot),
// which the shell otherwise keeps to its own programs. Test windows open at
// known places, as sway's configuration puts them there, but below the top
// bar. The overview, which the shell opens at start, would cover them.
const places = new Map([['Form', [200, 40]], ['zqp-words', [10, 420]]]);
let created = 0;
let started = 0;

function init() {
}

function place(window) {
    const at = places.get(window.get_title());
    if (at)
        window.move_frame(true, at[0], at[1]);
}

function enable() {
    global.context.unsafe_mode = true;
    created = global.display.connect('window-created', (display, window) => {
        window.connect('shown', place);
    });
    started = Main.layoutManager.connect('startup-complete', () => Main.overview.hide());
}

function disable() {
    Main.layoutManager.disconnect(started);
    global.display.disconnect(created);
    global.context.unsafe_mode = false;
}
