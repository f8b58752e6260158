#ifndef PORTALSCREENSHOT_H
#define PORTALSCREENSHOT_H

#include "screenframe.h"

#include <QDBusConnection>
#include <QImage>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>

class QDBusPendingCallWatcher;

// Takes a picture of the whole desktop through the desktop portal's
// Screenshot interface, the one way to see the screen in a Wayland session.
// take() returns at once; exactly one of taken() and failed() follows, on
// the event loop unless the bus cannot be reached at all: with the image
// (all outputs, in device pixels) or with a message a user can act on and a
// code (the portal's response, else 0). cancel(), or destroying the object,
// withdraws a pending request instead, and neither follows.
class PortalScreenshot : public QObject
{
    Q_OBJECT

public:
    explicit PortalScreenshot(const QDBusConnection &bus = QDBusConnection::sessionBus(),
                              QObject *parent = nullptr);
    ~PortalScreenshot() override;

    // Whether screens can only be seen through the portal: a Wayland
    // session, also for an X11 client under Xwayland.
    static bool isWaylandSession();
    // One screen's part of a picture of all screens. The picture spans the
    // bounding box of the screens' device-independent geometries (by
    // default those of all screens), scaled evenly to device pixels.
    static ScreenFrame screenFrame(const QImage &desktop, const QRect &screen,
                                   const QRect &desktopGeometry = QRect());

    // How long the portal may take to accept the request (5 s), and then
    // to answer it: the desktop may first ask the person (1 min; GNOME
    // withdraws its question unanswered after about 25 s).
    void setTimeout(int milliseconds);
    void setAnswerTimeout(int milliseconds);
    // Files under the temporary folders are nobody's to keep: the portal's
    // picture is removed once read when it lies there, and nowhere else.
    // By default the system's temporary folders.
    void setTemporaryFolders(const QStringList &folders);
    void take();
    bool isPending() const;
    void cancel();

Q_SIGNALS:
    void taken(const QImage &image);
    void failed(const QString &message, int code);

private Q_SLOTS:
    void onResponse(uint response, const QVariantMap &results);
    void onCallFinished(QDBusPendingCallWatcher *watcher);
    void onTimeout();

private:
    bool watch(const QString &handle);
    void unwatch();
    void fail(const QString &message, int code);
    void load(const QString &uri);
    void finish();

    QDBusConnection bus;
    QTimer timer;
    int callTimeout = 5000;
    int answerTimeout = 60000;
    QStringList temporaryFolders;
    QString handle;
    QDBusPendingCallWatcher *call = nullptr;
    bool pending = false;
};

#endif // PORTALSCREENSHOT_H
