#include "desktopdriver.h"
#include "monitorrecorder.h"
#include "testtone.h"

#include <QDir>
#include <QFont>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextDocumentFragment>
#include <QtTest>

#include <sndfile.h>

#include <memory>

// One session of plugin-tester with the real plugins and engines, step by
// step as a person would go: what the log shows (text and colour, read back
// through the clipboard), what the sink hears, what windows are on screen.
// The steps build on each other; once one fails, the rest are skipped.
// A screenshot of every step is kept in "acceptance" beside the test.
class tst_Acceptance : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void start();
    void pickAndPlay();
    void switchPlayer();
    void stop();
    void switchToOcr();
    void recogniseImage();
    void recogniseScreen();
    void close();

private:
    enum Colour { Plain, Info, Error, Result };
    // Appends the paragraphs that the log must show next.
    void expectInfo(const QString &source, const QString &message);
    void expectError(const QString &source, const QString &message);
    void expectResult(const QString &source, const QString &text);
    // Waits until the log shows what is expected so far, then compares
    // each paragraph's text and colour.
    void verifyLog();
    // Records the sink while the action runs and for a while after it.
    std::vector<std::int16_t> record(const std::function<void()> &action, int milliseconds);
    void verifyTone(const std::vector<std::int16_t> &samples);

    QTemporaryDir m_files;
    QString m_tone;
    QString m_image;
    QString m_screens;
    DesktopDriver m_desktop;
    QList<QPair<QString, Colour>> m_expected;
    std::unique_ptr<QLabel> m_words;
    bool m_broken = false;
    int m_step = 0;
};

static const double toneFrequency = 440.0;
static const QString imageText = QStringLiteral("Plugins read 2026 lines");
static const QString screenText = QStringLiteral("Read me 42");

