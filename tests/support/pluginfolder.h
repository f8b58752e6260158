#ifndef PLUGINFOLDER_H
#define PLUGINFOLDER_H

#include <QDir>
#include <QFile>
#include <QStringList>

// What an entry of a test's plugin folder is: a copy of a fixture plugin,
// or one of the files a plugin folder may hold that are no plugin.
enum class EntryKind { Fixture, Text, Empty, Truncated, Directory, Link, Dangling };

const QString adpFixtureFile = QStringLiteral("zqp.adp.fixture.so");

// Makes name in dir. Fixture, Truncated (its first half) and Link (a
// symbolic link to it) use the fixture plugin named fixture.
inline bool makeEntry(const QDir &dir, const QString &name, EntryKind kind, const QString &fixture = adpFixtureFile)
{
    const QString path = dir.filePath(name);
    const QString fixturePath = QStringLiteral(ZQP_FIXTURE_DIR "/") + fixture;
    QFile file(path);
    switch (kind) {
    case EntryKind::Fixture:
        return QFile::copy(fixturePath, path);
    case EntryKind::Text:
        return file.open(QIODevice::WriteOnly) && file.write("IID adp/Not a plugin\n") > 0;
    case EntryKind::Empty:
        return file.open(QIODevice::WriteOnly);
    case EntryKind::Truncated: {
        QFile plugin(fixturePath);
        return plugin.open(QIODevice::ReadOnly) && file.open(QIODevice::WriteOnly)
                && file.write(plugin.read(plugin.size() / 2)) > 0;
    }
    case EntryKind::Directory:
        return dir.mkdir(name);
    case EntryKind::Link:
        return QFile::link(fixturePath, path);
    case EntryKind::Dangling:
        return QFile::link(dir.filePath(QStringLiteral("nowhere")), path);
    }
    return false;
}

// Fills the folder dirPath, for data tables. Each entry is "<name>" (a copy
// of the fixture plugin of that name), "<name>=<fixture>" (a copy of
// <fixture> under another name) or "<name>=<kind>" with kind text, empty,
// truncated, dir, link or dangling.
inline bool fillPluginFolder(const QString &dirPath, const QStringList &entries)
{
    static const QStringList kinds = {QStringLiteral("text"), QStringLiteral("empty"), QStringLiteral("truncated"),
                                      QStringLiteral("dir"), QStringLiteral("link"), QStringLiteral("dangling")};
    const QDir dir(dirPath);
    if (!dir.mkpath(QStringLiteral(".")))
        return false;
    for (const QString &entry : entries) {
        const QString name = entry.section(QLatin1Char('='), 0, 0);
        const QString source = entry.contains(QLatin1Char('=')) ? entry.section(QLatin1Char('='), 1) : name;
        const int kind = kinds.indexOf(source);
        if (!(kind < 0 ? makeEntry(dir, name, EntryKind::Fixture, source)
                       : makeEntry(dir, name, EntryKind(kind + int(EntryKind::Text)))))
            return false;
    }
    return true;
}

#endif // PLUGINFOLDER_H
