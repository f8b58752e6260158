#!/usr/bin/python3
"""Multi-line regions and whole screens for the OCR benchmark (see screens.py).

Regions: wrapped paragraphs in QLabel and QTextBrowser, log views in
QPlainTextEdit with a monospace font, QTableWidget tables, QMessageBox and
zenity messages, small whole windows (menu bar, heading, paragraph,
buttons), xterm sessions and HTML pages by wkhtmltoimage; 2 to 12 lines,
260 to 780 px wide. Their truth is the lines joined by "\\n": a table row by
row with its cells joined by one space, a row of buttons left to right.
Wrapped paragraphs are broken by the toolkit itself: QTextBrowser's own
document layout, and for QLabel the text layout it draws with (the ink of
each line is checked against the width of its text), or the lines are
given their breaks before drawing.

Whole screens: 1280 x 800 desktops of three windows, one on the left and two
stacked on the right, each with a heading, paragraphs and a log view. Their
reading order is window by window: the left window from top to bottom, then
the upper right one, then the lower right one.
"""

import json
import os
import subprocess
import sys

import screens

SENTENCES = """The update could not be installed because the disk is full.
Please close all other programs before you continue.
Your changes have been saved to the server.
Do you want to keep the new settings for this display?
The connection to the network was lost, so try again later.
All files in this folder will be moved to the trash.
This version of the program is no longer supported.
Enter the password for your account to unlock the keyring.
The printer is out of paper and needs your attention.
No errors were found while checking the volume.
A new message from Anna arrived this morning.
Click Next to choose where the files should go.
The report will be sent to the team on Monday.
Backups are kept for thirty days and then removed.
Some of the selected items could not be copied.
You can change these options at any time in the settings.
The download finished in less than a minute.
Only secure connections are allowed for this site.
The battery is low and the computer will sleep soon.
Select the lines you want to compare and press Enter.
This document was last modified by another user.
The list shows every device that was found nearby.
Type a name for the new folder and press Return.
Loading the library takes a few seconds on the first start.
If the problem persists, contact your system administrator.
The keyboard layout applies to every window you open.
Logging is disabled until the next restart of the service.
Files larger than four gigabytes cannot be stored here.
The calendar shows the events of the whole week.
Invalid input was ignored and the old value was kept.""".split("\n")

LOG_LEVELS = ["INFO", "WARN", "ERROR", "DEBUG"]


def sentence(rng):
    text = rng.choice(SENTENCES)
    if rng.random() < 0.3:
        text = text[:-1] + " (%s)." % screens.token(rng)
    return text


def paragraph(rng, count):
    return " ".join(sentence(rng) for _ in range(count))


def log_line(rng, longest):
    while True:
        line = "%02d:%02d:%02d %s %s" % (rng.randrange(24), rng.randrange(60), rng.randrange(60),
                                         rng.choice(LOG_LEVELS), screens.phrase(rng, longest))
        if len(line) <= longest:
            return line


def broken(text, longest):
    """Lines of at most longest characters, broken at spaces."""
    lines = [""]
    for word in text.split():
        if lines[-1] and len(lines[-1]) + 1 + len(word) > longest:
            lines.append(word)
        else:
            lines[-1] = (lines[-1] + " " + word).strip()
    return lines

# --- the Qt scene: one frameless window per region ---------------------------


