#ifndef ZQOCRWORDS_H
#define ZQOCRWORDS_H

#include "zqpocrtext.h"

#include <QAtomicInt>
#include <QByteArray>
#include <QString>

#include <functional>

class CaptureScreen;

// The engine-independent half of an OCR plugin: request checks, the busy
// state, the screen capture and the one error format. An engine class
// supplies the languages, initialisation and the two job operations.
class ZQOcrWords : public ZQPOcrText
{
    Q_OBJECT

public:
    // What a recognition job returns. Any value other than TextDelivered
    // and InBackground ends the job without text.
    enum JobResult {
        NoText = 0,
        TextDelivered = 1, // through textOcred
        InBackground = 2, // the engine class ends the job later
        Failed = 3, // and reported through postError
    };

    ZQOcrWords();
    ~ZQOcrWords() override;

    void setDataPath(const QString &path) override;
    QString dataPath() override;
    bool isBusy() override;

Q_SIGNALS:
    // Emitted by the engine class after a background job delivered its text.
    void delayedUnJob();
    void textOcred(const QString &text);

public Q_SLOTS:
    void stop() override;
    void ocrScreen() override;
    void ocrMemory(const QByteArray &bmpdata) override;
    void ocrFile(const QString &file) override;

protected Q_SLOTS:
    void unJob();
    void postError(const QString &ProcName, int ErrorCode = 0);

private Q_SLOTS:
    void jobDone();
    void captureFinished();

protected:
    // One recognition job; returns a JobResult.
    virtual int ocrMemoryJob(const QByteArray &bmpdata) = 0;
    virtual int ocrFileJob(const QString &file) = 0;

    // Ends the busy state: 100 ms after a delivered text, else at once. A
    // background job's text is followed by delayedUnJob() instead.
    void endJob(int result);
    // Part of every stop(): a screen request still waiting for the
    // desktop's screenshot ends without a word.
    void cancelCapture();

    // Cancellations requested since the current job started.
    QAtomicInt cancelCount;

private:
    void runJob(const std::function<int()> &job);

    // Non-zero while busy: incremented when a job starts, set back to 0
    // (never decremented) by unJob() when the busy state ends.
    QAtomicInt jobCount;

    CaptureScreen *capture;
    QString path;
};

#endif // ZQOCRWORDS_H
