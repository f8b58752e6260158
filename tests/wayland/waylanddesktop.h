#ifndef WAYLANDDESKTOP_H
#define WAYLANDDESKTOP_H

#include <QImage>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <memory>

// The Wayland test desktop a test runs in, as a person sees and drives it:
// where windows are, what the screen shows, the mouse, closing a window.
// Which one it is, the session's XDG_CURRENT_DESKTOP says.
class WaylandDesktop
{
public:
    struct Window
    {
        QRect rect; // the content, in logical pixels of the desktop
        bool fullScreen = false;
    };

    virtual ~WaylandDesktop() = default;

    // The desktop of this session, or null (with the reason in *error).
    static std::unique_ptr<WaylandDesktop> create(QString *error);

    virtual QString name() const = 0;
    // Whether the desktop answers; if not, *error says what is wrong.
    virtual bool isReady(QString *error) = 0;
    virtual bool canScale() const = 0;
    virtual void setScale(int scale) = 0;
    // The visible windows of one process, or with a given title.
    virtual QList<Window> windows(qint64 pid, const QString &title = QString()) = 0;
    // The whole screen in device pixels; null when it cannot be read.
    virtual QImage grab(const QString &file) = 0;
    // Input to the program of the given platform (wayland or xcb) at points
    // of the layout (logical pixels).
    virtual void click(const QString &platform, const QPoint &at) = 0;
    virtual void drag(const QString &platform, const QPoint &from, const QPoint &to) = 0;
    // Asks the process's windows to close, as their close button does.
    virtual void close(qint64 pid) = 0;

    // The standard output of a tool, or an empty string when it fails.
    static QString run(const QString &program, const QStringList &arguments);

    QSize layout = QSize(1280, 800);
};

#endif // WAYLANDDESKTOP_H
