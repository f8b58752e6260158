#ifndef FIXEDTEXTOCR_H
#define FIXEDTEXTOCR_H

#include <zqpocrtext.h>

// An OCR plugin for hosts' tests: it recognises nothing and answers every
// readable image with the same text, so a host can check its wiring without
// an OCR engine. Unreadable input is reported through error(), as a real
// engine would report it.
class FixedTextOcr : public ZQPOcrText
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "ocr/Fixed text")
    Q_INTERFACES(ZQPOcrText)

public:
    static QString text();

    QString name() override { return tr("Fixed text"); }
    QString author() override { return QStringLiteral("ZQ plugins examples"); }
    bool initial() override { return true; }

    void setLanguages(const QStringList &languages, const QString &group) override;
    QMap<QString, QList<QPair<QString, QString>>> languages() override;
    void setDataPath(const QString &path) override { m_dataPath = path; }
    QString dataPath() override { return m_dataPath; }
    void ocrScreen() override;
    void ocrMemory(const QByteArray &bmpdata) override;
    void ocrFile(const QString &file) override;
    bool isBusy() override { return false; }
    void stop() override {}

Q_SIGNALS:
    void textOcred(const QString &text);

private:
    QString m_dataPath;
};

#endif // FIXEDTEXTOCR_H
