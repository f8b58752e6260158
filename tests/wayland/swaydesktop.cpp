#include "swaydesktop.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <functional>

QString SwayDesktop::name() const
{
    return QStringLiteral("sway");
}

bool SwayDesktop::isReady(QString *error)
{
    if (!run(QStringLiteral("swaymsg"), {QStringLiteral("-t"), QStringLiteral("get_version")}).isEmpty())
        return true;
    *error = QStringLiteral("the compositor does not answer");
    return false;
}

bool SwayDesktop::canScale() const
{
    return true;
}

void SwayDesktop::setScale(int scale)
{
    run(QStringLiteral("swaymsg"), {QStringLiteral("output HEADLESS-1 scale %1").arg(scale)});
}

QList<WaylandDesktop::Window> SwayDesktop::windows(qint64 pid, const QString &title)
{
    QList<Window> found;
    const QJsonDocument tree = QJsonDocument::fromJson(
        run(QStringLiteral("swaymsg"), {QStringLiteral("-t"), QStringLiteral("get_tree"), QStringLiteral("-r")}).toUtf8());
    std::function<void(const QJsonObject &)> walk = [&](const QJsonObject &node) {
        const bool view = node.contains(QStringLiteral("pid")) && node.value(QStringLiteral("visible")).toBool();
        if (view && (title.isEmpty() ? node.value(QStringLiteral("pid")).toInt() == pid
                                     : node.value(QStringLiteral("name")).toString() == title)) {
            // The window's content: its place within its frame, moved to
            // the frame's place on the desktop.
            const QJsonObject r = node.value(QStringLiteral("rect")).toObject();
            const QJsonObject content = node.value(QStringLiteral("window_rect")).toObject();
            Window window;
            window.rect = QRect(r.value(QStringLiteral("x")).toInt() + content.value(QStringLiteral("x")).toInt(),
                                r.value(QStringLiteral("y")).toInt() + content.value(QStringLiteral("y")).toInt(),
                                content.value(QStringLiteral("width")).toInt(), content.value(QStringLiteral("height")).toInt());
            window.fullScreen = node.value(QStringLiteral("fullscreen_mode")).toInt() != 0;
            found << window;
        }
        for (const char *children : {"nodes", "floating_nodes"}) {
            const QJsonArray nodes = node.value(QLatin1String(children)).toArray();
            for (const QJsonValue &child : nodes)
                walk(child.toObject());
        }
    };
    walk(tree.object());
    return found;
}

QImage SwayDesktop::grab(const QString &file)
{
    QFile::remove(file);
    run(QStringLiteral("grim"), {file});
    return QImage(file);
}

void SwayDesktop::click(const QString &platform, const QPoint &at)
{
    if (platform == QLatin1String("xcb")) {
        run(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
                                        QStringLiteral("click"), QStringLiteral("1")});
        return;
    }
    run(QStringLiteral(ZQP_VIRTUALPOINTER),
        {QString::number(layout.width()), QString::number(layout.height()), QStringLiteral("move"),
         QString::number(at.x()), QString::number(at.y()), QStringLiteral("click")});
}

void SwayDesktop::drag(const QString &platform, const QPoint &from, const QPoint &to)
{
    const QString x1 = QString::number(from.x()), y1 = QString::number(from.y());
    const QString x2 = QString::number(to.x()), y2 = QString::number(to.y());
    if (platform == QLatin1String("xcb")) {
        run(QStringLiteral("xdotool"),
            {QStringLiteral("mousemove"), x1, y1, QStringLiteral("sleep"), QStringLiteral("0.2"), QStringLiteral("mousedown"),
             QStringLiteral("1"), QStringLiteral("mousemove"), QString::number((from.x() + to.x()) / 2),
             QString::number((from.y() + to.y()) / 2), QStringLiteral("sleep"), QStringLiteral("0.1"),
             QStringLiteral("mousemove"), x2, y2, QStringLiteral("sleep"), QStringLiteral("0.2"),
             QStringLiteral("mouseup"), QStringLiteral("1")});
        return;
    }
    run(QStringLiteral(ZQP_VIRTUALPOINTER),
        {QString::number(layout.width()), QString::number(layout.height()), QStringLiteral("move"), x1, y1,
         QStringLiteral("wait"), QStringLiteral("200"), QStringLiteral("press"), QStringLiteral("glide"), x2, y2,
         QStringLiteral("wait"), QStringLiteral("200"), QStringLiteral("release")});
}

void SwayDesktop::close(qint64 pid)
{
    run(QStringLiteral("swaymsg"), {QStringLiteral("[pid=%1] kill").arg(pid)});
}