def scene_qt(setup):
    from PyQt5 import QtCore, QtGui, QtWidgets
    app = screens.qt_application(setup)
    mono = QtGui.QFont(setup["mono"])
    mono.setPixelSize(setup["size"])

    def wrapped(label):
        # QLabel draws plain text through a text layout as wide as its contents.
        text = label.text()
        layout = QtGui.QTextLayout(text, label.font())
        option = QtGui.QTextOption()
        option.setWrapMode(QtGui.QTextOption.WordWrap)
        layout.setTextOption(option)
        layout.beginLayout()
        lines = []
        while True:
            line = layout.createLine()
            if not line.isValid():
                break
            line.setLineWidth(label.contentsRect().width())
            lines.append(text[line.textStart():line.textStart() + line.textLength()].strip())
        layout.endLayout()
        return [(line, label.fontMetrics().horizontalAdvance(line)) for line in lines]

    def quiet(widget):
        widget.setFocusPolicy(QtCore.Qt.NoFocus)
        if isinstance(widget, QtWidgets.QAbstractScrollArea):
            widget.setHorizontalScrollBarPolicy(QtCore.Qt.ScrollBarAlwaysOff)
            widget.setVerticalScrollBarPolicy(QtCore.Qt.ScrollBarAlwaysOff)
        return widget

    def buttons_row(texts):
        row = QtWidgets.QHBoxLayout()
        row.addStretch()
        buttons = [quiet(QtWidgets.QPushButton(text)) for text in texts]
        for button in buttons:
            row.addWidget(button)
        return row, lambda: [(" ".join(b.text() for b in sorted(buttons, key=lambda b: b.mapToGlobal(
            QtCore.QPoint()).x())), None)]

    def build(region):
        """A window holding the region, and how to read its lines once shown."""
        kind = region["kind"]
        window = QtWidgets.QWidget()
        window.setWindowFlags(QtCore.Qt.FramelessWindowHint)
        box = QtWidgets.QVBoxLayout(window)
        box.setContentsMargins(14, 14, 14, 14)
        box.setSpacing(10)
        if kind == "label":
            label = QtWidgets.QLabel(region["text"])
            label.setWordWrap(True)
            label.setFixedWidth(region["width"])
            box.addWidget(label)
            return window, lambda: wrapped(label)
        if kind == "browser":
            browser = quiet(QtWidgets.QTextBrowser())
            browser.setPlainText("\n".join(region["paragraphs"]))
            browser.setFixedWidth(region["width"])
            document = browser.document()
            document.setTextWidth(region["width"] - 2 * browser.frameWidth())
            browser.setFixedHeight(int(document.size().height()) + 2 * browser.frameWidth() + 2)
            box.addWidget(browser)

            def lines():
                result = []
                block = document.begin()
                while block.isValid():
                    layout = block.layout()
                    for i in range(layout.lineCount()):
                        line = layout.lineAt(i)
                        text = block.text()[line.textStart():line.textStart() + line.textLength()].strip()
                        result.append((text, browser.fontMetrics().horizontalAdvance(text)))
                    block = block.next()
                return result
            return window, lines
        if kind == "plain":
            view = quiet(QtWidgets.QPlainTextEdit())
            view.setFont(mono)
            view.setLineWrapMode(QtWidgets.QPlainTextEdit.NoWrap)
            view.setReadOnly(True)
            view.setTextInteractionFlags(QtCore.Qt.NoTextInteraction)
            view.setPlainText("\n".join(region["lines"]))
            metrics = QtGui.QFontMetrics(mono)
            view.setFixedWidth(max(metrics.horizontalAdvance(line) for line in region["lines"]) + 40)
            view.setFixedHeight(metrics.lineSpacing() * len(region["lines"]) + 24)
            box.addWidget(view)
            return window, lambda: [(line, None) for line in region["lines"]]
        if kind == "table":
            rows = region["rows"]
            table = quiet(QtWidgets.QTableWidget(len(rows) - 1, len(rows[0])))
            table.setHorizontalHeaderLabels(rows[0])
            for r, row in enumerate(rows[1:]):
                for c, cell in enumerate(row):
                    table.setItem(r, c, QtWidgets.QTableWidgetItem(cell))
            table.verticalHeader().hide()
            table.setShowGrid(False)
            table.setAlternatingRowColors(True)
            table.setSelectionMode(QtWidgets.QAbstractItemView.NoSelection)
            table.resizeColumnsToContents()
            table.resizeRowsToContents()
            table.setFixedSize(table.horizontalHeader().length() + 2 * table.frameWidth(),
                               table.horizontalHeader().sizeHint().height() + table.verticalHeader().length()
                               + 2 * table.frameWidth())
            box.addWidget(table)
            return window, lambda: [(" ".join(row), None) for row in rows]
        if kind == "message":
            icon = QtWidgets.QLabel()
            icon.setPixmap(app.style().standardIcon(QtWidgets.QStyle.SP_MessageBoxInformation).pixmap(32, 32))
            text = QtWidgets.QLabel("\n".join(region["lines"]))
            top = QtWidgets.QHBoxLayout()
            top.addWidget(icon, 0, QtCore.Qt.AlignTop)
            top.addWidget(text)
            box.addLayout(top)
            row, read = buttons_row(region["buttons"])
            box.addLayout(row)
            return window, lambda: [(line, None) for line in region["lines"]] + read()
        # A whole small window: menu bar, heading, paragraph, buttons.
        menu = QtWidgets.QMenuBar()
        for item in region["menu"]:
            menu.addMenu(item)
        box.setMenuBar(menu)
        heading = QtWidgets.QLabel(region["heading"])
        font = heading.font()
        font.setBold(True)
        heading.setFont(font)
        box.addWidget(heading)
        label = QtWidgets.QLabel(region["text"])
        label.setWordWrap(True)
        label.setFixedWidth(region["width"])
        box.addWidget(label)
        row, read = buttons_row(region["buttons"])
        box.addLayout(row)
        return window, lambda: [(" ".join(region["menu"]), None), (region["heading"], None)] + wrapped(label) \
            + read()

    if setup.get("desktop"):
        desktop = QtWidgets.QWidget()
        desktop.setWindowFlags(QtCore.Qt.FramelessWindowHint)
        desktop.setStyleSheet("background: %s" % setup["desktop"])
        desktop.setGeometry(0, 0, *setup["desktop_size"])
        desktop.show()
    built = [build(region) for region in setup["regions"]]
    # Shelves left to right, top to bottom, far enough apart that a crop
    # past one window's edge holds nothing of the next.
    x, y, shelf = 20, 20, 0
    for (window, _), region in zip(built, setup["regions"]):
        window.adjustSize()
        if "at" in region:
            window.move(*region["at"])
        else:
            if x + window.width() > screens.SCREEN[0] - 20:
                x, y, shelf = 20, y + shelf + 40, 0
            window.move(x, y)
            x += window.width() + 40
            shelf = max(shelf, window.height())
        window.show()
        window.raise_()

    def report():
        result = []
        for window, lines in built:
            geometry = window.geometry()
            result.append({"rect": [geometry.x(), geometry.y(), geometry.width(), geometry.height()],
                           "lines": lines()})
        with open(setup["report"], "w") as f:
            json.dump(result, f)
    QtCore.QTimer.singleShot(300, report)
    app.exec_()


