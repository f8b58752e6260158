#include "capturescreen.h"
#include "coordinatepattern.h"
#include "screenframe.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

Q_DECLARE_METATYPE(Qt::MouseButton)

namespace {

bool hasColour(const QImage &image, QRgb colour)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) == colour)
                return true;
        }
    }
    return false;
}

} // namespace

class tst_CaptureScreen : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void construction();
    void selection_data();
    void selection();
    void scaledSelection_data();
    void scaledSelection();
    void frameCut_data();
    void frameCut();
    void nothingGrabbed_data();
    void nothingGrabbed();
    void painting();

private:
    QWindow *showOverlay();
    // Drags with the left button from one position to another, as the
    // widget receives it.
    void drag(const QPointF &from, const QPointF &to);
    void finish(qint64 minimumDelay);

    CoordinatePattern *background = nullptr;
    QPointer<CaptureScreen> overlay;
    QStringList signalsSeen;
    QByteArray image;
    QElapsedTimer sinceRelease;
    qint64 finishedAfter = -1;
};

void tst_CaptureScreen::initTestCase()
{
    // The grab reads the exposed window beneath the overlay.
    background = new CoordinatePattern;
    background->setGeometry(QGuiApplication::primaryScreen()->geometry());
    background->show();
    QVERIFY(QTest::qWaitForWindowExposed(background));
}

void tst_CaptureScreen::cleanupTestCase()
{
    delete background;
}

void tst_CaptureScreen::init()
{
    signalsSeen.clear();
    image.clear();
    finishedAfter = -1;
    overlay = new CaptureScreen(nullptr);
    connect(overlay, &CaptureScreen::signalCompleteCature, this, [this](const QByteArray &bytes) {
        signalsSeen << QStringLiteral("image");
        image = bytes;
    });
    connect(overlay, &CaptureScreen::captureFinished, this, [this] {
        signalsSeen << QStringLiteral("finished");
        finishedAfter = sinceRelease.elapsed();
    });
}

void tst_CaptureScreen::cleanup()
{
    delete overlay;
}

QWindow *tst_CaptureScreen::showOverlay()
{
    overlay->show();
    if (!QTest::qWaitForWindowExposed(overlay))
        return nullptr;
    return overlay->windowHandle();
}

