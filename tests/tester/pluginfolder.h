#ifndef PLUGINFOLDER_H
#define PLUGINFOLDER_H

#include <QDir>
#include <QFile>
#include <QStringList>

// Fills the folder dirPath with plugin files. Each entry is "<name>" (a copy
// of the fixture plugin of that name), "<name>=<fixture>" (a copy of
// <fixture> under another name) or "<name>=text" (a file that is no library).
inline bool fillPluginFolder(const QString &dirPath, const QStringList &entries)
{
    const QDir dir(dirPath);
    if (!dir.mkpath(QStringLiteral(".")))
        return false;
    for (const QString &entry : entries) {
        const QString name = entry.section(QLatin1Char('='), 0, 0);
        const QString source = entry.contains(QLatin1Char('=')) ? entry.section(QLatin1Char('='), 1) : name;
        if (source == QLatin1String("text")) {
            QFile file(dir.filePath(name));
            if (!file.open(QIODevice::WriteOnly) || file.write("no library\n") < 0)
                return false;
        } else if (!QFile::copy(QStringLiteral(ZQP_FIXTURE_DIR "/") + source, dir.filePath(name))) {
            return false;
        }
    }
    return true;
}

#endif // PLUGINFOLDER_H
