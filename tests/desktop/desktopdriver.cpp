#include "desktopdriver.h"

#include <QStandardPaths>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

DesktopDriver::~DesktopDriver()
{
    if (m_program.state() != QProcess::NotRunning) {
        m_program.kill();
        m_program.waitForFinished();
    }
}

QString DesktopDriver::missingRequirement()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return QStringLiteral("needs an X display: DISPLAY is unset (scripts/test starts a virtual one)");
    for (const char *tool : { "xdotool", "xclip", "import" }) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            return QStringLiteral("needs %1 (scripts/setup installs it)").arg(QString::fromLatin1(tool));
    }
    return QString();
}

bool DesktopDriver::start(const QString &program, const QString &workingDirectory, const QProcessEnvironment &extra)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(extra);
    m_program.setProcessEnvironment(environment);
    m_program.setWorkingDirectory(workingDirectory);
    m_program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_program.start(program, QStringList());
    if (!m_program.waitForStarted())
        return false;
    m_window = waitForWindow({ QStringLiteral("--pid"), QString::number(m_program.processId()) });
    return !m_window.isEmpty();
}

QStringList DesktopDriver::visibleWindows()
{
    return run(QStringLiteral("xdotool"), { QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                                            QString::number(m_program.processId()) })
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString DesktopDriver::run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

void DesktopDriver::xdotool(const QStringList &arguments)
{
    run(QStringLiteral("xdotool"), arguments);
}

QString DesktopDriver::waitForWindow(const QStringList &criteria)
{
    const QStringList search = QStringList { QStringLiteral("20"), QStringLiteral("xdotool"), QStringLiteral("search"),
                                             QStringLiteral("--sync"), QStringLiteral("--onlyvisible") }
        + criteria;
    return run(QStringLiteral("timeout"), search).section(QLatin1Char('\n'), 0, 0);
}

void DesktopDriver::focus(int tabs)
{
    // A click in the log, the last widget in the tab chain, gives the window
    // the focus; the chain then wraps to the plugin list.
    const QString geometry = run(QStringLiteral("xdotool"), { QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), m_window });
    const int width = geometry.section(QStringLiteral("WIDTH="), 1).section(QLatin1Char('\n'), 0, 0).toInt();
    const int height = geometry.section(QStringLiteral("HEIGHT="), 1).section(QLatin1Char('\n'), 0, 0).toInt();
    xdotool({ QStringLiteral("windowfocus"), QStringLiteral("--sync"), m_window });
    xdotool({ QStringLiteral("mousemove"), QStringLiteral("--window"), m_window, QString::number(width / 2),
              QString::number(height * 3 / 4), QStringLiteral("click"), QStringLiteral("1") });
    for (int i = 0; i <= tabs; ++i)
        xdotool({ QStringLiteral("key"), QStringLiteral("Tab") });
}

void DesktopDriver::press(int tabs)
{
    focus(tabs);
    xdotool({ QStringLiteral("key"), QStringLiteral("space") });
}

void DesktopDriver::choosePlugin(int steps)
{
    focus(0);
    for (int i = 0; i < qAbs(steps); ++i)
        xdotool({ QStringLiteral("key"), steps > 0 ? QStringLiteral("Down") : QStringLiteral("Up") });
}

bool DesktopDriver::openFile(const QString &path)
{
    press(1);
    const QString dialog = waitForWindow({ QStringLiteral("--name"), QStringLiteral("^Select an Audio or Image file$") });
    if (dialog.isEmpty())
        return false;
    xdotool({ QStringLiteral("windowfocus"), QStringLiteral("--sync"), dialog });
    xdotool({ QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), path });
    xdotool({ QStringLiteral("key"), QStringLiteral("Return") });
    return true;
}

QString DesktopDriver::clipboardOfLog(const QStringList &target)
{
    focus(-1);
    xdotool({ QStringLiteral("key"), QStringLiteral("ctrl+a"), QStringLiteral("ctrl+c") });
    // A click drops the selection again, so that screenshots show the
    // colours; away from the first one, or the two would make a double click.
    xdotool({ QStringLiteral("mousemove_relative"), QStringLiteral("40"), QStringLiteral("0"), QStringLiteral("click"), QStringLiteral("1") });
    return run(QStringLiteral("xclip"), QStringList { QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard") } + target);
}

QString DesktopDriver::logText()
{
    return clipboardOfLog({});
}

QString DesktopDriver::logHtml()
{
    return clipboardOfLog({ QStringLiteral("-t"), QStringLiteral("text/html") });
}

QString DesktopDriver::windowTitle()
{
    return run(QStringLiteral("xdotool"), { QStringLiteral("getwindowname"), m_window }).trimmed();
}

bool DesktopDriver::closeWindow()
{
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return false;
    }
    auto atom = [connection](const char *name) {
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name), nullptr);
        const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return result;
    };
    xcb_client_message_event_t event = {};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = m_window.toUInt();
    event.type = atom("WM_PROTOCOLS");
    event.data.data32[0] = atom("WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    // A checked request: its round trip makes sure that the server has sent
    // the message before the connection closes.
    const xcb_void_cookie_t cookie = xcb_send_event_checked(connection, 0, event.window, XCB_EVENT_MASK_NO_EVENT,
                                                            reinterpret_cast<const char *>(&event));
    xcb_generic_error_t *error = xcb_request_check(connection, cookie);
    std::free(error);
    xcb_disconnect(connection);
    return !error;
}

bool DesktopDriver::screenshot(const QString &path)
{
    QProcess process;
    process.start(QStringLiteral("import"), { QStringLiteral("-window"), QStringLiteral("root"), path });
    return process.waitForFinished(30000) && process.exitCode() == 0;
}
