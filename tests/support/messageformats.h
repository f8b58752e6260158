#ifndef MESSAGEFORMATS_H
#define MESSAGEFORMATS_H

#include <QSignalSpy>
#include <QString>
#include <QStringList>

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

// The first arguments of the spied signals: the messages, in order.
inline QStringList errorsOf(const QSignalSpy &spy)
{
    QStringList errors;
    for (const QList<QVariant> &arguments : spy)
        errors << arguments.at(0).toString();
    return errors;
}

#endif // MESSAGEFORMATS_H
