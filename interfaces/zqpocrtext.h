#ifndef ZQPOCRTEXT_H
#define ZQPOCRTEXT_H

#include "zqpobject.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QStringList>

// OCR service. Recognised text arrives through the signal
// "textOcred(QString)", failures through "error(QString)".
class ZQPOcrText : public ZQPObject
{
public:
    // What type() answers, by which hosts tell an OCR engine.
    static constexpr int TypeCode = 0x02010028;

    int type() override { return TypeCode; }

    // Switches on languages by engine name; an empty list means English.
    virtual void setLanguages(const QStringList &languages, const QString &group) = 0;
    // Display name of a group -> (engine name, display name) of its languages.
    virtual QMap<QString, QList<QPair<QString, QString>>> languages() = 0;
    virtual void setDataPath(const QString &path) = 0;
    virtual QString dataPath() = 0;
    virtual void ocrScreen() = 0;
    virtual void ocrMemory(const QByteArray &bmpdata) = 0;
    virtual void ocrFile(const QString &file) = 0;
    virtual bool isBusy() = 0;
    virtual void stop() = 0;
};

#define ZQPOcrText_iid "zqp.OcrText"
Q_DECLARE_INTERFACE(ZQPOcrText, ZQPOcrText_iid)

#endif // ZQPOCRTEXT_H
