#!/usr/bin/python3
"""Real screenshots of desktop text for the OCR benchmark, with exact truth.

    screens.py OUTDIR SET

Starts a private Xvfb and shows scenes drawn by real toolkits and programs.
Every scene is shown twice: once as it is and once with its text drawn in
a colour that leaves no trace (transparent, or the background's). The
difference of the two screenshots is exactly the text's pixels; each row of
it is one line of known text. Crops are cut from the first screenshot the
way people drag: tight, with a margin, or past the widget's edge. Scenes
whose rows do not match their lines are left out with a warning, never
guessed.

The sets:
- lines: one text line per crop, from Qt widgets, GTK 3 in light, dark and
  high-contrast themes, Tk, xterm with bitmap and Xft fonts, Xaw's
  xmessage, zenity, and HTML rendered by wkhtmltoimage (this file);
- regions and screens: multi-line regions and whole screens (regions.py);
- languages: single lines in each language of the OCR engine's table that
  has language data (languages.py).

Writes OUTDIR/SET/NAME.png and OUTDIR/SET/index.tsv with the columns file,
set, toolkit, language (the engine's name), half ("tune" or "held": decided
by the text alone, before any tuning), kind and truth. The truth's lines
are joined by "\n", written as a backslash and "n" (a backslash itself as
two).
"""

import hashlib
import json
import os
import random
import subprocess
import sys
import tempfile
import time

SCREEN = (1600, 1200)

# --- text ------------------------------------------------------------------

WORDS = """File Edit View Help Tools Open Save Close Cancel Apply Settings Search
Replace Window Print Export Import Delete Rename Copy Paste Undo Select all
items files folder Documents Downloads recent network connected update
available version user account password display sound battery remaining
Monday March today new message from the and to of in is not Error Warning
Details Name Size Type Modified Status Ready Loading Done Next Back Finish
Install Illegal Island little million billing filling Ill will lowercase
Username field Enable Disable Logging level Level Volume Library Mail
Inbox Outbox Calendar alarm clock Timezone Keyboard Layout Language
Display Brightness Wallpaper Firewall Internal Invalid Lines Limit""".split()

NAMES = ["notes", "max_len", "img_0042", "report", "Il1l", "config", "main",
         "build_log", "old_data", "README", "lib", "x11", "a_b_c", "ll"]
EXTS = ["txt", "png", "pdf", "cpp", "json", "tar.gz", "log", "conf"]
EMAILS = ["anna@example.net", "bob.lee@mail.example.org", "ops-1@example.com",
          "i.l@example.io"]


def token(rng):
    kind = rng.randrange(14)
    if kind == 0:
        return "%s.%s" % (rng.choice(NAMES), rng.choice(EXTS))
    if kind == 1:
        return rng.choice(EMAILS)
    if kind == 2:
        return "%02d:%02d" % (rng.randrange(24), rng.randrange(60))
    if kind == 3:
        return rng.choice(["Ctrl+L", "Ctrl+I", "Alt+F1", "Shift+Tab", "Ctrl+Shift+1"])
    if kind == 4:
        return rng.choice(["-l", "-I", "-1", "--list", "-la", "|", "~/", "~/.config"])
    if kind == 5:
        return "%d.%d.%d" % (rng.randrange(10), rng.randrange(20), rng.randrange(100))
    if kind == 6:
        return '"%s"' % rng.choice(WORDS)
    if kind == 7:
        return "'%s'" % rng.choice(WORDS).lower()
    if kind == 8:
        return "%d%%" % rng.randrange(101)
    if kind == 9:
        return "%s_%s" % (rng.choice(WORDS).lower(), rng.choice(WORDS).lower())
    if kind == 10:
        return "(%d)" % rng.randrange(1, 1000)
    if kind == 11:
        return "%s,%03d" % (rng.randrange(1, 99), rng.randrange(1000))
    if kind == 12:
        return "/usr/%s/%s" % (rng.choice(["lib", "share", "bin"]), rng.choice(NAMES))
    return "#%d" % rng.randrange(1, 100)


