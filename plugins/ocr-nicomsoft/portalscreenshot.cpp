#include "portalscreenshot.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QScreen>
#include <QUrl>

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");

bool inFolders(const QString &path, const QStringList &folders)
{
    const QString file = QFileInfo(path).canonicalFilePath();
    for (const QString &folder : folders) {
        const QString canonical = QFileInfo(folder).canonicalFilePath();
        if (!file.isEmpty() && !canonical.isEmpty() && file.startsWith(canonical + QLatin1Char('/')))
            return true;
    }
    return false;
}

} // namespace

PortalScreenshot::PortalScreenshot(const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , bus(bus)
    , temporaryFolders({QDir::tempPath(), QStringLiteral("/tmp"), QStringLiteral("/var/tmp")})
{
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, &PortalScreenshot::onTimeout);
}

PortalScreenshot::~PortalScreenshot()
{
    cancel();
}

bool PortalScreenshot::isWaylandSession()
{
    const QString platform = QGuiApplication::platformName();
    if (platform.startsWith(QLatin1String("wayland")))
        return true;
    // Without a window system there is no screen to ask the portal about.
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return false;
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        || qgetenv("XDG_SESSION_TYPE") == "wayland";
}

ScreenFrame PortalScreenshot::screenFrame(const QImage &desktop, const QRect &screen, const QRect &desktopGeometry)
{
    QRect box = desktopGeometry;
    if (box.isNull()) {
        const QList<QScreen *> screens = QGuiApplication::screens();
        for (const QScreen *each : screens)
            box |= each->geometry();
    }
    if (box.isEmpty() || desktop.isNull())
        return ScreenFrame();
    const qreal ratio = qreal(desktop.width()) / box.width();
    const QPointF offset = QPointF(screen.topLeft() - box.topLeft()) * ratio;
    const QRect device(offset.toPoint(), (QSizeF(screen.size()) * ratio).toSize());
    return ScreenFrame(desktop.copy(device & desktop.rect()), screen, ratio);
}

void PortalScreenshot::setTimeout(int milliseconds)
{
    callTimeout = milliseconds;
}

void PortalScreenshot::setAnswerTimeout(int milliseconds)
{
    answerTimeout = milliseconds;
}

bool PortalScreenshot::isPending() const
{
    return pending;
}

void PortalScreenshot::cancel()
{
    if (!pending)
        return;
    // Tell the portal we no longer wait: a dialog it shows goes away, and
    // its answer would find nobody.
    bus.send(QDBusMessage::createMethodCall(portalService, handle, requestInterface, QStringLiteral("Close")));
    finish();
}

void PortalScreenshot::setTemporaryFolders(const QStringList &folders)
{
    temporaryFolders = folders;
}

void PortalScreenshot::take()
{
    if (pending)
        return;
    if (!bus.isConnected()) {
        Q_EMIT failed(tr("The screenshot portal cannot be reached: there is no session bus."), 0);
        return;
    }
    pending = true;
    static QAtomicInt serial;
    const QString token = QStringLiteral("zqp%1_%2").arg(QCoreApplication::applicationPid()).arg(serial.fetchAndAddRelaxed(1));
    // The portal answers on a request object whose path follows from our
    // unique name and the token. Listening there before the call means a
    // fast answer cannot slip past.
    QString sender = bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    if (!watch(QStringLiteral("%1/request/%2/%3").arg(portalPath, sender, token))) {
        fail(tr("The screenshot portal cannot be reached: %1").arg(bus.lastError().message()), 0);
        return;
    }

    QDBusMessage request = QDBusMessage::createMethodCall(portalService, portalPath,
                                                          QStringLiteral("org.freedesktop.portal.Screenshot"),
                                                          QStringLiteral("Screenshot"));
    QVariantMap options;
    options.insert(QStringLiteral("handle_token"), token);
    options.insert(QStringLiteral("interactive"), false);
    request << QString() << options;
    timer.start(callTimeout);
    call = new QDBusPendingCallWatcher(bus.asyncCall(request, -1), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, &PortalScreenshot::onCallFinished);
}

bool PortalScreenshot::watch(const QString &path)
{
    handle = path;
    return bus.connect(portalService, handle, requestInterface, QStringLiteral("Response"), this,
                       SLOT(onResponse(uint,QVariantMap)));
}

void PortalScreenshot::unwatch()
{
    if (!handle.isEmpty())
        bus.disconnect(portalService, handle, requestInterface, QStringLiteral("Response"), this,
                       SLOT(onResponse(uint,QVariantMap)));
    handle.clear();
}

void PortalScreenshot::onCallFinished(QDBusPendingCallWatcher *watcher)
{
    watcher->deleteLater();
    call = nullptr;
    QDBusPendingReply<QDBusObjectPath> reply = *watcher;
    if (reply.isError()) {
        fail(tr("The screenshot portal is not available: %1").arg(reply.error().message()), 0);
        return;
    }
    // Portals older than the handle token answer on a path of their own.
    const QString returned = reply.value().path();
    if (returned != handle) {
        unwatch();
        if (!watch(returned)) {
            fail(tr("The screenshot portal cannot be reached: %1").arg(bus.lastError().message()), 0);
            return;
        }
    }
    // The portal has taken the request; it may ask the person before it
    // answers, who needs time to read its question.
    timer.start(answerTimeout);
}

void PortalScreenshot::onResponse(uint response, const QVariantMap &results)
{
    if (!pending)
        return;
    switch (response) {
    case 0:
        break;
    case 1:
    case 2:
        // GNOME answers 2 once its dialog was denied, and every time after
        // without asking again: the answer stays in the permission store,
        // under the empty application id for programs outside a sandbox.
        fail(tr("The desktop refused screenshots to this program. To allow them again on GNOME, run: "
                "gdbus call --session --dest org.freedesktop.impl.portal.PermissionStore "
                "--object-path /org/freedesktop/impl/portal/PermissionStore "
                "--method org.freedesktop.impl.portal.PermissionStore.SetPermission "
                "screenshot true screenshot \"\" \"['yes']\"; on other desktops, allow screenshots "
                "in their privacy settings."),
             int(response));
        return;
    default:
        fail(tr("The screenshot portal could not take the screenshot."), int(response));
        return;
    }
    finish();
    load(results.value(QStringLiteral("uri")).toString());
}

void PortalScreenshot::load(const QString &uri)
{
    const QUrl url(uri);
    if (!url.isLocalFile()) {
        Q_EMIT failed(tr("The screenshot portal gave no readable picture: \"%1\".").arg(uri), 0);
        return;
    }
    const QString path = url.toLocalFile();
    QImageReader reader(path);
    const QImage image = reader.read();
    if (inFolders(path, temporaryFolders))
        QFile::remove(path);
    if (image.isNull()) {
        Q_EMIT failed(tr("The screenshot %1 cannot be read: %2").arg(path, reader.errorString()), 0);
        return;
    }
    Q_EMIT taken(image);
}

void PortalScreenshot::onTimeout()
{
    const int waited = timer.interval();
    cancel();
    Q_EMIT failed(tr("The screenshot portal did not answer within %1 s.").arg(waited / 1000.0), 0);
}

void PortalScreenshot::fail(const QString &message, int code)
{
    finish();
    Q_EMIT failed(message, code);
}

void PortalScreenshot::finish()
{
    pending = false;
    timer.stop();
    unwatch();
    // A reply still to come belongs to this request, not to the next one.
    delete call;
    call = nullptr;
}
