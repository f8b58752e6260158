#include "desktopdriver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

// An installed plugin-tester, started through its launcher from the caller's
// folder with the example plugins dropped into its zqp/ folder. Run by
// check-install.sh, which installs the tree and names it in the environment:
//   ZQP_LAUNCHER        the launcher, <prefix>/bin/plugin-tester
//   ZQP_APPDIR          the application folder the launcher must run in
//   ZQP_CALLER_DIR      the folder to start from; it holds a planted
//                       nsocr/libNSOCR.so and Config.dat
//   ZQP_PLANTED_MARKER  the file the planted library writes when loaded
class tst_InstalledTester : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();

    void steps_data();
    void steps();
    void engineFromItsFolder();
    void close();

private:
    QString m_appDir;
    QString m_picked;
    QString m_log;
    DesktopDriver m_desktop;
};

void tst_InstalledTester::initTestCase()
{
    const QString missing = DesktopDriver::missingRequirement();
    if (!missing.isEmpty())
        QFAIL(qPrintable(missing));
    for (const char *variable : { "ZQP_LAUNCHER", "ZQP_APPDIR", "ZQP_CALLER_DIR", "ZQP_PLANTED_MARKER" })
        QVERIFY2(qEnvironmentVariableIsSet(variable), variable);
    m_appDir = QFileInfo(qEnvironmentVariable("ZQP_APPDIR")).canonicalFilePath();
    QVERIFY(!m_appDir.isEmpty());

    const QString caller = qEnvironmentVariable("ZQP_CALLER_DIR");
    m_picked = QDir(caller).filePath(QStringLiteral("notes.txt"));
    QFile notes(m_picked);
    QVERIFY(notes.open(QIODevice::WriteOnly));
    notes.write("not an image\n");
    notes.close();

    QVERIFY(m_desktop.start(qEnvironmentVariable("ZQP_LAUNCHER"), caller));

    // The launcher made the application folder the working directory and
    // handed over to the installed program.
    const QString proc = QStringLiteral("/proc/%1/").arg(m_desktop.process().processId());
    QCOMPARE(QFileInfo(proc + QStringLiteral("cwd")).canonicalFilePath(), m_appDir);
    QCOMPARE(QFileInfo(proc + QStringLiteral("exe")).canonicalFilePath(), m_appDir + QStringLiteral("/plugin-tester"));
}

void tst_InstalledTester::cleanupTestCase()
{
    if (m_desktop.process().state() != QProcess::NotRunning)
        m_desktop.process().kill();
}

// Each step moves the plugin list (steps), opens the picked file (open) or
// presses Stop, and names the log lines it adds. "%1" stands for the file.
void tst_InstalledTester::steps_data()
{
    QTest::addColumn<int>("move");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("lines");

    QTest::newRow("start: the first plugin in name order") << 0 << QString()
        << QStringLiteral("Bass plugins: loaded.\nBass plugins: initialed.");
    QTest::newRow("FMOD Ex") << 1 << QString()
        << QStringLiteral("Bass plugins: unload.\nFmod Ex: loaded.\nFmod Ex: initialed.");
    QTest::newRow("example player") << 1 << QString()
        << QStringLiteral("Fmod Ex: unload.\nSine tone: loaded.\nSine tone: initialed.");
    QTest::newRow("example player plays") << 0 << QStringLiteral("open")
        << QStringLiteral("%1: is picked.\nSine tone: playing %1");
    QTest::newRow("example player stops") << 0 << QStringLiteral("stop") << QStringLiteral("Sine tone: stopped.");
    QTest::newRow("example OCR") << 1 << QString()
        << QStringLiteral("Sine tone: unload.\nFixed text: loaded.\nFixed text: set dataPath to \n"
                          "Fixed text: initialed.\nFixed text: ocr %1\nFixed text:\n"
                          "Fixed text from an example plugin\n\n");
    // The engine beside the program, not the one planted in the caller's
    // folder: the real engine loads, starts, and refuses a text file.
    QTest::newRow("OCR engine") << 1 << QString()
        << QStringLiteral("Fixed text: unload.\nNicomsoft OCR: loaded.\n"
                          "Nicomsoft OCR: set dataPath to ./nsocr/libNSOCR.so\nNicomsoft OCR: initialed.\n"
                          "Nicomsoft OCR: ocr %1\nNicomsoft OCR:OCR Error: NsOCR::Img_Load failed. Code:#70000004");
}

void tst_InstalledTester::steps()
{
    QFETCH(int, move);
    QFETCH(QString, action);
    QFETCH(QString, lines);

    if (move)
        m_desktop.choosePlugin(move);
    if (action == QLatin1String("open"))
        QVERIFY(m_desktop.openFile(m_picked));
    else if (action == QLatin1String("stop"))
        m_desktop.press(3);

    m_log += (m_log.isEmpty() ? QString() : QStringLiteral("\n")) + lines.replace(QLatin1String("%1"), m_picked);
    QTRY_COMPARE_WITH_TIMEOUT(m_desktop.logText(), m_log, 15000);
}

// The OCR engine in use came from beside the program.
void tst_InstalledTester::engineFromItsFolder()
{
    QFile maps(QStringLiteral("/proc/%1/maps").arg(m_desktop.process().processId()));
    QVERIFY(maps.open(QIODevice::ReadOnly));
    QStringList engines;
    for (const QByteArray &line : maps.readAll().split('\n')) {
        if (line.endsWith("/libNSOCR.so")) {
            const QString path = QString::fromLocal8Bit(line.mid(line.indexOf('/')));
            if (!engines.contains(path))
                engines << path;
        }
    }
    QCOMPARE(engines, QStringList { m_appDir + QStringLiteral("/nsocr/libNSOCR.so") });
    QVERIFY2(!QFile::exists(qEnvironmentVariable("ZQP_PLANTED_MARKER")), "the planted engine was loaded");
}

void tst_InstalledTester::close()
{
    QVERIFY(m_desktop.closeWindow());
    QVERIFY(m_desktop.process().waitForFinished(10000));
    QCOMPARE(m_desktop.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_desktop.process().exitCode(), 0);
}

QTEST_GUILESS_MAIN(tst_InstalledTester)
#include "tst_installedtester.moc"
