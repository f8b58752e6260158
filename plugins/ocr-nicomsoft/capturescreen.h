#ifndef CAPTURESCREEN_H
#define CAPTURESCREEN_H

#include "screenframe.h"

#include <QByteArray>
#include <QPoint>
#include <QRect>
#include <QWidget>

class PortalScreenshot;
class QCursor;
class QScreen;

// Full-screen overlay on which the user drags the region to recognise with
// the left mouse button. On release it hides, grabs the region, hands it out
// as BMP file bytes and closes itself; any other button cancels. It deletes
// itself on close and announces its end with captureFinished().
// In a Wayland session, where the screen cannot be grabbed, it asks the
// screenshot portal for the desktop before it shows, and shows that frame;
// when the portal fails it reports captureFailed() and closes unshown.
class CaptureScreen : public QWidget
{
    Q_OBJECT

public:
    explicit CaptureScreen(QWidget *parent);
    ~CaptureScreen() override;

    // The rectangle spanned by two corners; the farther row and column are
    // left out, and an empty side becomes one pixel thick.
    static QRect selectionRect(const QPoint &from, const QPoint &to);

    void setVisible(bool visible) override;
    // Withdraws a screenshot request still waiting for the portal, and
    // closes the overlay with no report: nothing was captured.
    void cancelScreenshot();

Q_SIGNALS:
    void signalCompleteCature(const QByteArray &bArray);
    void captureFinished();
    void captureFailed(const QString &message, int code);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;

private Q_SLOTS:
    void onLeave();
    void process();

private:
    static QScreen *screenContaining(const QPoint &point);
    static QCursor makeCursor(bool withCross);
    static bool compositorRunning();
    // The one place where the overlay learns what a screen shows: it must
    // be called before the overlay covers that screen.
    void takeFrame(QScreen *screen);

    bool selecting;
    QPoint startPoint;
    QPoint endPoint;
    // The screen as it was before the overlay covered it. The selection is
    // cut from it: right after hide() the screen may still show the overlay
    // until the windows beneath repaint.
    ScreenFrame frame;
    // Without a compositor the window's opacity is ignored and the overlay
    // would hide the screen; it then paints the frame under its tint itself.
    bool paintsFrame = false;
    // The portal's picture of the whole desktop, and the request for it.
    QImage desktop;
    PortalScreenshot *portal = nullptr;
};

#endif // CAPTURESCREEN_H
