#ifndef PLUGINFILE_H
#define PLUGINFILE_H

#include <QJsonObject>
#include <QString>

// The major version of the Qt a plugin file was built for, read without
// loading it; 0 when the file shows none. metaData is what QPluginLoader
// read from the file. Qt 6 reads a Qt 5 plugin's metadata and names its Qt
// in it, but Qt 5 cannot read Qt 6's (on ELF platforms a note that Qt 5
// does not look for), so that note is then looked for here.
int pluginQtMajorVersion(const QString &path, const QJsonObject &metaData);

// Whether the file is whole: it holds every part that the system maps when it
// loads the library, and its section headers, which come last. Qt 5 finds no
// metadata in a truncated plugin, but Qt 6 reads its note near the start and
// would load it, and touching a page past the file's end kills the process.
// Files of unknown format count as whole.
bool pluginFileComplete(const QString &path);

#endif // PLUGINFILE_H