void tst_CaptureScreen::drag(const QPointF &from, const QPointF &to)
{
    // Sent to the widget: the window's own mouse events carry whole pixels only.
    const auto send = [this](QEvent::Type type, const QPointF &pos, Qt::MouseButtons buttons) {
        QMouseEvent event(type, pos, QPointF(overlay->mapToGlobal(pos.toPoint())), Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(overlay, &event);
    };
    send(QEvent::MouseMove, QPointF(1, 1), Qt::NoButton);
    send(QEvent::MouseButtonPress, from, Qt::LeftButton);
    send(QEvent::MouseMove, (from + to) / 2, Qt::LeftButton);
    send(QEvent::MouseMove, to, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, to, Qt::NoButton);
    sinceRelease.start();
}

// Waits for the overlay to close itself, not much earlier than minimumDelay
// after the release: coarse timers may fire up to 5 % early.
void tst_CaptureScreen::finish(qint64 minimumDelay)
{
    QTRY_VERIFY_WITH_TIMEOUT(overlay.isNull(), 5000);
    QVERIFY2(finishedAfter >= minimumDelay * 9 / 10, qPrintable(QString::number(finishedAfter)));
}

void tst_CaptureScreen::construction()
{
    const Qt::WindowFlags flags = Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;
    QCOMPARE(overlay->windowFlags(), flags);
    QVERIFY(overlay->testAttribute(Qt::WA_DeleteOnClose));
    QVERIFY(overlay->hasMouseTracking());
    QCOMPARE(overlay->geometry(), QGuiApplication::primaryScreen()->geometry());
    QVERIFY(qAbs(overlay->windowOpacity() - 0.1) < 0.01);
    QVERIFY(!overlay->isVisible());

    const QCursor cursor = overlay->cursor();
    QCOMPARE(cursor.pixmap().size(), QSize(32, 50));
    // The hot spot is the pixmap's centre; the arrow's tip is next to it.
    QCOMPARE(cursor.hotSpot(), QPoint(16, 25));
    const QImage arrow = cursor.pixmap().toImage();
    QCOMPARE(qAlpha(arrow.pixel(17, 26)), 255);
    QCOMPARE(qAlpha(arrow.pixel(16, 24)), 0);
    QCOMPARE(qAlpha(arrow.pixel(0, 0)), 0);
}

void tst_CaptureScreen::selection_data()
{
    QTest::addColumn<QPointF>("from");
    QTest::addColumn<QPointF>("to");
    QTest::addColumn<QRect>("expected");

    QTest::newRow("down right") << QPointF(10, 10) << QPointF(20, 30) << QRect(10, 10, 10, 20);
    QTest::newRow("up left") << QPointF(20, 30) << QPointF(10, 10) << QRect(10, 10, 10, 20);
    QTest::newRow("up right") << QPointF(40, 90) << QPointF(75, 52) << QRect(40, 52, 35, 38);
    QTest::newRow("down left") << QPointF(300, 200) << QPointF(257, 261) << QRect(257, 200, 43, 61);
    QTest::newRow("horizontal strip") << QPointF(100, 50) << QPointF(160, 50) << QRect(100, 50, 60, 1);
    QTest::newRow("horizontal strip leftward") << QPointF(160, 50) << QPointF(100, 50) << QRect(100, 50, 60, 1);
    QTest::newRow("vertical strip") << QPointF(70, 300) << QPointF(70, 260) << QRect(70, 260, 1, 40);
    QTest::newRow("one pixel diagonal") << QPointF(5, 6) << QPointF(6, 7) << QRect(5, 6, 1, 1);
    QTest::newRow("beyond 255") << QPointF(700, 500) << QPointF(520, 300) << QRect(520, 300, 180, 200);
    QTest::newRow("halves round up") << QPointF(10.5, 20.5) << QPointF(30.5, 40.5) << QRect(11, 21, 20, 20);
    QTest::newRow("below half rounds down") << QPointF(10.49, 20.2) << QPointF(30.7, 40.49) << QRect(10, 20, 21, 20);
    QTest::newRow("reversed fractions") << QPointF(30.5, 40.4) << QPointF(10.5, 20.6) << QRect(11, 21, 20, 19);
}

void tst_CaptureScreen::selection()
{
    QFETCH(QPointF, from);
    QFETCH(QPointF, to);
    QFETCH(QRect, expected);

    QVERIFY(showOverlay());
    drag(from, to);
    QVERIFY(!overlay->isVisible());

    finish(500);
    QCOMPARE(signalsSeen, QStringList({QStringLiteral("image"), QStringLiteral("finished")}));
    QCOMPARE(CoordinatePattern::firstMismatch(image, expected), -1);
}

// Runs on the X display, once per scale (QT_SCALE_FACTOR,
// QT_SCREEN_SCALE_FACTORS; see the CMakeLists). Coordinates below 0 count
// from the screen's far edge, -1 being the edge itself.
void tst_CaptureScreen::scaledSelection_data()
{
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");

    QTest::newRow("odd size") << QPoint(11, 13) << QPoint(48, 36);
    QTest::newRow("odd origin upward") << QPoint(97, 81) << QPoint(31, 7);
    QTest::newRow("horizontal strip") << QPoint(21, 7) << QPoint(60, 7);
    QTest::newRow("vertical strip") << QPoint(33, 40) << QPoint(33, 5);
    QTest::newRow("single pixel") << QPoint(3, 3) << QPoint(4, 4);
    QTest::newRow("right edge") << QPoint(-58, 40) << QPoint(-1, 71);
    QTest::newRow("bottom edge") << QPoint(10, -34) << QPoint(45, -1);
    QTest::newRow("bottom right corner") << QPoint(-1, -1) << QPoint(-27, -20);
    QTest::newRow("whole screen") << QPoint(0, 0) << QPoint(-1, -1);
}

void tst_CaptureScreen::scaledSelection()
{
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("runs on the X display only (see the CMakeLists)");

    QScreen *screen = QGuiApplication::primaryScreen();
    const QSize size = screen->geometry().size();
    const auto place = [size](const QPoint &p) {
        return QPoint(p.x() < 0 ? size.width() + 1 + p.x() : p.x(), p.y() < 0 ? size.height() + 1 + p.y() : p.y());
    };
    QVERIFY(showOverlay());
    drag(place(from), place(to));
    finish(500);
    QCOMPARE(signalsSeen, QStringList({QStringLiteral("image"), QStringLiteral("finished")}));

    // Every device pixel under the selection, as Qt rounds a grab, and
    // nothing beyond the screen: rounding may take a selection that
    // touches the far edge one pixel past it.
    const qreal ratio = screen->devicePixelRatio();
    const QRect selection = CaptureScreen::selectionRect(place(from), place(to));
    const QRect screenPixels(QPoint(0, 0), screen->grabWindow(0).size());
    const QRect device = QRect(selection.topLeft() * ratio, selection.size() * ratio) & screenPixels;
    QCOMPARE(CoordinatePattern::firstMismatch(image, device), -1);

    // The same as Qt's own grab of the region, where Qt gives one within the
    // screen. The primary screen starts at the origin, so its coordinates
    // are the desktop's.
    if (device.size() == selection.size() * ratio) {
        QImage grabbed = screen->grabWindow(0, selection.x(), selection.y(),
                                            selection.width(), selection.height()).toImage();
        grabbed.setDevicePixelRatio(1);
        QCOMPARE(QImage::fromData(image, "BMP").convertToFormat(QImage::Format_RGB32),
                 grabbed.convertToFormat(QImage::Format_RGB32));
    }
}

// Screens anywhere on the desktop, also left of or above the primary one,
// at any factor; worked out by hand.
void tst_CaptureScreen::frameCut_data()
{
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QSize>("pixels");
    QTest::addColumn<qreal>("ratio");
    QTest::addColumn<QRect>("region");
    QTest::addColumn<QRect>("expected");

    QTest::newRow("at the origin") << QRect(0, 0, 100, 80) << QSize(100, 80) << 1.0 << QRect(10, 20, 30, 5)
                                   << QRect(10, 20, 30, 5);
    QTest::newRow("right, at 2") << QRect(1280, 0, 512, 384) << QSize(1024, 768) << 2.0 << QRect(1290, 7, 13, 9)
                                 << QRect(20, 14, 26, 18);
    QTest::newRow("left, at 2") << QRect(-512, 0, 512, 384) << QSize(1024, 768) << 2.0 << QRect(-500, 10, 21, 1)
                                << QRect(24, 20, 42, 2);
    QTest::newRow("above, at 1.5") << QRect(100, -400, 533, 400) << QSize(800, 600) << 1.5 << QRect(101, -399, 3, 3)
                                   << QRect(2, 2, 5, 5);
    QTest::newRow("at 1.25") << QRect(0, 0, 640, 480) << QSize(800, 600) << 1.25 << QRect(13, 7, 9, 3)
                             << QRect(16, 9, 11, 4);
    QTest::newRow("rounded past the edge") << QRect(0, 0, 683, 512) << QSize(1024, 768) << 1.5
                                           << QRect(600, 500, 83, 12) << QRect(900, 750, 124, 18);
    QTest::newRow("off the screen") << QRect(0, 0, 100, 100) << QSize(100, 100) << 1.0 << QRect(-20, 30, 10, 10)
                                    << QRect();
}

void tst_CaptureScreen::frameCut()
{
    QFETCH(QRect, screen);
    QFETCH(QSize, pixels);
    QFETCH(qreal, ratio);
    QFETCH(QRect, region);
    QFETCH(QRect, expected);

    QImage image(pixels, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, CoordinatePattern::colourAt(x, y));
    }
    const ScreenFrame frame(image, screen, ratio);
    QCOMPARE(frame.deviceRect(region), expected);
    const QImage cut = frame.cut(region);
    if (expected.isEmpty()) {
        QVERIFY(cut.isNull());
    } else {
        QCOMPARE(cut.size(), expected.size());
        QCOMPARE(cut.pixel(0, 0), CoordinatePattern::colourAt(expected.x(), expected.y()));
        QCOMPARE(cut.pixel(cut.width() - 1, cut.height() - 1), CoordinatePattern::colourAt(expected.right(), expected.bottom()));
    }
}

