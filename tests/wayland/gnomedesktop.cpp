#include "gnomedesktop.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

namespace {

const QString permissionStore = QStringLiteral("org.freedesktop.impl.portal.PermissionStore");
const QString remoteDesktop = QStringLiteral("org.gnome.Mutter.RemoteDesktop");

QDBusMessage callOn(const QString &service, const QString &path, const QString &interface, const QString &method,
                    const QVariantList &arguments = QVariantList())
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    const QDBusMessage reply = QDBusConnection::sessionBus().call(message, QDBus::Block, 10000);
    if (reply.type() == QDBusMessage::ErrorMessage)
        qWarning("%s.%s: %s", qPrintable(interface), qPrintable(method), qPrintable(reply.errorMessage()));
    return reply;
}

} // namespace

GnomeDesktop::~GnomeDesktop()
{
    if (!session.isEmpty())
        callPointer(QStringLiteral("Stop"), {});
}

QString GnomeDesktop::name() const
{
    return QStringLiteral("GNOME");
}

bool GnomeDesktop::isReady(QString *error)
{
    if (evaluate(QStringLiteral("global.context.unsafe_mode")).toBool())
        return true;
    *error = QStringLiteral("GNOME Shell does not answer, or runs without the test extension");
    return false;
}

bool GnomeDesktop::canScale() const
{
    return false;
}

void GnomeDesktop::setScale(int scale)
{
    Q_UNUSED(scale);
}

QVariant GnomeDesktop::evaluate(const QString &script)
{
    const QDBusMessage reply = callOn(QStringLiteral("org.gnome.Shell"), QStringLiteral("/org/gnome/Shell"),
                                      QStringLiteral("org.gnome.Shell"), QStringLiteral("Eval"), {script});
    if (reply.arguments().size() != 2 || !reply.arguments().at(0).toBool())
        return QVariant();
    // The result comes as JSON text; a bare value is wrapped to be parsed.
    const QByteArray json = "[" + reply.arguments().at(1).toString().toUtf8() + "]";
    const QJsonArray parsed = QJsonDocument::fromJson(json).array();
    return parsed.isEmpty() ? QVariant() : parsed.first().toVariant();
}

QList<WaylandDesktop::Window> GnomeDesktop::windows(qint64 pid, const QString &title)
{
    // The client rectangle: without the title bar the shell draws around
    // an X11 window.
    const QVariantList all = evaluate(QStringLiteral(
        "global.get_window_actors().filter(a => a.visible).map(a => a.meta_window).map(w => {"
        " const r = w.frame_rect_to_client_rect(w.get_frame_rect());"
        " return {pid: w.get_pid(), title: w.get_title(), x: r.x, y: r.y, width: r.width, height: r.height,"
        " fullScreen: w.is_fullscreen()}; })")).toList();
    QList<Window> found;
    for (const QVariant &each : all) {
        const QVariantMap w = each.toMap();
        if (title.isEmpty() ? w.value(QStringLiteral("pid")).toLongLong() != pid
                            : w.value(QStringLiteral("title")).toString() != title)
            continue;
        Window window;
        window.rect = QRect(w.value(QStringLiteral("x")).toInt(), w.value(QStringLiteral("y")).toInt(),
                            w.value(QStringLiteral("width")).toInt(), w.value(QStringLiteral("height")).toInt());
        window.fullScreen = w.value(QStringLiteral("fullScreen")).toBool();
        found << window;
    }
    return found;
}

QImage GnomeDesktop::grab(const QString &file)
{
    QFile::remove(file);
    callOn(QStringLiteral("org.gnome.Shell.Screenshot"), QStringLiteral("/org/gnome/Shell/Screenshot"),
           QStringLiteral("org.gnome.Shell.Screenshot"), QStringLiteral("Screenshot"), {false, false, file});
    return QImage(file);
}

