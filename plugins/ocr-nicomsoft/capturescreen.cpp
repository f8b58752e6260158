#include "capturescreen.h"

#include "portalscreenshot.h"
#include "x11compositor.h"

#include <QBuffer>
#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>
#include <QPixmap>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// Halves round upward, also for negative coordinates.
QPoint eventPosition(const QMouseEvent *event)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    const QPointF pos = event->position();
#else
    const QPointF pos = event->localPos();
#endif
    return QPoint(int(std::floor(pos.x() + 0.5)), int(std::floor(pos.y() + 0.5)));
}

} // namespace

CaptureScreen::CaptureScreen(QWidget *parent)
    : QWidget(parent)
    , selecting(false)
{
    const QRect screen = screenContaining(QCursor::pos())->geometry();
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setWindowState(Qt::WindowFullScreen | Qt::WindowActive);
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_MouseTracking);
    setGeometry(screen);
    setWindowOpacity(0.1);
    setCursor(makeCursor(false));
}

CaptureScreen::~CaptureScreen()
{
    unsetCursor();
    Q_EMIT captureFinished();
}

QRect CaptureScreen::selectionRect(const QPoint &from, const QPoint &to)
{
    return QRect(std::min(from.x(), to.x()), std::min(from.y(), to.y()),
                 std::max(1, std::abs(from.x() - to.x())),
                 std::max(1, std::abs(from.y() - to.y())));
}

void CaptureScreen::setVisible(bool visible)
{
    if (!visible || !desktop.isNull() || !PortalScreenshot::isWaylandSession()) {
        QWidget::setVisible(visible);
        return;
    }
    if (portal)
        return;
    // The event loop runs on while the portal works; the overlay shows once
    // the picture has come.
    portal = new PortalScreenshot(QDBusConnection::sessionBus(), this);
    connect(portal, &PortalScreenshot::taken, this, [this](const QImage &image) {
        desktop = image;
        show();
    });
    connect(portal, &PortalScreenshot::failed, this, [this](const QString &message, int code) {
        Q_EMIT captureFailed(message, code);
        close();
    });
    portal->take();
}

void CaptureScreen::cancelScreenshot()
{
    if (!portal || !portal->isPending())
        return;
    portal->cancel();
    close();
}

QScreen *CaptureScreen::screenContaining(const QPoint &point)
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    for (QScreen *screen : screens) {
        if (screen->geometry().contains(point))
            return screen;
    }
    return QGuiApplication::primaryScreen();
}

QCursor CaptureScreen::makeCursor(bool withCross)
{
    QPixmap pixmap(QStringLiteral(":/zqocr/cursor.png"));
    const int w = pixmap.width();
    const int h = pixmap.height();
    if (withCross) {
        QPainter painter(&pixmap);
        painter.setPen(QPen(QBrush(Qt::red), 1.0, Qt::DashLine, Qt::SquareCap, Qt::BevelJoin));
        const int cx = w / 2;
        const int cy = h / 2;
        const int m = std::min(cx, cy);
        painter.drawLine(cx, cy - 1, cx, cy - m);
        painter.drawLine(cx, cy + 1, cx, cy + m);
        painter.drawLine(cx - 1, cy, cx - m, cy);
        painter.drawLine(cx + 1, cy, cx + m, cy);
    }
    const QPixmap scaled = pixmap.scaled(qRound(w * 1.1), qRound(h * 1.1),
                                         Qt::IgnoreAspectRatio, Qt::FastTransformation);
    // A negative hot spot means the pixmap's centre.
    return QCursor(scaled, -1, -1);
}

void CaptureScreen::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        // A cancelled overlay must not grab even if a left release still
        // reaches it.
        selecting = false;
        event->ignore();
        hide();
        QTimer::singleShot(1000, this, SLOT(close()));
        return;
    }
    setCursor(makeCursor(true));
    startPoint = endPoint = eventPosition(event);
    selecting = true;
    update();
    QWidget::mousePressEvent(event);
}

void CaptureScreen::mouseMoveEvent(QMouseEvent *event)
{
    if (selecting) {
        endPoint = eventPosition(event);
        update();
    }
    QWidget::mouseMoveEvent(event);
}

void CaptureScreen::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !selecting) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    endPoint = eventPosition(event);
    selecting = false;
    event->ignore();
    unsetCursor();
    hide();
    if (endPoint != startPoint)
        QTimer::singleShot(0, this, SLOT(process()));
    QTimer::singleShot(500, this, SLOT(close()));
}

void CaptureScreen::leaveEvent(QEvent *event)
{
    QTimer::singleShot(0, this, SLOT(onLeave()));
    QWidget::leaveEvent(event);
}

void CaptureScreen::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (paintsFrame) {
        // What a compositor would show: the screen, and over it the window
        // at its opacity.
        painter.drawImage(0, 0, frame.image());
        painter.setOpacity(windowOpacity());
        painter.fillRect(rect(), palette().window());
    }
    if (!selecting)
        return;
    painter.setPen(QPen(QBrush(Qt::green), 2.0, Qt::SolidLine, Qt::FlatCap, Qt::BevelJoin));
    const QRect rect = selectionRect(startPoint, endPoint);
    painter.drawRect(rect);
    painter.fillRect(rect, Qt::red);
}

void CaptureScreen::showEvent(QShowEvent *event)
{
    // Sent before the window maps; a spontaneous one comes from the window
    // system for a window that is already on the screen.
    if (!event->spontaneous())
        takeFrame(screenContaining(geometry().topLeft()));
    QWidget::showEvent(event);
}

bool CaptureScreen::compositorRunning()
{
    // Other desktops, Windows and macOS among them, always composite.
    return X11Compositor::running().value_or(true);
}

void CaptureScreen::takeFrame(QScreen *screen)
{
    if (desktop.isNull()) {
        frame = ScreenFrame::grab(screen);
        paintsFrame = !compositorRunning();
    } else {
        // The portal's frame is frozen: the overlay shows it, and the
        // desktop beneath it no longer matters.
        frame = PortalScreenshot::screenFrame(desktop, screen->geometry());
        paintsFrame = true;
    }
    update();
}

void CaptureScreen::onLeave()
{
    QScreen *screen = screenContaining(QCursor::pos());
    if (screen->geometry() != geometry()) {
        // The new screen is not covered yet.
        takeFrame(screen);
        setGeometry(screen->geometry());
        setWindowState(Qt::WindowFullScreen | Qt::WindowActive);
    }
}

void CaptureScreen::process()
{
    const QPoint from = mapToGlobal(startPoint);
    const QPoint to = mapToGlobal(endPoint);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    // Cut from the frame taken before the overlay showed, in the screen's
    // device pixels, so that the engine gets the text at its real
    // resolution; parts off the overlay's screen are left out.
    frame.cut(selectionRect(from, to)).save(&buffer, "BMP", -1);
    buffer.close();
    Q_EMIT signalCompleteCature(bytes);
}
