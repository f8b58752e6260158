#ifndef GNOMEDESKTOP_H
#define GNOMEDESKTOP_H

#include "waylanddesktop.h"

#include <QDBusMessage>
#include <QVariant>

// Headless GNOME Shell (scripts/gnome.sh): windows and the screen through
// the shell's own D-Bus interfaces, which its test extension opens, and the
// mouse through mutter's remote desktop interface, which moves the pointer
// only relative to where it is.
class GnomeDesktop : public WaylandDesktop
{
public:
    ~GnomeDesktop() override;

    QString name() const override;
    bool isReady(QString *error) override;
    bool canScale() const override;
    void setScale(int scale) override;
    QList<Window> windows(qint64 pid, const QString &title = QString()) override;
    QImage grab(const QString &file) override;
    void click(const QString &platform, const QPoint &at) override;
    void drag(const QString &platform, const QPoint &from, const QPoint &to) override;
    void close(qint64 pid) override;

    // Whether programs outside a sandbox may take screenshots without being
    // asked: granted, or not decided yet (the desktop then asks the person).
    bool setScreenshotsGranted(bool granted);
    // The centre of a button of the shell's modal dialog on the screen, or
    // a null point while there is none.
    QPoint dialogButton(const QString &label);

private:
    // Runs JavaScript in the shell; the result as JSON, or null on failure.
    QVariant evaluate(const QString &script);
    QDBusMessage callPointer(const QString &method, const QVariantList &arguments);
    void moveTo(const QPoint &at);
    void glideTo(const QPoint &to);
    void button(bool pressed);

    QString session;
    QPoint pointer;
};

#endif // GNOMEDESKTOP_H
