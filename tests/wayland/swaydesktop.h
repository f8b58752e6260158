#ifndef SWAYDESKTOP_H
#define SWAYDESKTOP_H

#include "waylanddesktop.h"

// Headless sway (scripts/wayland.sh): windows through swaymsg, the screen
// through grim, the mouse through a virtual pointer for native clients and
// XTEST for Xwayland's.
class SwayDesktop : public WaylandDesktop
{
public:
    QString name() const override;
    bool isReady(QString *error) override;
    bool canScale() const override;
    void setScale(int scale) override;
    QList<Window> windows(qint64 pid, const QString &title = QString()) override;
    QImage grab(const QString &file) override;
    void click(const QString &platform, const QPoint &at) override;
    void drag(const QString &platform, const QPoint &from, const QPoint &to) override;
    void close(qint64 pid) override;
};

#endif // SWAYDESKTOP_H
