#include "fixedtextocr.h"

#include <QFile>

QString FixedTextOcr::text()
{
    return QStringLiteral("Fixed text from an example plugin");
}

void FixedTextOcr::setLanguages(const QStringList &languages, const QString &group)
{
    Q_UNUSED(group)
    for (const QString &language : languages) {
        if (language != QLatin1String("English"))
            Q_EMIT error(tr("Fixed text ERR: no language %1").arg(language));
    }
}

QMap<QString, QList<QPair<QString, QString>>> FixedTextOcr::languages()
{
    return { { tr("Latin"), { { QStringLiteral("English"), tr("English") } } } };
}

void FixedTextOcr::ocrScreen()
{
    Q_EMIT error(tr("Fixed text ERR: the screen is not read"));
}

void FixedTextOcr::ocrMemory(const QByteArray &bmpdata)
{
    if (bmpdata.isEmpty())
        Q_EMIT error(tr("Fixed text ERR: no image"));
    else
        Q_EMIT textOcred(text());
}

void FixedTextOcr::ocrFile(const QString &file)
{
    QFile image(file);
    if (!image.open(QIODevice::ReadOnly))
        Q_EMIT error(tr("Fixed text ERR: cannot read %1").arg(file));
    else
        ocrMemory(image.read(1));
}
