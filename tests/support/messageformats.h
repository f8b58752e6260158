#ifndef MESSAGEFORMATS_H
#define MESSAGEFORMATS_H

#include <QString>

// The plugins' error lines as each engine's one formatting routine words
// them, written once for every test that expects one.

inline QString ocrError(const QString &message, qint64 code)
{
    return QStringLiteral("OCR Error: %1 Code:#%2").arg(message, QString::number(code, 16));
}

inline QString bassError(const QString &message, int code)
{
    return QStringLiteral("BASS ERR: %1 (error code: %2)").arg(message, QString::number(code));
}

inline QString fmodError(int code, const QString &text)
{
    return QStringLiteral("FMOD ERR: (%1) - %2").arg(QString::number(code), text);
}

#endif // MESSAGEFORMATS_H
