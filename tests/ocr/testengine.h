#ifndef TESTENGINE_H
#define TESTENGINE_H

#include "capturescreen.h"
#include "zqocrwords.h"

#include <QApplication>
#include <QWidgetList>

// An engine whose jobs return a scripted result; a job that returns 1
// delivers its text, as an engine class must.
class TestEngine : public ZQOcrWords
{
public:
    TestEngine() { connect(this, SIGNAL(delayedUnJob()), this, SLOT(jobDone())); }

    QString name() override { return QStringLiteral("Test OCR"); }
    QString author() override { return QStringLiteral("test@example.org"); }
    bool initial() override { return true; }
    void setLanguages(const QStringList &, const QString &) override {}
    QMap<QString, QList<QPair<QString, QString>>> languages() override { return {}; }

    void stop() override
    {
        jobs << QStringLiteral("stop");
        ZQOcrWords::stop();
    }

    // What a background job does when it ends with text, and without.
    void deliverInBackground()
    {
        Q_EMIT textOcred(QStringLiteral("late text"));
        Q_EMIT delayedUnJob();
    }
    void failInBackground() { endJob(Failed); }

    int cancels() const { return cancelCount.loadAcquire(); }

    using ZQOcrWords::postError;

    int result = TextDelivered;
    QStringList jobs;
    QByteArray lastBytes;
    bool busyInJob = false;
    int cancelsInJob = -1;

protected:
    int ocrMemoryJob(const QByteArray &bmpdata) override
    {
        lastBytes = bmpdata;
        return job(QStringLiteral("memory:") + QString::fromLatin1(bmpdata));
    }
    int ocrFileJob(const QString &file) override { return job(QStringLiteral("file:") + file); }

private:
    int job(const QString &what)
    {
        jobs << what;
        busyInJob = isBusy();
        cancelsInJob = cancels();
        if (result == TextDelivered)
            Q_EMIT textOcred(QStringLiteral("text of ") + what);
        return result;
    }
};

// The capture overlays that exist at the moment.
inline QList<CaptureScreen *> overlays()
{
    QList<CaptureScreen *> found;
    const QWidgetList widgets = QApplication::topLevelWidgets();
    for (QWidget *widget : widgets) {
        if (auto *overlay = qobject_cast<CaptureScreen *>(widget))
            found << overlay;
    }
    return found;
}

#endif // TESTENGINE_H
