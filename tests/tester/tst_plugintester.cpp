#include "desktopdriver.h"
#include "pluginfolder.h"

#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <QtTest>

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
    void pickFromTheList();

private:
    // Starts the program staged with the given plugin entries and waits
    // for its window.
    bool start(const QStringList &entries, const QProcessEnvironment &extra = QProcessEnvironment());
    // The log once it reads expected, or as it reads after 10 s.
    QString logOnceItReads(const QString &expected);

    std::unique_ptr<QTemporaryDir> m_stage;
    std::unique_ptr<DesktopDriver> m_desktop;
};

void tst_PluginTester::initTestCase()
{
    const QString missing = DesktopDriver::missingRequirement();
    if (!missing.isEmpty())
        QSKIP(qPrintable(missing));
}

void tst_PluginTester::init()
{
    m_stage.reset(new QTemporaryDir);
    QVERIFY(m_stage->isValid());
    for (const char *file : { "plugin-tester", ZQP_CORE_FILE })
        QVERIFY(QFile::copy(QStringLiteral(ZQP_STAGE_DIR "/") + QLatin1String(file), m_stage->filePath(QLatin1String(file))));
    m_desktop.reset(new DesktopDriver);
}

void tst_PluginTester::cleanup()
{
    m_desktop.reset();
}

bool tst_PluginTester::start(const QStringList &entries, const QProcessEnvironment &extra)
{
    if (!entries.isEmpty() && !fillPluginFolder(m_stage->filePath(QStringLiteral("zqp")), entries))
        return false;
    return m_desktop->start(m_stage->filePath(QStringLiteral("plugin-tester")), m_stage->path(), extra);
}

// Reading the log takes a while, so the time is measured rather than
// counted in waiting steps.
QString tst_PluginTester::logOnceItReads(const QString &expected)
{
    const QDeadlineTimer deadline(10000);
    QString log = m_desktop->logText();
    while (log != expected && !deadline.hasExpired()) {
        QTest::qWait(100);
        log = m_desktop->logText();
    }
    return log;
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
    QCOMPARE(m_desktop->windowTitle(), QStringLiteral("Form"));
    QCOMPARE(logOnceItReads(log), log);

    QVERIFY(m_desktop->closeWindow());
    QVERIFY(m_desktop->process().waitForFinished(10000));
    QCOMPARE(m_desktop->process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_desktop->process().exitCode(), 0);
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
    QCOMPARE(logOnceItReads(log), log);

    m_desktop->choosePlugin(1);
    log += QStringLiteral("\nFixture player: unload.\nFixture OCR: loaded.\n"
                          "Fixture OCR: set dataPath to ./nsocr/libNSOCR.so\nFixture OCR: initialed.");
    QCOMPARE(logOnceItReads(log), log);

    m_desktop->press(2);
    log += QStringLiteral("\nFixture OCR: ocrScreen");
    QCOMPARE(logOnceItReads(log), log);

    QVERIFY(m_desktop->openFile(file));
    // The result is a paragraph of its own, followed by an empty line.
    log += QStringLiteral("\n%1: is picked.\nFixture OCR: ocr %1\nFixture OCR:\nfirst line\nsecond line\n\n").arg(file);
    QCOMPARE(logOnceItReads(log), log);
    QCOMPARE(m_desktop->windowTitle(), file);

    m_desktop->press(3);
    log += QStringLiteral("\nFixture OCR: stopped.");
    QCOMPARE(logOnceItReads(log), log);

    // A file that is no plugin: the OCR engine goes, nothing is held, and
    // the buttons then do nothing.
    m_desktop->choosePlugin(1);
    log += QStringLiteral("\nFixture OCR: unload.\n: failed to load.");
    QCOMPARE(logOnceItReads(log), log);
    m_desktop->press(2);
    m_desktop->press(3);
    QTest::qWait(200);
    QCOMPARE(m_desktop->logText(), log);
}

// A file picked from the dialog's list: the dialog lists it by its upper-case
// extension and leaves the text file out, and the log shows its name and its
// recognised text as they read, markup and all.
void tst_PluginTester::pickFromTheList()
{
    const QDir folder(m_stage->filePath(QStringLiteral("media")));
    QVERIFY(folder.mkpath(QStringLiteral(".")));
    // Offered first if the dialog listed it.
    QFile notes(folder.filePath(QStringLiteral("a.txt")));
    QVERIFY(notes.open(QIODevice::WriteOnly));
    notes.close();
    const QString file = folder.filePath(QStringLiteral("a<b>B & C<i> <img src=x.png>.PNG"));
    QFile scan(file);
    QVERIFY(scan.open(QIODevice::WriteOnly));
    scan.write("<a href=\"http://example.org/\">here</a> & <b>there</b>\n");
    scan.close();

    QVERIFY(start({ QStringLiteral("zqp.ocr.fixture.so") }));
    QString log = QStringLiteral("Fixture OCR: loaded.\nFixture OCR: set dataPath to fixture-default\n"
                                 "Fixture OCR: initialed.");
    QCOMPARE(logOnceItReads(log), log);

    // Into the folder by its path, then the first name offered for "a": the
    // dialog completes only the names it lists.
    m_desktop->press(1);
    const QString dialog = DesktopDriver::waitForWindow({ QStringLiteral("--name"), QStringLiteral("^Select an Audio or Image file$") });
    QVERIFY(!dialog.isEmpty());
    DesktopDriver::xdotool({ QStringLiteral("windowfocus"), QStringLiteral("--sync"), dialog });
    DesktopDriver::xdotool({ QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), folder.path() });
    DesktopDriver::xdotool({ QStringLiteral("key"), QStringLiteral("Return") });
    QTest::qWait(2000); // the dialog reads the folder in the background
    DesktopDriver::xdotool({ QStringLiteral("type"), QStringLiteral("a") });
    QTest::qWait(1000);
    DesktopDriver::xdotool({ QStringLiteral("key"), QStringLiteral("Down"), QStringLiteral("Return") });

    log += QStringLiteral("\n%1: is picked.\nFixture OCR: ocr %1\nFixture OCR:\n"
                          "<a href=\"http://example.org/\">here</a> & <b>there</b>\n\n").arg(file);
    QCOMPARE(logOnceItReads(log), log);
    QCOMPARE(m_desktop->windowTitle(), file);
    QVERIFY(!m_desktop->logHtml().contains(QLatin1String("<a href")));
}

QTEST_GUILESS_MAIN(tst_PluginTester)
#include "tst_plugintester.moc"