def phrase(rng, longest):
    while True:
        parts = []
        for _ in range(rng.randint(1, 6)):
            parts.append(token(rng) if rng.random() < 0.35 else rng.choice(WORDS))
        line = " ".join(parts)
        if rng.random() < 0.25:
            line += rng.choice([":", ".", "...", "?", "!"])
        if len(line) <= longest:
            return line


def half_of(text):
    return "tune" if hashlib.sha1(text.encode()).digest()[0] % 2 == 0 else "held"


def index_row(name, set_name, toolkit, language, kind, text):
    escaped = text.replace("\\", "\\\\").replace("\n", "\\n").replace("\t", " ")
    return "\t".join([name, set_name, toolkit, language, half_of(text), kind, escaped])


def write_index(out, index):
    with open(os.path.join(out, "index.tsv"), "w") as f:
        f.write("\n".join(index) + "\n")
    print("screens: %d crops in %s" % (len(index), out))

# --- scenes, each drawn by its toolkit in a process of its own ---------------


def qt_application(setup):
    """Fusion in the scene's theme and font; concealed text is transparent."""
    from PyQt5 import QtGui, QtWidgets
    app = QtWidgets.QApplication(["scene"])
    app.setStyle("Fusion")
    palette = app.palette()
    if setup["theme"] == "dark":
        for role, colour in ((QtGui.QPalette.Window, "#353535"), (QtGui.QPalette.Base, "#232323"),
                             (QtGui.QPalette.Button, "#454545"), (QtGui.QPalette.WindowText, "#e6e6e6"),
                             (QtGui.QPalette.Text, "#e6e6e6"), (QtGui.QPalette.ButtonText, "#e6e6e6")):
            palette.setColor(role, QtGui.QColor(colour))
    if setup["conceal"]:
        for role in (QtGui.QPalette.WindowText, QtGui.QPalette.Text, QtGui.QPalette.ButtonText):
            palette.setColor(role, QtGui.QColor(0, 0, 0, 0))
    app.setPalette(palette)
    font = QtGui.QFont(setup["font"])
    font.setPixelSize(setup["size"])
    app.setFont(font)
    return app


def scene_qt(setup):
    from PyQt5 import QtCore, QtWidgets
    app = qt_application(setup)
    window = QtWidgets.QWidget()
    window.setWindowFlags(QtCore.Qt.FramelessWindowHint)
    layout = QtWidgets.QVBoxLayout(window)
    layout.setSpacing(8)
    kinds = [QtWidgets.QLabel, QtWidgets.QPushButton, QtWidgets.QLineEdit, QtWidgets.QCheckBox,
             QtWidgets.QRadioButton, QtWidgets.QListWidget]
    for i, text in enumerate(setup["lines"]):
        kind = kinds[i % len(kinds)]
        if kind is QtWidgets.QListWidget:
            widget = kind()
            widget.addItem(text)
            widget.setFixedHeight(widget.sizeHintForRow(0) + 2 * widget.frameWidth())
            widget.setFixedWidth(widget.sizeHintForColumn(0) + 2 * widget.frameWidth() + 8)
            widget.setHorizontalScrollBarPolicy(QtCore.Qt.ScrollBarAlwaysOff)
            widget.setVerticalScrollBarPolicy(QtCore.Qt.ScrollBarAlwaysOff)
            widget.setFocusPolicy(QtCore.Qt.NoFocus)
        else:
            widget = kind(text)
            widget.setFocusPolicy(QtCore.Qt.NoFocus)
        if kind is QtWidgets.QLineEdit:
            # Room for all of the text: a line edit of the font's own height
            # clips underscores, and a narrow one scrolls the text's start
            # away; either would be in the truth but not on the screen.
            widget.setFixedHeight(setup["size"] * 2 + 8)
            widget.setFixedWidth(widget.fontMetrics().horizontalAdvance(text) + 24)
            widget.setCursorPosition(0)
        layout.addWidget(widget, 0, QtCore.Qt.AlignLeft)
    window.move(0, 0)
    window.show()
    app.exec_()


