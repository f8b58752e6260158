#ifndef MAPPEDLIBRARIES_H
#define MAPPEDLIBRARIES_H

#include <QFile>
#include <QFileInfo>
#include <QString>

// Whether the process maps the file at path: the one reliable witness of a
// library being unloaded, since return values only say what Qt believes.
inline bool isMapped(const QString &path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (canonical.isEmpty() || !maps.open(QIODevice::ReadOnly))
        return false;
    const QList<QByteArray> lines = maps.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.endsWith(canonical.toLocal8Bit()))
            return true;
    }
    return false;
}

#endif // MAPPEDLIBRARIES_H
