#ifndef DESKTOPDRIVER_H
#define DESKTOPDRIVER_H

#include <QProcess>
#include <QString>
#include <QStringList>

// Drives plugin-tester on a real X display the way a user does: keyboard and
// mouse through xdotool, and what the log shows read back through the
// clipboard with xclip. Needs DISPLAY; no window manager is assumed.
class DesktopDriver
{
public:
    ~DesktopDriver();

    // Empty when DISPLAY is set and xdotool and xclip are installed, else
    // what is missing.
    static QString missingRequirement();

    // Starts the program in workingDirectory with QT_QPA_PLATFORM=xcb plus
    // the given variables, and waits for its window.
    bool start(const QString &program, const QString &workingDirectory,
               const QProcessEnvironment &extra = QProcessEnvironment());
    QProcess &process() { return m_program; }
    QString window() const { return m_window; }
    // The program's windows that are on the screen.
    QStringList visibleWindows();

    // The standard output of a tool, or an empty string when it fails (as
    // xclip does when the clipboard holds nothing).
    static QString run(const QString &program, const QStringList &arguments);
    static void xdotool(const QStringList &arguments);
    // The first visible window that `xdotool search` finds with the given
    // criteria within 20 s, or an empty string.
    static QString waitForWindow(const QStringList &criteria);

    // Gives the window the keyboard focus and puts it on the log (tabs -1),
    // the plugin list (0), "Open..." (1), "Play" (2) or "Stop" (3).
    void focus(int tabs);
    void press(int tabs);
    // Moves the plugin list's choice by steps (negative: upwards).
    void choosePlugin(int steps);
    // Presses "Open...", types the path into the dialog and confirms it.
    bool openFile(const QString &path);

    QString logText();
    // The log as the clipboard offers it to rich-text programs.
    QString logHtml();
    QString windowTitle();
    // Asks the window to close, as a window manager's close button does.
    bool closeWindow();
    // Saves a picture of the whole screen.
    static bool screenshot(const QString &path);

private:
    QString clipboardOfLog(const QStringList &target);

    QProcess m_program;
    QString m_window;
};

#endif // DESKTOPDRIVER_H
