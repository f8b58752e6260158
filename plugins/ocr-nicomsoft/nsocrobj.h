#ifndef NSOCROBJ_H
#define NSOCROBJ_H

#include "zqocrwords.h"

#include <memory>

struct NsEngineContext;

// OCR through the engine library at dataPath(), loaded by initial().
// Images up to 300 x 60 pixels are recognised within the request; larger
// ones on the engine's worker thread, polled every 100 ms.
class NSOcrObj : public ZQOcrWords
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "ocr/Nicomsoft")
    Q_INTERFACES(ZQPOcrText)

public:
    NSOcrObj();
    ~NSOcrObj() override;

    QString name() override;
    QString author() override;
    bool initial() override;

    void setLanguages(const QStringList &languages, const QString &group) override;
    QMap<QString, QList<QPair<QString, QString>>> languages() override;

    // Cancels the running job and returns once it has ended, or after at
    // most about half a second. Runs no event loop.
    void stop() override;

protected:
    int ocrMemoryJob(const QByteArray &bmpdata) override;
    int ocrFileJob(const QString &file) override;
    // The poll of a background job.
    void timerEvent(QTimerEvent *event) override;

private:
    // Starts the engine of ctx, which the caller keeps.
    bool openContext(NsEngineContext &ctx, const QString &path);
    // Shuts the engine down and frees ctx.
    void closeContext(std::unique_ptr<NsEngineContext> ctx);
    bool checkContext();
    int runRecognition(int32_t loadResult);
    bool deliverText();
    void enableLanguage(const QString &name);
    void endPoll();
    // Ends a background job on a poll result other than "still running".
    void endBackgroundJob(int32_t result);

    std::unique_ptr<NsEngineContext> context;
};

#endif // NSOCROBJ_H
