#include "coordinatepattern.h"
#include "testengine.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QProcess>
#include <QTest>

// A screen region marked with the real pointer on a real X display must
// arrive at ocrMemory as a BMP image of exactly the pixels beneath.
class tst_CaptureOnScreen : public QObject
{
    Q_OBJECT

public:
    explicit tst_CaptureOnScreen(bool haveDisplay) : haveDisplay(haveDisplay) {}

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void drag_data();
    void drag();

private:
    static bool xdotool(const QStringList &arguments);

    bool haveDisplay;
    CoordinatePattern *target = nullptr;
};

bool tst_CaptureOnScreen::xdotool(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished();
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

void tst_CaptureOnScreen::initTestCase()
{
    if (!haveDisplay)
        QSKIP("needs an X display: DISPLAY is not set (scripts/test starts Xvfb)");

    target = new CoordinatePattern;
    target->setWindowTitle(QStringLiteral("capture target"));
    target->setGeometry(100, 120, 400, 300);
    target->show();
    QVERIFY(QTest::qWaitForWindowExposed(target));
    QVERIFY(xdotool({QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
                     QStringLiteral("--name"), QStringLiteral("^capture target$")}));
    QCOMPARE(target->geometry(), QRect(100, 120, 400, 300));
}

void tst_CaptureOnScreen::cleanupTestCase()
{
    delete target;
}

void tst_CaptureOnScreen::cleanup()
{
    // A failed row must not leave its overlay over the next one.
    qDeleteAll(overlays());
}

void tst_CaptureOnScreen::drag_data()
{
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");

    QTest::newRow("down right") << QPoint(150, 170) << QPoint(250, 260);
    QTest::newRow("up left") << QPoint(480, 400) << QPoint(301, 333);
    QTest::newRow("strip") << QPoint(120, 200) << QPoint(370, 200);
}

void tst_CaptureOnScreen::drag()
{
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);

    TestEngine engine;
    engine.result = 0;
    engine.ocrScreen();
    QCOMPARE(overlays().count(), 1);
    QPointer<CaptureScreen> overlay = overlays().constFirst();
    QVERIFY(QTest::qWaitForWindowExposed(overlay));
    QTest::qWait(100);

    // No compositor runs here, so the overlay shows the screen under its
    // veil itself: the window's colour at its opacity over what was there.
    const QPoint inside = from - target->geometry().topLeft();
    const QRgb shown = QGuiApplication::primaryScreen()->grabWindow(0, from.x(), from.y(), 1, 1).toImage().pixel(0, 0);
    const QRgb before = CoordinatePattern::colourAt(inside.x(), inside.y());
    const QRgb veil = overlay->palette().window().color().rgb();
    const qreal opacity = overlay->windowOpacity();
    const auto near = [&](int shown, int before, int veil) {
        return qAbs(shown - (before * (1 - opacity) + veil * opacity)) <= 2;
    };
    QVERIFY2(near(qRed(shown), qRed(before), qRed(veil)) && near(qGreen(shown), qGreen(before), qGreen(veil))
                 && near(qBlue(shown), qBlue(before), qBlue(veil)),
             qPrintable(QString::number(shown, 16)));

    const auto move = [](const QPoint &pos) {
        return xdotool({QStringLiteral("mousemove"), QString::number(pos.x()), QString::number(pos.y())});
    };
    QVERIFY(move(from));
    QVERIFY(xdotool({QStringLiteral("mousedown"), QStringLiteral("1")}));
    QTest::qWait(50);
    QVERIFY(move((from + to) / 2));
    QVERIFY(move(to));
    QTest::qWait(50);
    QVERIFY(xdotool({QStringLiteral("mouseup"), QStringLiteral("1")}));

    QTRY_COMPARE_WITH_TIMEOUT(engine.jobs.count(), 1, 5000);
    // The index of a wrong pixel is row * width + column of the grabbed region.
    const QRect grabbed = CaptureScreen::selectionRect(from, to).translated(-target->geometry().topLeft());
    QCOMPARE(CoordinatePattern::firstMismatch(engine.lastBytes, grabbed), -1);
    QTRY_VERIFY_WITH_TIMEOUT(overlay.isNull(), 5000);
}

int main(int argc, char **argv)
{
    // Without a display the application still starts, and the test skips.
    const bool haveDisplay = !qEnvironmentVariableIsEmpty("DISPLAY");
    if (!haveDisplay)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    tst_CaptureOnScreen test(haveDisplay);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_captureonscreen.moc"