SCENES = {"qt": scene_qt}

# --- checking and cutting -------------------------------------------------------


def checked(mask, lines, prefix, size=None):
    """The mask's text rows, if they match the lines one to one."""
    found = screens.bands(mask)
    if len(found) != len(lines):
        print("regions: %s: %d text rows for %d lines, left out" % (prefix, len(found), len(lines)),
              file=sys.stderr)
        return None
    import numpy
    for (top, bottom), (text, advance) in zip(found, lines):
        columns = numpy.nonzero(mask[top:bottom + 1].any(axis=0))[0]
        # A line broken elsewhere than its truth says is a word wider or narrower.
        if advance is not None and abs(int(columns[-1] - columns[0]) + 1 - advance) > max(4, size * 0.6):
            print("regions: %s: \"%s\" is %d px wide on screen, %d px in its layout, left out"
                  % (prefix, text, columns[-1] - columns[0] + 1, advance), file=sys.stderr)
            return None
    return found


def crop(image, mask, window, kind, rng):
    """A region cut as people drag around it: tight, with a margin, or past the window's edge."""
    import numpy
    from PIL import Image
    x, y, w, h = window
    rows = numpy.nonzero(mask.any(axis=1))[0]
    columns = numpy.nonzero(mask.any(axis=0))[0]
    top, bottom, left, right = rows[0], rows[-1], columns[0], columns[-1]
    if kind == "tight":
        m = [rng.randint(0, 2) for _ in range(4)]
        box = [left - m[0], top - m[1], right + m[2], bottom + m[3]]
    elif kind == "margin":
        m = [rng.randint(4, 12) for _ in range(4)]
        box = [max(x, left - m[0]), max(y, top - m[1]), min(x + w - 1, right + m[2]), min(y + h - 1, bottom + m[3])]
    else:
        m = [rng.randint(2, 10) for _ in range(4)]
        box = [x - m[0], y - m[1], x + w - 1 + m[2], y + h - 1 + m[3]]
    height, width = mask.shape
    box = [max(0, box[0]), max(0, box[1]), min(width - 1, box[2]), min(height - 1, box[3])]
    return Image.fromarray(image[box[1]:box[3] + 1, box[0]:box[2] + 1].astype("uint8"))


def window_mask(mask, rect):
    """The text mask of one window alone, in screen coordinates."""
    x, y, w, h = rect
    alone = mask.copy()
    alone[:y, :] = False
    alone[y + h:, :] = False
    alone[:, :x] = False
    alone[:, x + w:] = False
    return alone


