// The Access portal backend of the test desktop. xdg-desktop-portal offers
// its Screenshot interface only while some backend offers Access, and the
// wlroots backend does not. This one grants every access request and logs
// it, so the test desktop needs no toolkit of a desktop environment.
#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusObjectPath>
#include <QVariantMap>

#include <cstdio>

class AccessBackend : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.impl.portal.Access")

public:
    explicit AccessBackend(QObject *parent)
        : QDBusAbstractAdaptor(parent)
    {
    }

public Q_SLOTS:
    uint AccessDialog(const QDBusObjectPath &handle, const QString &appId, const QString &parentWindow,
                      const QString &title, const QString &subtitle, const QString &body,
                      const QVariantMap &options, QVariantMap &results)
    {
        Q_UNUSED(parentWindow);
        Q_UNUSED(subtitle);
        Q_UNUSED(body);
        Q_UNUSED(options);
        std::fprintf(stderr, "access: %s asks for \"%s\" (%s): granted\n", qPrintable(appId), qPrintable(title),
                     qPrintable(handle.path()));
        results.clear();
        return 0;
    }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QObject root;
    new AccessBackend(&root);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &root)
        || !bus.registerService(QStringLiteral("org.freedesktop.impl.portal.desktop.zqp"))) {
        std::fprintf(stderr, "access: cannot register on the session bus: %s\n", qPrintable(bus.lastError().message()));
        return 1;
    }
    return app.exec();
}

#include "accessbackend.moc"
