#include "pluginfolder.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

// plugin-tester itself, on a real X display with fixture plugins in its
// "zqp" folder, driven with the keyboard and the mouse as a user drives it.
// What the log shows is read back through the clipboard.
class tst_PluginTester : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void startup_data();
    void startup();
    void session();

private:
    // Starts the program staged with the given plugin entries and waits
    // for its window.
    bool start(const QStringList &entries, const QProcessEnvironment &extra = QProcessEnvironment());
    // The standard output of a tool, or an empty string when it fails (as
    // xclip does when the clipboard holds nothing).
    QString run(const QString &program, const QStringList &arguments);
    void xdotool(const QStringList &arguments) { run(QStringLiteral("xdotool"), arguments); }
    // Gives the window the keyboard focus and puts it on the log (tabs -1),
    // the plugin list (0), "Open..." (1), "Play" (2) or "Stop" (3).
    void focus(int tabs);
    void press(int tabs);
    QString logText();
    QString windowTitle() { return run(QStringLiteral("xdotool"), { QStringLiteral("getwindowname"), m_window }).trimmed(); }
    // Asks the window to close, as a window manager's close button does.
    bool closeWindow();

    std::unique_ptr<QTemporaryDir> m_stage;
    QProcess m_program;
    QString m_window;
};

void tst_PluginTester::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("needs an X display: DISPLAY is unset (scripts/test starts a virtual one)");
    for (const char *tool : { "xdotool", "xclip" })
        QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(), tool);
}

void tst_PluginTester::init()
{
    m_stage.reset(new QTemporaryDir);
    QVERIFY(m_stage->isValid());
    for (const char *file : { "plugin-tester", "libZQCore.so" })
        QVERIFY(QFile::copy(QStringLiteral(ZQP_STAGE_DIR "/") + QLatin1String(file), m_stage->filePath(QLatin1String(file))));
}

void tst_PluginTester::cleanup()
{
    if (m_program.state() != QProcess::NotRunning) {
        m_program.kill();
        m_program.waitForFinished();
    }
    m_window.clear();
}

bool tst_PluginTester::start(const QStringList &entries, const QProcessEnvironment &extra)
{
    if (!entries.isEmpty() && !fillPluginFolder(m_stage->filePath(QStringLiteral("zqp")), entries))
        return false;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(extra);
    m_program.setProcessEnvironment(environment);
    m_program.setWorkingDirectory(m_stage->path());
    m_program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_program.start(m_stage->filePath(QStringLiteral("plugin-tester")), QStringList());
    if (!m_program.waitForStarted())
        return false;
    const QString pid = QString::number(m_program.processId());
    m_window = run(QStringLiteral("timeout"), { QStringLiteral("20"), QStringLiteral("xdotool"), QStringLiteral("search"),
                                                QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
                                                QStringLiteral("--pid"), pid })
                   .section(QLatin1Char('\n'), 0, 0);
    return !m_window.isEmpty();
}

QString tst_PluginTester::run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

void tst_PluginTester::focus(int tabs)
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

void tst_PluginTester::press(int tabs)
{
    focus(tabs);
    xdotool({ QStringLiteral("key"), QStringLiteral("space") });
}