void tst_CaptureScreen::nothingGrabbed_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<bool>("dragging");
    QTest::addColumn<int>("delay"); // from the release or cancelling press to the close

    QTest::newRow("click without movement") << Qt::LeftButton << false << 500;
    QTest::newRow("right") << Qt::RightButton << false << 1000;
    QTest::newRow("middle") << Qt::MiddleButton << false << 1000;
    QTest::newRow("right during drag") << Qt::RightButton << true << 1000;
    QTest::newRow("middle during drag") << Qt::MiddleButton << true << 1000;
}

void tst_CaptureScreen::nothingGrabbed()
{
    QFETCH(Qt::MouseButton, button);
    QFETCH(bool, dragging);
    QFETCH(int, delay);

    QWindow *window = showOverlay();
    QVERIFY(window);
    if (dragging) {
        QTest::mousePress(window, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
        QTest::mouseMove(window, QPoint(80, 90));
    }
    QTest::mousePress(window, button, Qt::NoModifier, QPoint(80, 90));
    if (button == Qt::LeftButton)
        QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, QPoint(80, 90));
    sinceRelease.start();
    QVERIFY(!overlay->isVisible());

    // Whatever still reaches the hidden overlay must not start a grab.
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(120, 130), QPointF(overlay->mapToGlobal(QPoint(120, 130))),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(overlay, &release);

    finish(delay);
    QCOMPARE(signalsSeen, QStringList(QStringLiteral("finished")));
}

