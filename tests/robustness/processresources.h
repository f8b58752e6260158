#ifndef PROCESSRESOURCES_H
#define PROCESSRESOURCES_H

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QSet>

// What the process holds at one moment, read from /proc/self: the witness
// of what loading and unloading leave behind.
struct ProcessResources
{
    qint64 residentKiB = 0;
    QSet<QByteArray> mappedFiles;
    int threads = 0;
    int descriptors = 0;

    static ProcessResources now()
    {
        ProcessResources resources;
        QFile status(QStringLiteral("/proc/self/status"));
        if (status.open(QIODevice::ReadOnly)) {
            for (const QByteArray &line : status.readAll().split('\n')) {
                const QList<QByteArray> fields = line.simplified().split(' ');
                if (fields.value(0) == "VmRSS:")
                    resources.residentKiB = fields.value(1).toLongLong();
                else if (fields.value(0) == "Threads:")
                    resources.threads = fields.value(1).toInt();
            }
        }
        QFile maps(QStringLiteral("/proc/self/maps"));
        if (maps.open(QIODevice::ReadOnly)) {
            for (const QByteArray &line : maps.readAll().split('\n')) {
                const int slash = line.indexOf(" /");
                if (slash > 0)
                    resources.mappedFiles.insert(line.mid(slash + 1));
            }
        }
        resources.descriptors =
                QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size();
        return resources;
    }
};

#endif // PROCESSRESOURCES_H