def scene_gtk(setup):
    import gi
    gi.require_version("Gtk", "3.0")
    from gi.repository import Gtk, Gdk
    settings = Gtk.Settings.get_default()
    settings.set_property("gtk-cursor-blink", False)
    settings.set_property("gtk-enable-animations", False)
    # The padding keeps underscores inside the widgets (see scene_qt).
    css = "* { font-family: '%s'; font-size: %dpx; caret-color: transparent; } " \
          "button, entry, label { padding-top: 4px; padding-bottom: 4px; }" % (setup["font"], setup["size"])
    if setup["conceal"]:
        css += " * { color: transparent; }"
    provider = Gtk.CssProvider()
    provider.load_from_data(css.encode())
    Gtk.StyleContext.add_provider_for_screen(Gdk.Screen.get_default(), provider,
                                             Gtk.STYLE_PROVIDER_PRIORITY_USER + 1)
    window = Gtk.Window(type=Gtk.WindowType.POPUP)
    window.move(0, 0)
    box = Gtk.Box(orientation=Gtk.Orientation.VERTICAL, spacing=8)
    box.set_border_width(10)
    for i, text in enumerate(setup["lines"]):
        kind = i % 5
        if kind == 0:
            widget = Gtk.Label(label=text)
        elif kind == 1:
            widget = Gtk.Button(label=text)
        elif kind == 2:
            widget = Gtk.Entry()
            widget.set_text(text)
            widget.set_width_chars(len(text) + 4)
        elif kind == 3:
            widget = Gtk.CheckButton(label=text)
        else:
            widget = Gtk.ListBox()
            row = Gtk.Label(label=text)
            row.set_xalign(0)
            widget.add(row)
        widget.set_halign(Gtk.Align.START)
        widget.set_can_focus(False)
        box.pack_start(widget, False, False, 0)
    window.add(box)
    window.show_all()
    Gtk.main()


def scene_tk(setup):
    import tkinter
    root = tkinter.Tk()
    root.overrideredirect(True)
    root.geometry("+0+0")
    if setup["theme"] == "dark":
        root.tk_setPalette(background="#2b2b2b", foreground="#dddddd")
    font = (setup["font"], -setup["size"])
    for i, text in enumerate(setup["lines"]):
        kind = i % 4
        if kind == 0:
            widget = tkinter.Label(root, text=text, font=font)
        elif kind == 1:
            widget = tkinter.Button(root, text=text, font=font)
        elif kind == 2:
            widget = tkinter.Entry(root, font=font, width=len(text) + 8)
            widget.insert(0, text)
        else:
            widget = tkinter.Listbox(root, font=font, height=1, width=len(text) + 8)
            widget.insert(0, text)
        if setup["conceal"]:
            widget.configure(foreground=widget.cget("background"))
        widget.pack(anchor="w", padx=8, pady=4)
    root.mainloop()


SCENES = {"qt": scene_qt, "gtk": scene_gtk, "tk": scene_tk}

# --- the orchestration ---------------------------------------------------------