// The selection is drawn, and the pointer shows a cross, only while selecting.
void tst_CaptureScreen::painting()
{
    QWindow *window = showOverlay();
    QVERIFY(window);
    const QRgb red = qRgb(255, 0, 0);
    const QRgb green = qRgb(0, 255, 0);
    QVERIFY(!hasColour(overlay->cursor().pixmap().toImage(), red));

    for (const QPoint &pos : {QPoint(5, 5), QPoint(100, 100), QPoint(200, 150)})
        QTest::mouseMove(window, pos);
    const QImage idle = overlay->grab().toImage();
    QVERIFY(!hasColour(idle, red));
    QVERIFY(!hasColour(idle, green));

    QTest::mousePress(window, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
    const QImage cross = overlay->cursor().pixmap().toImage();
    QCOMPARE(cross.size(), QSize(32, 50));
    QVERIFY(hasColour(cross, red));
    QTest::mouseMove(window, QPoint(40, 60));
    const QImage selecting = overlay->grab().toImage();
    // Filled with red, the outer half of the green outline left standing.
    QCOMPARE(selecting.pixel(40, 60), red);
    QCOMPARE(selecting.pixel(99, 99), red);
    QCOMPARE(selecting.pixel(70, 80), red);
    QCOMPARE(selecting.pixel(39, 80), green);
    QCOMPARE(selecting.pixel(70, 59), green);
    QVERIFY(selecting.pixel(150, 150) != red);

    QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, QPoint(40, 60));
    sinceRelease.start();
    QCOMPARE(overlay->cursor().shape(), Qt::ArrowCursor);
    finish(500);
}

QTEST_MAIN(tst_CaptureScreen)
#include "tst_capturescreen.moc"