void tst_Acceptance::initTestCase()
{
    const QString missing = DesktopDriver::missingRequirement();
    if (!missing.isEmpty())
        QSKIP(qPrintable(missing));
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
        QSKIP("needs a sound server: PULSE_SERVER is unset (scripts/test starts a private one)");

    m_screens = QCoreApplication::applicationDirPath() + QStringLiteral("/acceptance");
    QDir(m_screens).removeRecursively();
    QVERIFY(QDir().mkpath(m_screens));

    // Long enough that only Stop can silence it.
    m_tone = m_files.filePath(QStringLiteral("tone.wav"));
    QVERIFY(TestTone::write(m_tone, SF_FORMAT_WAV | SF_FORMAT_PCM_16, TestTone::generate(toneFrequency, 30.0)));

    // Larger than what is recognised within the call: goes through polling.
    QImage image(640, 120, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(36);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(image.rect(), Qt::AlignCenter, imageText);
    painter.end();
    m_image = m_files.filePath(QStringLiteral("words.png"));
    QVERIFY(image.save(m_image));
}

void tst_Acceptance::init()
{
    if (m_broken)
        QSKIP("an earlier step failed");
}

void tst_Acceptance::cleanup()
{
    ++m_step;
    DesktopDriver::screenshot(QStringLiteral("%1/step%2-%3.png")
                                      .arg(m_screens, QString::number(m_step),
                                           QString::fromLatin1(QTest::currentTestFunction())));
    if (QTest::currentTestFailed()) {
        m_broken = true;
        qWarning("log as shown:\n%s", qPrintable(m_desktop.logText()));
    }
}

void tst_Acceptance::expectInfo(const QString &source, const QString &message)
{
    m_expected << qMakePair(source + QStringLiteral(": ") + message, Info);
}

void tst_Acceptance::expectError(const QString &source, const QString &message)
{
    m_expected << qMakePair(source + QLatin1Char(':') + message, Error);
}

void tst_Acceptance::expectResult(const QString &source, const QString &text)
{
    // The line break after the paragraph makes a paragraph of its own.
    m_expected << qMakePair(source + QLatin1Char(':'), Plain) << qMakePair(text, Result)
               << qMakePair(QStringLiteral("\n"), Plain);
}

void tst_Acceptance::verifyLog()
{
    QStringList lines;
    for (const auto &line : qAsConst(m_expected))
        lines << line.first;
    // Reading the log takes a while, so wait by the clock, not by tries.
    const QString text = lines.join(QLatin1Char('\n'));
    QElapsedTimer clock;
    clock.start();
    while (m_desktop.logText() != text && clock.elapsed() < 20000)
        QTest::qWait(100);
    QCOMPARE(m_desktop.logText(), text);

    // Qt writes the copied log as HTML of its own; each paragraph's last
    // colour is the colour its message is shown in.
    const QString html = m_desktop.logHtml();
    static const QRegularExpression paragraph(QStringLiteral("<p[^>]*>(.*?)</p>"),
                                              QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression colour(QStringLiteral("color:(#[0-9a-f]{6})"));
    QStringList shown, expected;
    auto it = paragraph.globalMatch(html);
    while (it.hasNext()) {
        const QString inner = it.next().captured(0);
        QString found = QStringLiteral("plain");
        auto colours = colour.globalMatch(inner);
        while (colours.hasNext())
            found = colours.next().captured(1);
        shown << QTextDocumentFragment::fromHtml(inner).toPlainText() + QStringLiteral(" [") + found + QLatin1Char(']');
    }
    static const char *const names[] = { "plain", "#333333", "#ff0000", "#0000ff" };
    for (const auto &line : qAsConst(m_expected))
        expected << line.first + QStringLiteral(" [") + QLatin1String(names[line.second]) + QLatin1Char(']');
    QCOMPARE(shown, expected);
}

std::vector<std::int16_t> tst_Acceptance::record(const std::function<void()> &action, int milliseconds)
{
    MonitorRecorder recorder;
    if (!recorder.start(qEnvironmentVariable("ZQP_NULL_SINK", QStringLiteral("testsink")).toStdString())) {
        qWarning("cannot record the sink: %s", recorder.errorString().c_str());
        return {};
    }
    QTest::qWait(300);
    action();
    QTest::qWait(milliseconds);
    recorder.stop();
    return recorder.samples();
}

void tst_Acceptance::verifyTone(const std::vector<std::int16_t> &samples)
{
    const QVector<qint16> heard(samples.begin(), samples.end());
    const QPair<int, int> span = TestTone::soundSpan(heard);
    QVERIFY2(span.first >= 0, "the sink heard nothing");
    QVERIFY2(span.second - span.first > MonitorRecorder::Rate / 2, "the sink heard less than half a second");
    const double found = TestTone::frequency(heard, span.first, span.second);
    QVERIFY2(qAbs(found - toneFrequency) < toneFrequency * 0.01, qPrintable(QString::number(found)));
}

void tst_Acceptance::start()
{
    QVERIFY(m_desktop.start(QStringLiteral(ZQP_STAGE_DIR "/plugin-tester"), QStringLiteral(ZQP_STAGE_DIR)));
    QCOMPARE(m_desktop.windowTitle(), QStringLiteral("Form"));
    expectInfo(QStringLiteral("Bass plugins"), QStringLiteral("loaded."));
    expectInfo(QStringLiteral("Bass plugins"), QStringLiteral("initialed."));
    verifyLog();
    // The list holds nothing above the first plugin: Up changes nothing.
    m_desktop.choosePlugin(-1);
    QTest::qWait(300);
    verifyLog();
}

void tst_Acceptance::pickAndPlay()
{
    const auto heard = record([this] { QVERIFY(m_desktop.openFile(m_tone)); }, 1500);
    expectInfo(m_tone, QStringLiteral("is picked."));
    expectInfo(QStringLiteral("Bass plugins"), QStringLiteral("playing ") + m_tone);
    verifyLog();
    QCOMPARE(m_desktop.windowTitle(), m_tone);
    verifyTone(heard);
}

void tst_Acceptance::switchPlayer()
{
    const auto heard = record([this] { m_desktop.choosePlugin(1); }, 1500);
    expectInfo(QStringLiteral("Bass plugins"), QStringLiteral("unload."));
    expectInfo(QStringLiteral("Fmod Ex"), QStringLiteral("loaded."));
    expectInfo(QStringLiteral("Fmod Ex"), QStringLiteral("initialed."));
    expectInfo(QStringLiteral("Fmod Ex"), QStringLiteral("playing ") + m_tone);
    verifyLog();
    verifyTone(heard);
}

void tst_Acceptance::stop()
{
    m_desktop.press(3);
    expectInfo(QStringLiteral("Fmod Ex"), QStringLiteral("stopped."));
    verifyLog();
    const auto heard = record([] {}, 700);
    QVERIFY2(!heard.empty(), "the sink could not be recorded");
    QCOMPARE(TestTone::soundSpan(QVector<qint16>(heard.begin(), heard.end())).first, -1);
}

void tst_Acceptance::switchToOcr()
{
    m_desktop.choosePlugin(1);
    const QString ocr = QStringLiteral("Nicomsoft OCR");
    expectInfo(QStringLiteral("Fmod Ex"), QStringLiteral("unload."));
    expectInfo(ocr, QStringLiteral("loaded."));
    expectInfo(ocr, QStringLiteral("set dataPath to ./nsocr/libNSOCR.so"));
    expectInfo(ocr, QStringLiteral("initialed."));
    // The picked sound goes to the OCR engine, which cannot read it.
    expectInfo(ocr, QStringLiteral("ocr ") + m_tone);
    expectError(ocr, QStringLiteral("OCR Error: NsOCR::Img_Load failed. Code:#70000004"));
    verifyLog();
    QCOMPARE(m_desktop.process().state(), QProcess::Running);

    // The OCR engine is the last plugin in the list.
    m_desktop.choosePlugin(1);
    QTest::qWait(300);
    verifyLog();
}

void tst_Acceptance::recogniseImage()
{
    QVERIFY(m_desktop.openFile(m_image));
    expectInfo(m_image, QStringLiteral("is picked."));
    expectInfo(QStringLiteral("Nicomsoft OCR"), QStringLiteral("ocr ") + m_image);
    expectResult(QStringLiteral("Nicomsoft OCR"), imageText);
    verifyLog();
}

void tst_Acceptance::recogniseScreen()
{
    m_words.reset(new QLabel(screenText));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(28);
    m_words->setFont(font);
    m_words->setAlignment(Qt::AlignCenter);
    m_words->setStyleSheet(QStringLiteral("background: white; color: black"));
    m_words->setGeometry(700, 500, 320, 80);
    m_words->setWindowFlags(Qt::FramelessWindowHint);
    m_words->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_words.get()));
    QTest::qWait(200);

    const QStringList before = m_desktop.visibleWindows();
    m_desktop.press(2);
    expectInfo(QStringLiteral("Nicomsoft OCR"), QStringLiteral("ocrScreen"));
    QTRY_COMPARE_WITH_TIMEOUT(m_desktop.visibleWindows().size(), before.size() + 1, 10000);

    // A box of 280 x 56 around the words: small enough to be read within the call.
    const QPoint centre = m_words->geometry().center();
    DesktopDriver::xdotool({ QStringLiteral("mousemove"), QString::number(centre.x() - 140), QString::number(centre.y() - 28) });
    DesktopDriver::xdotool({ QStringLiteral("mousedown"), QStringLiteral("1") });
    DesktopDriver::xdotool({ QStringLiteral("mousemove"), QString::number(centre.x()), QString::number(centre.y()) });
    DesktopDriver::xdotool({ QStringLiteral("mousemove"), QString::number(centre.x() + 140), QString::number(centre.y() + 28) });
    DesktopDriver::xdotool({ QStringLiteral("mouseup"), QStringLiteral("1") });

    expectResult(QStringLiteral("Nicomsoft OCR"), screenText);
    verifyLog();
    QTRY_COMPARE_WITH_TIMEOUT(m_desktop.visibleWindows(), before, 5000);
    m_words.reset();
}

static QStringList childrenOf(qint64 pid)
{
    QStringList children;
    const QStringList processes = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &process : processes) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(process));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (name) state ppid ...", where the name may hold blanks.
        const QByteArray fields = stat.readAll();
        if (fields.mid(fields.lastIndexOf(')') + 2).split(' ').value(1).toLongLong() == pid)
            children << process;
    }
    return children;
}

void tst_Acceptance::close()
{
    const QStringList children = childrenOf(m_desktop.process().processId());
    QVERIFY(m_desktop.closeWindow());
    QVERIFY(m_desktop.process().waitForFinished(15000));
    QCOMPARE(m_desktop.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_desktop.process().exitCode(), 0);
    for (const QString &child : children)
        QVERIFY2(!QFile::exists(QStringLiteral("/proc/") + child), qPrintable(QStringLiteral("process %1 is left").arg(child)));
}

QTEST_MAIN(tst_Acceptance)
#include "tst_acceptance.moc"