def shown_twice(display, work, blank, command, env):
    import numpy
    shown = screens.show(display, command(False), env(False), work, blank)
    hidden = screens.show(display, command(True), env(True), work, blank)
    if shown is None or hidden is None:
        return None, None
    return shown, numpy.abs(shown - hidden).sum(axis=2) > 0


def qt_scene(display, work, blank, prefix, setup):
    """The screenshot, text mask and report of a Qt scene of this file."""
    report = os.path.join(work, prefix + "-report.json")
    command = screens.toolkit_command(work, "qt", prefix, dict(setup, report=report), script=__file__)
    shown, mask = shown_twice(display, work, blank, command, lambda conceal: {"QT_QPA_PLATFORM": "xcb"})
    if shown is None:
        print("regions: %s did not settle, left out" % prefix, file=sys.stderr)
        return None, None, []
    with open(report) as f:
        return shown, mask, json.load(f)


def save(out, index, name, image, set_name, toolkit, kind, lines):
    image.save(os.path.join(out, name))
    index.append(screens.index_row(name, set_name, toolkit, "English", kind, "\n".join(lines)))

# --- the sets ----------------------------------------------------------------


QT_LOOKS = [("DejaVu Sans", 13, "light", "DejaVu Sans Mono"), ("Liberation Sans", 15, "dark", "Liberation Mono"),
            ("Noto Sans", 12, "light", "Noto Sans Mono"), ("Cantarell", 16, "dark", "DejaVu Sans Mono"),
            ("Liberation Serif", 17, "light", "Liberation Mono"), ("Noto Sans", 14, "dark", "Noto Sans Mono"),
            ("DejaVu Sans", 11, "light", "DejaVu Sans Mono"), ("Noto Serif", 15, "light", "Liberation Mono"),
            ("Liberation Sans", 13, "light", "Noto Sans Mono"), ("DejaVu Serif", 14, "dark", "DejaVu Sans Mono")]

MENUS = [["File", "Edit", "View", "Help"], ["File", "Edit", "Tools", "Window", "Help"],
         ["Document", "Insert", "Format", "Help"]]
BUTTONS = [["OK"], ["Cancel", "OK"], ["Close"], ["Back", "Next"], ["Cancel", "Apply", "OK"]]
TABLE_HEADS = [["Name", "Size", "Type", "Modified"], ["Name", "Type", "Status", "Owner"],
               ["Time", "Level", "Source", "Message"]]


def table_rows(rng, head, count):
    rows = [head]
    for _ in range(count):
        name = "%s.%s" % (rng.choice(screens.NAMES), rng.choice(screens.EXTS))
        kind = rng.choice(["Folder", "Image", "PDF document", "Text"])
        if head[1] == "Size":
            rows.append([name, "%d KB" % rng.randrange(1, 999), kind,
                         "%02d:%02d" % (rng.randrange(24), rng.randrange(60))])
        elif head[1] == "Type":
            rows.append([name, kind, rng.choice(["Ready", "Done", "Loading", "Error"]),
                         rng.choice(["anna", "bob.lee", "ops-1", "root"])])
        else:
            rows.append(["%02d:%02d" % (rng.randrange(24), rng.randrange(60)), rng.choice(LOG_LEVELS),
                         rng.choice(["network", "disk", "display", "sound"]), screens.phrase(rng, 30)])
    return rows


