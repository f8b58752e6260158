#ifndef LANGUAGEDATA_H
#define LANGUAGEDATA_H

#include <QDir>
#include <QFile>
#include <QStringList>

// Makes folder a language data folder that holds the installed data of the
// given languages (Tesseract's codes) and nothing else: a test that takes a
// language's data to be missing then passes whatever the machine has.
inline bool layOutLanguageData(const QString &folder, const QStringList &codes)
{
    if (!QDir().mkpath(folder))
        return false;
    for (const QString &code : codes) {
        const QString name = code + QStringLiteral(".traineddata");
        const QString link = folder + QLatin1Char('/') + name;
        if (!QFile::exists(link) && !QFile::link(QStringLiteral(ZQP_TESSDATA_DIR "/") + name, link))
            return false;
    }
    return true;
}

#endif // LANGUAGEDATA_H