QDBusMessage GnomeDesktop::callPointer(const QString &method, const QVariantList &arguments)
{
    if (session.isEmpty()) {
        const QDBusMessage created = callOn(remoteDesktop, QStringLiteral("/org/gnome/Mutter/RemoteDesktop"), remoteDesktop,
                                            QStringLiteral("CreateSession"));
        if (created.arguments().isEmpty())
            return created;
        session = created.arguments().first().value<QDBusObjectPath>().path();
        callOn(remoteDesktop, session, remoteDesktop + QStringLiteral(".Session"), QStringLiteral("Start"));
    }
    return callOn(remoteDesktop, session, remoteDesktop + QStringLiteral(".Session"), method, arguments);
}

// The pointer goes into the top-right corner first, where the screen's
// edges stop it, and rightwards before upwards: the top-left corner is the
// shell's hot corner, where pushing upwards opens the overview, and the
// pointer starts near it.
void GnomeDesktop::moveTo(const QPoint &at)
{
    callPointer(QStringLiteral("NotifyPointerMotionRelative"), {5000.0, 0.0});
    callPointer(QStringLiteral("NotifyPointerMotionRelative"), {0.0, -5000.0});
    QTest::qWait(30);
    callPointer(QStringLiteral("NotifyPointerMotionRelative"), {double(at.x() - (layout.width() - 1)), double(at.y())});
    pointer = at;
    QTest::qWait(30);
}

void GnomeDesktop::glideTo(const QPoint &to)
{
    const int steps = 20;
    const QPointF step = QPointF(to - pointer) / steps;
    for (int i = 0; i < steps; ++i) {
        callPointer(QStringLiteral("NotifyPointerMotionRelative"), {step.x(), step.y()});
        QTest::qWait(20);
    }
    pointer = to;
}

void GnomeDesktop::button(bool pressed)
{
    const int left = 0x110;
    callPointer(QStringLiteral("NotifyPointerButton"), {left, pressed});
    QTest::qWait(50);
}

// Both kinds of client get their input from the compositor.
void GnomeDesktop::click(const QString &platform, const QPoint &at)
{
    Q_UNUSED(platform);
    moveTo(at);
    button(true);
    button(false);
}

void GnomeDesktop::drag(const QString &platform, const QPoint &from, const QPoint &to)
{
    Q_UNUSED(platform);
    moveTo(from);
    QTest::qWait(200);
    button(true);
    glideTo(to);
    QTest::qWait(200);
    button(false);
}

void GnomeDesktop::close(qint64 pid)
{
    evaluate(QStringLiteral("global.get_window_actors().map(a => a.meta_window).filter(w => w.get_pid() == %1)"
                            ".forEach(w => w.delete(global.get_current_time()))")
                 .arg(pid));
}

bool GnomeDesktop::setScreenshotsGranted(bool granted)
{
    const QString path = QStringLiteral("/org/freedesktop/impl/portal/PermissionStore");
    const QString screenshot = QStringLiteral("screenshot");
    if (granted) {
        return callOn(permissionStore, path, permissionStore, QStringLiteral("SetPermission"),
                      {screenshot, true, screenshot, QString(), QStringList{QStringLiteral("yes")}})
                   .type() == QDBusMessage::ReplyMessage;
    }
    // No entry is what a new user has.
    callOn(permissionStore, path, permissionStore, QStringLiteral("Delete"), {screenshot, screenshot});
    return true;
}

QPoint GnomeDesktop::dialogButton(const QString &label)
{
    const QVariantList centre = evaluate(QStringLiteral(
        "(function find(a) {"
        " if (a instanceof imports.gi.St.Button && a.mapped && a.label === '%1') {"
        "  const [x, y] = a.get_transformed_position(); const [w, h] = a.get_transformed_size();"
        "  return [x + w / 2, y + h / 2]; }"
        " for (const c of a.get_children()) { const r = find(c); if (r) return r; }"
        " return null; })(global.stage)").arg(label)).toList();
    return centre.size() == 2 ? QPoint(qRound(centre.at(0).toDouble()), qRound(centre.at(1).toDouble())) : QPoint();
}