class Display:
    def __init__(self, work):
        self.work = work
        read, write = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", "%dx%dx24" % SCREEN, "-dpi", "96",
             "-nolisten", "tcp", "-noreset"], pass_fds=[write],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(read, 16)
            if not chunk:
                raise RuntimeError("Xvfb did not start")
            number += chunk
        os.close(read)
        self.name = ":" + number.decode().strip()

    def grab(self, path):
        subprocess.run(["import", "-display", self.name, "-window", "root", path], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        from PIL import Image
        return Image.open(path).convert("RGB")

    def stop(self):
        self.process.terminate()
        self.process.wait()


def settled_grab(display, path, blank):
    """The screen once two grabs in a row agree and show something."""
    import numpy
    previous = None
    for _ in range(60):
        time.sleep(0.25)
        image = numpy.asarray(display.grab(path)).astype(int)
        if previous is not None and numpy.array_equal(image, previous) and not numpy.array_equal(image, blank):
            return image
        previous = image
    return None


def show(display, command, env_extra, work, blank):
    env = dict(os.environ, DISPLAY=display.name, **env_extra)
    process = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        return settled_grab(display, os.path.join(work, "grab.png"), blank)
    finally:
        process.terminate()
        try:
            process.wait(5)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
        time.sleep(0.2)


def bands(mask):
    """Rows of the text mask, as (first row, last row) pairs."""
    import numpy
    rows = numpy.nonzero(mask.any(axis=1))[0]
    result = []
    for y in rows:
        if result and y - result[-1][1] <= 2:
            result[-1][1] = y
        else:
            result.append([y, y])
    # An underscore a few rows under its line belongs to that line.
    merged = []
    for band in result:
        if merged and band[1] - band[0] <= 2 and band[0] - merged[-1][1] <= 6:
            merged[-1][1] = band[1]
        else:
            merged.append(band)
    return merged


def cut(image, mask, lines, prefix, rng, out, index, toolkit, crop_kinds, extra=0, set_name="lines",
        language="English"):
    import numpy
    from PIL import Image
    # Xaw draws its scroll bar's stippled thumb in the text colour: columns
    # that change over half the rows from the first to the last are no text.
    rows = numpy.nonzero(mask.any(axis=1))[0]
    if len(rows):
        mask = mask & (mask.sum(axis=0) < 0.45 * (rows[-1] - rows[0] + 1))[None, :]
    found = bands(mask)[:len(lines) + extra]
    heights = sorted(bottom - top + 1 for top, bottom in found)
    if len(found) != len(lines) + extra or heights[0] < heights[len(heights) // 2] // 2:
        # A line cut in two (hidden in part, or a mark far above it) would
        # shift the truth of every line after it.
        print("screens: %s: %d text rows of heights %s for %d lines, left out"
              % (prefix, len(found), heights, len(lines) + extra), file=sys.stderr)
        return 0
    found = found[:len(lines)]
    height, width = mask.shape
    written = 0
    for i, (text, (top, bottom)) in enumerate(zip(lines, found)):
        columns = numpy.nonzero(mask[top:bottom + 1].any(axis=0))[0]
        left, right = int(columns[0]), int(columns[-1])
        # Margins stop short of the neighbouring rows' text.
        above = top - (found[i - 1][1] if i > 0 else -20) - 1
        below = (found[i + 1][0] if i + 1 < len(found) else height + 20) - bottom - 1
        kind = crop_kinds[i % len(crop_kinds)]
        if kind == "tight":
            m = [rng.randint(0, 2) for _ in range(4)]
        elif kind == "margin":
            m = [rng.randint(4, 12) for _ in range(4)]
        else:  # past the widget's edge on one or two sides, close on the others
            m = [rng.randint(10, 18), rng.randint(6, 14), rng.randint(1, 3), rng.randint(1, 3)]
            rng.shuffle(m)
        x0 = max(0, left - m[0])
        x1 = min(width - 1, right + m[1])
        y0 = max(0, top - min(m[2], max(0, above // 2)))
        y1 = min(height - 1, bottom + min(m[3], max(0, below // 2)))
        crop = Image.fromarray(image[y0:y1 + 1, x0:x1 + 1].astype("uint8"))
        name = "%s-%02d.png" % (prefix, i)
        crop.save(os.path.join(out, name))
        index.append(index_row(name, set_name, toolkit, language, kind, text))
        written += 1
    return written


def run_scene(display, work, out, index, rng, blank, toolkit, prefix, command_for, env_for, lines, kinds,
              extra=0, **tags):
    import numpy
    shown = show(display, command_for(False), env_for(False), work, blank)
    hidden = show(display, command_for(True), env_for(True), work, blank)
    if shown is None or hidden is None:
        print("screens: %s did not settle, left out" % prefix, file=sys.stderr)
        return 0
    mask = numpy.abs(shown - hidden).sum(axis=2) > 0
    return cut(shown, mask, lines, prefix, rng, out, index, toolkit, kinds, extra, **tags)


def toolkit_command(work, toolkit, prefix, setup, script=__file__):
    """The command that shows a scene of a script in a process of its own."""
    me = os.path.abspath(script)

    def command(conceal):
        path = os.path.join(work, "%s-%d.json" % (prefix, conceal))
        with open(path, "w") as f:
            json.dump(dict(setup, conceal=conceal), f)
        return [sys.executable, me, toolkit, path]
    return command


def make_lines(display, work, out, index, rng, blank):
    import numpy
    kinds = ["tight", "margin", "edge"]

    def toolkit_scene(toolkit, prefix, font, size, theme, env, count=12, longest=40):
        lines = [phrase(rng, longest) for _ in range(count)]
        command = toolkit_command(work, toolkit, prefix,
                                  {"lines": lines, "font": font, "size": size, "theme": theme})
        return run_scene(display, work, out, index, rng, blank, toolkit, prefix, command,
                         lambda conceal: env, lines, kinds)

    scene = 0
    for font, size, theme in [("DejaVu Sans", 13, "light"), ("Liberation Sans", 15, "dark"),
                              ("Noto Sans", 12, "light"), ("Cantarell", 16, "dark"),
                              ("DejaVu Sans Mono", 14, "light"), ("Liberation Serif", 18, "light"),
                              ("Noto Sans", 22, "dark")]:
        scene += 1
        toolkit_scene("qt", "qt%d" % scene, font, size, theme, {"QT_QPA_PLATFORM": "xcb"},
                      longest=60 if size >= 18 else 40)
    for font, size, theme in [("Cantarell", 14, "Adwaita"), ("DejaVu Sans", 13, "Adwaita:dark"),
                              ("Noto Sans", 15, "HighContrast"), ("Liberation Sans", 12, "Adwaita"),
                              ("Cantarell", 20, "Adwaita:dark"), ("DejaVu Serif", 16, "HighContrastInverse"),
                              ("Noto Sans", 11, "Adwaita")]:
        scene += 1
        toolkit_scene("gtk", "gtk%d" % scene, font, size, theme, {"GTK_THEME": theme},
                      longest=60 if size >= 18 else 40)
    for font, size, theme in [("DejaVu Sans", 13, "light"), ("Liberation Sans", 16, "dark"),
                              ("Noto Sans Mono", 14, "light"), ("Liberation Serif", 20, "light")]:
        scene += 1
        toolkit_scene("tk", "tk%d" % scene, font, size, theme, {})

    for font, colours in [(["-fn", "6x13"], []), (["-fn", "9x15"], ["-rv"]),
                          (["-fn", "7x14"], []), (["-fn", "10x20"], ["-rv"]),
                          (["-fn", "8x13"], []),
                          (["-fa", "DejaVu Sans Mono", "-fs", "10"], []),
                          (["-fa", "Liberation Mono", "-fs", "12"], ["-rv"]),
                          (["-fa", "Noto Sans Mono", "-fs", "9"], [])]:
        scene += 1
        lines = [phrase(rng, 44) for _ in range(12)]

        def xterm(conceal, lines=lines, font=font, colours=colours):
            script = os.path.join(work, "xterm-%d.sh" % conceal)
            with open(script, "w") as f:
                f.write("printf '\\033[?25l'\n")  # no cursor
                for line in lines:
                    body = line.replace("\\", "\\\\").replace("%", "%%").replace("'", "'\\''")
                    f.write("printf '\\n%s%s\\033[0m\\n'\n" % ("\\033[8m" if conceal else "", body))
                f.write("exec sleep 600\n")
            return ["xterm", "-geometry", "80x30+0+0", "-b", "4", "+sb"] + font + colours + \
                ["-e", "sh", script]
        run_scene(display, work, out, index, rng, blank, "xterm", "xterm%d" % scene, xterm,
                  lambda conceal: {}, lines, kinds)

    for font, fg, bg in [("6x13", "black", "white"), ("9x15", "black", "#d9d9d9"),
                         ("10x20", "white", "#202040"), ("7x14", "#202020", "#f0f0e0")]:
        scene += 1
        lines = [phrase(rng, 40) for _ in range(10)]
        text = os.path.join(work, "xmessage.txt")
        with open(text, "w") as f:
            f.write("\n\n".join(lines))

        def xmessage(conceal, font=font, fg=fg, bg=bg):
            return ["xmessage", "-geometry", "+0+0", "-buttons", "", "-fn", font,
                    "-fg", bg if conceal else fg, "-bg", bg, "-file", text]
        run_scene(display, work, out, index, rng, blank, "xaw", "xaw%d" % scene, xmessage,
                  lambda conceal: {}, lines, kinds)

    for font, size, theme in [("Cantarell", 14, "Adwaita"), ("DejaVu Sans", 13, "Adwaita:dark"),
                              ("Noto Sans", 16, "HighContrast")]:
        scene += 1
        lines = [phrase(rng, 40) for _ in range(8)]

        def zenity_env(conceal, font=font, size=size, theme=theme):
            home = os.path.join(work, "zenity-%d" % conceal)
            os.makedirs(os.path.join(home, "gtk-3.0"), exist_ok=True)
            css = "* { font-family: '%s'; font-size: %dpx; }" % (font, size)
            if conceal:
                css += " * { color: transparent; }"
            with open(os.path.join(home, "gtk-3.0", "gtk.css"), "w") as f:
                f.write(css)
            return {"XDG_CONFIG_HOME": home, "GTK_THEME": theme, "NO_AT_BRIDGE": "1"}

        def zenity(conceal, lines=lines):
            # Markup off: the lines' own "<" and "&" stay text.
            return ["zenity", "--info", "--no-markup", "--title", "x", "--text", "\n\n".join(lines)]
        # The dialog's button label is one more row.
        run_scene(display, work, out, index, rng, blank, "zenity", "zenity%d" % scene, zenity,
                  zenity_env, lines, kinds, extra=1)

    for font, size, colours in [("DejaVu Serif", 16, ("#111", "#fff")),
                                ("Liberation Sans", 14, ("#ddd", "#1e1e1e")),
                                ("Noto Sans", 18, ("#222", "#f4f4f4")),
                                ("DejaVu Sans Mono", 13, ("#0a0", "#000"))]:
        scene += 1
        lines = [phrase(rng, 50) for _ in range(10)]
        prefix = "html%d" % scene

        def render(conceal):
            import html
            page = os.path.join(work, "page.html")
            with open(page, "w") as f:
                f.write("<html><body style='margin:12px;background:%s;color:%s;font-family:\"%s\";"
                        "font-size:%dpx'>" % (colours[1], "transparent" if conceal else colours[0],
                                              font, size))
                for line in lines:
                    f.write("<p style='margin:0 0 10px 0;white-space:pre'>%s</p>" % html.escape(line))
                f.write("</body></html>")
            png = os.path.join(work, "html-%d.png" % conceal)
            subprocess.run(["wkhtmltoimage", "-q", "--width", "900", page, png],
                           env=dict(os.environ, DISPLAY=display.name), check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            from PIL import Image
            return numpy.asarray(Image.open(png).convert("RGB")).astype(int)
        shown, hidden = render(False), render(True)
        if shown.shape == hidden.shape:
            mask = numpy.abs(shown - hidden).sum(axis=2) > 0
            cut(shown, mask, lines, prefix, rng, out, index, "html", kinds)


def main():
    if len(sys.argv) == 3 and sys.argv[1] in SCENES:
        with open(sys.argv[2]) as f:
            SCENES[sys.argv[1]](json.load(f))
        return 0
    import languages
    import regions
    sets = {"lines": make_lines, "regions": regions.make_regions, "screens": regions.make_screens,
            "languages": languages.make_lines}
    if len(sys.argv) != 3 or sys.argv[2] not in sets:
        print(__doc__, file=sys.stderr)
        return 2
    import numpy
    out = os.path.join(sys.argv[1], sys.argv[2])
    os.makedirs(out, exist_ok=True)
    rng = random.Random(20261209)
    index = []
    with tempfile.TemporaryDirectory() as work:
        display = Display(work)
        try:
            blank = numpy.asarray(display.grab(os.path.join(work, "blank.png"))).astype(int)
            sets[sys.argv[2]](display, work, out, index, rng, blank)
        finally:
            display.stop()
    write_index(out, index)
    return 0


if __name__ == "__main__":
    sys.exit(main())