def qt_region(rng, kind, size):
    """One region's description, sized to stay 260 to 780 px wide."""
    width = rng.randint(260, 700)
    if kind == "label":
        # Roughly 2 to 12 lines at this width.
        return {"kind": kind, "width": width, "text": paragraph(rng, rng.randint(2, width * 3 // 260))}
    if kind == "browser":
        return {"kind": kind, "width": width,
                "paragraphs": [paragraph(rng, rng.randint(1, 2)) for _ in range(rng.randint(1, 3))]}
    if kind == "plain":
        return {"kind": kind, "lines": [log_line(rng, 70 if size <= 13 else 56) for _ in range(rng.randint(3, 12))]}
    if kind == "table":
        return {"kind": kind, "rows": table_rows(rng, rng.choice(TABLE_HEADS), rng.randint(2, 8))}
    if kind == "message":
        return {"kind": kind, "lines": broken(paragraph(rng, rng.randint(1, 2)), 44), "buttons": rng.choice(BUTTONS)}
    return {"kind": kind, "width": min(width, 560), "menu": rng.choice(MENUS),
            "heading": screens.phrase(rng, 30), "text": paragraph(rng, rng.randint(1, 3)),
            "buttons": rng.choice(BUTTONS)}


def make_regions(display, work, out, index, rng, blank):
    crops = ["tight", "margin", "edge"]
    kinds = ["label", "browser", "plain", "table", "message", "window"]
    count = 0
    for scene, (font, size, theme, mono) in enumerate(QT_LOOKS * 2):
        prefix = "qt%d" % scene
        regions = [qt_region(rng, kinds[(scene + i) % len(kinds)], size) for i in range(4)]
        shown, mask, report = qt_scene(display, work, blank, prefix,
                                       {"regions": regions, "font": font, "size": size, "theme": theme,
                                        "mono": mono})
        for i, (region, seen) in enumerate(zip(regions, report)):
            name = "%s-%d" % (prefix, i)
            alone = window_mask(mask, seen["rect"])
            if not 2 <= len(seen["lines"]) <= 12 or not alone.any() or checked(alone, seen["lines"], name, size) is None:
                continue
            crop_kind = crops[count % len(crops)]
            save(out, index, name + ".png", crop(shown, alone, seen["rect"], crop_kind, rng), "regions", "qt",
                 "%s/%s" % (region["kind"], crop_kind), [text for text, _ in seen["lines"]])
            count += 1

    def whole(prefix, toolkit, kind, command, env, lines):
        """A scene of one window whose text rows are the lines."""
        nonlocal count
        import numpy
        shown, mask = shown_twice(display, work, blank, command, env)
        if shown is None or checked(mask, [(line, None) for line in lines], prefix) is None:
            return
        # The window is what differs from the empty screen.
        ys, xs = numpy.nonzero(numpy.abs(shown - blank).sum(axis=2) > 0)
        rect = [xs.min(), ys.min(), xs.max() - xs.min() + 1, ys.max() - ys.min() + 1]
        crop_kind = crops[count % len(crops)]
        save(out, index, prefix + ".png", crop(shown, mask, rect, crop_kind, rng), "regions", toolkit,
             "%s/%s" % (kind, crop_kind), lines)
        count += 1

    for scene, (font, colours) in enumerate([(["-fa", "DejaVu Sans Mono", "-fs", "10"], []),
                                             (["-fa", "Liberation Mono", "-fs", "12"], ["-rv"]),
                                             (["-fa", "Noto Sans Mono", "-fs", "11"], []),
                                             (["-fn", "10x20"], ["-rv"]),
                                             (["-fa", "DejaVu Sans Mono", "-fs", "13"], ["-rv"]),
                                             (["-fn", "9x15"], [])]):
        lines = []
        target = rng.randint(3, 12)
        while len(lines) < target:
            lines.append("$ %s" % rng.choice(["ls ~/Documents", "make -j2", "tail -f build_log.log",
                                              "cat notes.txt", "git status", "ping example.org"]))
            lines += [log_line(rng, 60) for _ in range(rng.randint(1, 4))]
        lines = lines[:target]

        def xterm(conceal, lines=lines, font=font, colours=colours):
            script = os.path.join(work, "xterm-%d.sh" % conceal)
            with open(script, "w") as f:
                f.write("printf '\\033[?25l'\n")  # no cursor
                for line in lines:
                    body = line.replace("\\", "\\\\").replace("%", "%%").replace("'", "'\\''")
                    f.write("printf '%s%s\\033[0m\\n'\n" % ("\\033[8m" if conceal else "", body))
                f.write("exec sleep 600\n")
            return ["xterm", "-geometry", "80x14+0+0", "-b", "4", "+sb"] + font + colours + ["-e", "sh", script]
        whole("xterm%d" % scene, "xterm", "terminal", xterm, lambda conceal: {}, lines)

    for scene, (font, size, theme) in enumerate([("Cantarell", 14, "Adwaita"), ("DejaVu Sans", 13, "Adwaita:dark"),
                                                 ("Noto Sans", 16, "HighContrast"), ("Liberation Sans", 12, "Adwaita"),
                                                 ("Cantarell", 18, "Adwaita:dark")]):
        lines = broken(paragraph(rng, rng.randint(1, 3)), 48)

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
            return ["zenity", "--info", "--no-markup", "--no-wrap", "--title", "x", "--text", "\n".join(lines)]
        # The dialog's button is its last row.
        whole("zenity%d" % scene, "zenity", "message", zenity, zenity_env, lines + ["OK"])

    for scene, (font, size, colours, width) in enumerate([("DejaVu Serif", 16, ("#111", "#fff"), 700),
                                                          ("Liberation Sans", 14, ("#ddd", "#1e1e1e"), 520),
                                                          ("Noto Sans", 18, ("#222", "#f4f4f4"), 780),
                                                          ("DejaVu Sans", 13, ("#333", "#fafafa"), 420),
                                                          ("Noto Serif", 15, ("#222", "#fffff0"), 600),
                                                          ("Liberation Serif", 17, ("#eee", "#202830"), 640)]):
        heading = screens.phrase(rng, 30)
        lines = broken(paragraph(rng, rng.randint(1, 4)), width * 3 // (2 * size) - 4)[:11]

        def page(conceal, heading=heading, lines=lines, font=font, size=size, colours=colours, width=width):
            import html
            import numpy
            from PIL import Image
            path = os.path.join(work, "page.html")
            with open(path, "w") as f:
                f.write("<html><body style='margin:16px;background:%s;color:%s;font-family:\"%s\";font-size:%dpx'>"
                        "<h3 style='margin:0 0 12px 0'>%s</h3><p style='margin:0;line-height:1.5;"
                        "white-space:nowrap'>%s</p></body></html>"
                        % (colours[1], "transparent" if conceal else colours[0], font, size, html.escape(heading),
                           "<br>".join(html.escape(line) for line in lines)))
            png = os.path.join(work, "page-%d.png" % conceal)
            subprocess.run(["wkhtmltoimage", "-q", "--width", str(width), path, png],
                           env=dict(os.environ, DISPLAY=display.name), check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            return numpy.asarray(Image.open(png).convert("RGB")).astype(int)
        import numpy
        shown, hidden = page(False), page(True)
        mask = numpy.abs(shown - hidden).sum(axis=2) > 0
        prefix = "html%d" % scene
        truth = [heading] + lines
        if shown.shape == hidden.shape and checked(mask, [(line, None) for line in truth], prefix) is not None:
            crop_kind = crops[count % len(crops)]
            save(out, index, prefix + ".png",
                 crop(shown, mask, [0, 0, shown.shape[1], shown.shape[0]], crop_kind, rng), "regions", "html",
                 "web/%s" % crop_kind, truth)
            count += 1


SCREEN_SIZE = (1280, 800)


def make_screens(display, work, out, index, rng, blank):
    from PIL import Image
    for scene, (font, size, theme, mono) in enumerate(QT_LOOKS[:8]):
        prefix = "screen%d" % scene
        left = {"kind": "window", "width": 520, "menu": rng.choice(MENUS), "heading": screens.phrase(rng, 30),
                "text": paragraph(rng, rng.randint(6, 10)), "buttons": rng.choice(BUTTONS), "at": [24, 24]}
        upper = {"kind": "browser", "width": 540, "at": [680, 24],
                 "paragraphs": [paragraph(rng, rng.randint(1, 2)) for _ in range(2)]}
        lower = {"kind": "plain", "lines": [log_line(rng, 56 if size <= 13 else 44) for _ in range(rng.randint(5, 9))],
                 "at": [680, 440]}
        regions = [left, upper, lower]
        shown, mask, report = qt_scene(display, work, blank, prefix,
                                       {"regions": regions, "font": font, "size": size, "theme": theme,
                                        "mono": mono, "desktop": rng.choice(["#3a6ea5", "#2e3436", "#8fa8c0"]),
                                        "desktop_size": list(SCREEN_SIZE)})
        truth = []
        for i, seen in enumerate(report):
            x, y, w, h = seen["rect"]
            if x + w > SCREEN_SIZE[0] or y + h > SCREEN_SIZE[1]:
                print("regions: %s: window %d leaves the screen, left out" % (prefix, i), file=sys.stderr)
                truth = None
                break
            if checked(window_mask(mask, seen["rect"]), seen["lines"], "%s-%d" % (prefix, i), size) is None:
                truth = None
                break
            truth += [text for text, _ in seen["lines"]]
        if truth:
            image = Image.fromarray(shown[:SCREEN_SIZE[1], :SCREEN_SIZE[0]].astype("uint8"))
            save(out, index, prefix + ".png", image, "screens", "qt", "screen", truth)


if __name__ == "__main__":
    with open(sys.argv[2]) as f:
        SCENES[sys.argv[1]](json.load(f))