QString tst_PluginTester::logText()
{
    focus(-1);
    xdotool({ QStringLiteral("key"), QStringLiteral("ctrl+a"), QStringLiteral("ctrl+c") });
    return run(QStringLiteral("xclip"), { QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard") });
}

bool tst_PluginTester::closeWindow()
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

void tst_PluginTester::startup_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<bool>("initialFails");
    QTest::addColumn<QString>("log");

    QTest::newRow("no plugin folder") << QStringList() << false << QString();
    QTest::newRow("audio player first")
        << QStringList { QStringLiteral("zqp.adp.fixture.so"), QStringLiteral("zqp.ocr.nicomsoft-fixture.so") } << false
        << QStringLiteral("Fixture player: loaded.\nFixture player: initialed.");
    QTest::newRow("audio player cannot start")
        << QStringList { QStringLiteral("zqp.adp.fixture.so") } << true
        << QStringLiteral("Fixture player: loaded.\nFixture player:Fixture ERR: no output device\n"
                          "Fixture player: failed to initial.");
    QTest::newRow("OCR engine first")
        << QStringList { QStringLiteral("zqp.ocr.nicomsoft-fixture.so") } << false
        << QStringLiteral("Fixture OCR: loaded.\nFixture OCR: set dataPath to ./nsocr/libNSOCR.so\n"
                          "Fixture OCR: initialed.");
    QTest::newRow("no plugin first")
        << QStringList { QStringLiteral("a.so=text"), QStringLiteral("b.so=zqp.adp.fixture.so") } << false
        << QStringLiteral(": failed to load.");
}

// What the window shows before the user acts, and that closing it ends the
// program normally.
void tst_PluginTester::startup()
{
    QFETCH(QStringList, entries);
    QFETCH(bool, initialFails);
    QFETCH(QString, log);

    QProcessEnvironment extra;
    if (initialFails)
        extra.insert(QStringLiteral("ZQP_FIXTURE_INITIAL_FAILS"), QStringLiteral("1"));
    QVERIFY(start(entries, extra));
    QCOMPARE(windowTitle(), QStringLiteral("Form"));
    QTRY_COMPARE_WITH_TIMEOUT(logText(), log, 10000);

    QVERIFY(closeWindow());
    QVERIFY(m_program.waitForFinished(10000));
    QCOMPARE(m_program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_program.exitCode(), 0);
}

// Switching plugins, playing, picking a file and stopping, step by step.
void tst_PluginTester::session()
{
    const QString file = m_stage->filePath(QStringLiteral("words.txt"));
    QFile words(file);
    QVERIFY(words.open(QIODevice::WriteOnly));
    words.write("first line\nsecond line\n");
    words.close();

    QVERIFY(start({ QStringLiteral("zqp.adp.fixture.so"), QStringLiteral("zqp.ocr.nicomsoft-fixture.so"),
                    QStringLiteral("zz.so=text") }));
    QString log = QStringLiteral("Fixture player: loaded.\nFixture player: initialed.");
    QTRY_COMPARE_WITH_TIMEOUT(logText(), log, 10000);

    focus(0);
    xdotool({ QStringLiteral("key"), QStringLiteral("Down") });
    log += QStringLiteral("\nFixture player: unload.\nFixture OCR: loaded.\n"
                          "Fixture OCR: set dataPath to ./nsocr/libNSOCR.so\nFixture OCR: initialed.");
    QTRY_COMPARE_WITH_TIMEOUT(logText(), log, 10000);

    press(2);
    log += QStringLiteral("\nFixture OCR: ocrScreen");
    QTRY_COMPARE_WITH_TIMEOUT(logText(), log, 10000);

    press(1);
    const QString dialog = run(QStringLiteral("timeout"),
                               { QStringLiteral("20"), QStringLiteral("xdotool"), QStringLiteral("search"),
                                 QStringLiteral("--sync"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                                 QStringLiteral("^Select an Audio or Image file$") })
                           .section(QLatin1Char('\n'), 0, 0);
    QVERIFY(!dialog.isEmpty());
    xdotool({ QStringLiteral("windowfocus"), QStringLiteral("--sync"), dialog });
    xdotool({ QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), file });
    xdotool({ QStringLiteral("key"), QStringLiteral("Return") });
    // The result is a paragraph of its own, followed by an empty line.
    log += QStringLiteral("\n%1: is picked.\nFixture OCR: ocr %1\nFixture OCR:\nfirst line\nsecond line\n\n").arg(file);
    QTRY_COMPARE_WITH_TIMEOUT(logText(), log, 10000);
    QCOMPARE(windowTitle(), file);

    press(3);
    log += QStringLiteral("\nFixture OCR: stopped.");
    QTRY_COMPARE_WITH_TIMEOUT(logText(), log, 10000);

    // A file that is no plugin: the OCR engine goes, nothing is held, and
    // the buttons then do nothing.
    focus(0);
    xdotool({ QStringLiteral("key"), QStringLiteral("Down") });
    log += QStringLiteral("\nFixture OCR: unload.\n: failed to load.");
    QTRY_COMPARE_WITH_TIMEOUT(logText(), log, 10000);
    press(2);
    press(3);
    QTest::qWait(200);
    QCOMPARE(logText(), log);
}

QTEST_GUILESS_MAIN(tst_PluginTester)
#include "tst_plugintester.moc"
