#include "desktopdriver.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFont>
#include <QLabel>
#include <QScreen>
#include <QtTest>

// Screen recognition with the real plugin-tester on a display with two
// screens side by side, 1280x800 and 1024x768 to its right (scripts/test
// starts it and names it in ZQP_TWO_SCREEN_DISPLAY). Words are shown on the
// second screen, the overlay opens on the first, follows the pointer across
// and the words marked there come back as text in the log. A screenshot of
// every step is kept in "twoscreens" beside the test.
class tst_TwoScreens : public QObject
{
    Q_OBJECT

public:
    explicit tst_TwoScreens(const QString &display) : display(display) {}

private Q_SLOTS:
    void initTestCase();
    void recogniseOnSecondScreen_data();
    void recogniseOnSecondScreen();

private:
    // Waits by the clock, since reading the log takes a while.
    static bool waitForLog(DesktopDriver &desktop, const QString &text);
    void screenshot(const QString &step);

    QString display;
    QString screens;
};

static const QString words = QStringLiteral("Screen two 84");
static const QRect secondScreen(1280, 0, 1024, 768);

void tst_TwoScreens::initTestCase()
{
    if (display.isEmpty())
        QSKIP("needs the two-screen display: ZQP_TWO_SCREEN_DISPLAY is unset (scripts/test starts it)");
    const QString missing = DesktopDriver::missingRequirement();
    if (!missing.isEmpty())
        QSKIP(qPrintable(missing));
    const QList<QScreen *> all = QGuiApplication::screens();
    QCOMPARE(all.size(), 2);
    QCOMPARE(all.at(1)->geometry(), secondScreen);

    screens = QCoreApplication::applicationDirPath() + QStringLiteral("/twoscreens");
    QDir(screens).removeRecursively();
    QVERIFY(QDir().mkpath(screens));
}

bool tst_TwoScreens::waitForLog(DesktopDriver &desktop, const QString &text)
{
    QElapsedTimer clock;
    clock.start();
    while (!desktop.logText().contains(text)) {
        if (clock.elapsed() > 20000)
            return false;
        QTest::qWait(100);
    }
    return true;
}

void tst_TwoScreens::screenshot(const QString &step)
{
    DesktopDriver::screenshot(QStringLiteral("%1/%2-%3.png").arg(screens, QString::fromLatin1(QTest::currentDataTag()), step));
}

void tst_TwoScreens::recogniseOnSecondScreen_data()
{
    // How plugin-tester scales its screens, and the second one's factor: the
    // words are shown as large as a program at that factor shows them.
    QTest::addColumn<QString>("variable");
    QTest::addColumn<QString>("factors");
    QTest::addColumn<qreal>("scale");

    QTest::newRow("both at 1") << QStringLiteral("QT_SCREEN_SCALE_FACTORS") << QStringLiteral("1;1") << 1.0;
    QTest::newRow("second at 2") << QStringLiteral("QT_SCREEN_SCALE_FACTORS") << QStringLiteral("1;2") << 2.0;
    QTest::newRow("both at 1.5") << QStringLiteral("QT_SCALE_FACTOR") << QStringLiteral("1.5") << 1.5;
    QTest::newRow("first at 2, second at 1") << QStringLiteral("QT_SCREEN_SCALE_FACTORS") << QStringLiteral("2;1") << 1.0;
}

void tst_TwoScreens::recogniseOnSecondScreen()
{
    QFETCH(QString, variable);
    QFETCH(QString, factors);
    QFETCH(qreal, scale);

    DesktopDriver desktop;
    QProcessEnvironment environment;
    environment.insert(variable, factors);
    QVERIFY(desktop.start(QStringLiteral(ZQP_STAGE_DIR "/plugin-tester"), QStringLiteral(ZQP_STAGE_DIR), environment));
    desktop.choosePlugin(2);
    QVERIFY2(waitForLog(desktop, QStringLiteral("Nicomsoft OCR: initialed.")), qPrintable(desktop.logText()));

    // In device pixels, as this test runs unscaled.
    QLabel shown(words);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(qRound(28 * scale));
    shown.setFont(font);
    shown.setAlignment(Qt::AlignCenter);
    shown.setStyleSheet(QStringLiteral("background: white; color: black"));
    shown.setWindowFlags(Qt::FramelessWindowHint);
    shown.setGeometry(QRect(secondScreen.topLeft() + QPoint(200, 150), QSize(320, 80) * scale));
    shown.show();
    QVERIFY(QTest::qWaitForWindowExposed(&shown));
    QTest::qWait(200);
    screenshot(QStringLiteral("1-words"));

    const QStringList before = desktop.visibleWindows();
    // Reading the log would click into the overlay: it is read at the end.
    desktop.press(2);
    QTRY_COMPARE_WITH_TIMEOUT(desktop.visibleWindows().size(), before.size() + 1, 10000);
    QString overlay;
    for (const QString &window : desktop.visibleWindows())
        overlay = before.contains(window) ? overlay : window;
    const auto overlayLeft = [&overlay] {
        const QString geometry = DesktopDriver::run(QStringLiteral("xdotool"),
                                                    { QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), overlay });
        return geometry.section(QStringLiteral("X="), 1).section(QLatin1Char('\n'), 0, 0).toInt();
    };
    // Opened on the first screen, under the pointer.
    QCOMPARE(overlayLeft(), 0);
    screenshot(QStringLiteral("2-overlay"));

    // A box around the words, small enough at scale 1 to be read within the call.
    const QRect box(shown.geometry().center() - QPoint(150, 28) * scale, QSize(300, 56) * scale);
    const auto moveTo = [](const QPoint &point) {
        DesktopDriver::xdotool({ QStringLiteral("mousemove"), QString::number(point.x()), QString::number(point.y()) });
    };
    moveTo(box.topLeft());
    QTRY_COMPARE_WITH_TIMEOUT(overlayLeft(), secondScreen.left(), 10000);
    QTest::qWait(200);
    screenshot(QStringLiteral("3-followed"));

    DesktopDriver::xdotool({ QStringLiteral("mousedown"), QStringLiteral("1") });
    moveTo(box.center());
    moveTo(box.topLeft() + QPoint(box.width(), box.height()));
    screenshot(QStringLiteral("4-marked"));
    DesktopDriver::xdotool({ QStringLiteral("mouseup"), QStringLiteral("1") });

    const QString result = QStringLiteral("Nicomsoft OCR: ocrScreen\nNicomsoft OCR:\n") + words + QStringLiteral("\n\n");
    waitForLog(desktop, result);
    screenshot(QStringLiteral("5-read"));
    const QString log = desktop.logText();
    QCOMPARE(log.mid(log.lastIndexOf(QStringLiteral("Nicomsoft OCR: ocrScreen"))), result);
    QTRY_COMPARE_WITH_TIMEOUT(desktop.visibleWindows(), before, 5000);

    QVERIFY(desktop.closeWindow());
    QVERIFY(desktop.process().waitForFinished(15000));
    QCOMPARE(desktop.process().exitCode(), 0);
}

int main(int argc, char **argv)
{
    // The whole test, its own windows and the tools it runs included, works
    // on the two-screen display; without one it still starts, and skips.
    const QByteArray display = qgetenv("ZQP_TWO_SCREEN_DISPLAY");
    if (display.isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    else
        qputenv("DISPLAY", display);
    QApplication app(argc, argv);
    tst_TwoScreens test(QString::fromLocal8Bit(display));
    return QTest::qExec(&test, argc, argv);
}

#include "tst_twoscreens.moc"
