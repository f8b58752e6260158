#include "waylanddesktop.h"

#include "gnomedesktop.h"
#include "swaydesktop.h"

#include <QProcess>

std::unique_ptr<WaylandDesktop> WaylandDesktop::create(QString *error)
{
    const QByteArray desktop = qgetenv("XDG_CURRENT_DESKTOP");
    std::unique_ptr<WaylandDesktop> made;
    if (desktop == "sway")
        made = std::make_unique<SwayDesktop>();
    else if (desktop == "GNOME")
        made = std::make_unique<GnomeDesktop>();
    else
        *error = QStringLiteral("no Wayland test desktop of this kind: \"%1\"").arg(QString::fromUtf8(desktop));
    if (made && !made->isReady(error))
        made.reset();
    return made;
}

QString WaylandDesktop::run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(20000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning("%s %s: %s", qPrintable(program), qPrintable(arguments.join(QLatin1Char(' '))),
                 process.readAllStandardError().constData());
        return QString();
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}
