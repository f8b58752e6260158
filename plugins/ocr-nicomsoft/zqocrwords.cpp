#include "zqocrwords.h"

#include "capturescreen.h"

#include <QFile>
#include <QTimer>

ZQOcrWords::ZQOcrWords()
    : jobCount(0)
    , cancelCount(0)
    , capture(nullptr)
{
}

// The overlay's code lives in this object's plugin library, which is
// unloaded right after this object is destroyed: an overlay still open
// cannot outlive it.
ZQOcrWords::~ZQOcrWords()
{
    delete capture;
}

void ZQOcrWords::setDataPath(const QString &path)
{
    this->path = path;
}

QString ZQOcrWords::dataPath()
{
    return path;
}

bool ZQOcrWords::isBusy()
{
    return jobCount.loadAcquire() != 0;
}

void ZQOcrWords::stop()
{
    cancelCount.ref();
}

void ZQOcrWords::ocrScreen()
{
    if (isBusy() || capture)
        return;
    capture = new CaptureScreen(nullptr);
    connect(capture, SIGNAL(signalCompleteCature(QByteArray)), this, SLOT(ocrMemory(QByteArray)));
    connect(capture, SIGNAL(captureFinished()), this, SLOT(captureFinished()));
    connect(capture, SIGNAL(captureFailed(QString,int)), this, SLOT(postError(QString,int)));
    capture->show();
}

void ZQOcrWords::ocrMemory(const QByteArray &bmpdata)
{
    if (bmpdata.isEmpty()) {
        postError(tr("Pixmap is empty."), 0);
        return;
    }
    runJob([&] { return ocrMemoryJob(bmpdata); });
}

void ZQOcrWords::ocrFile(const QString &file)
{
    if (!QFile::exists(file)) {
        postError(tr("%1 is not exist.").arg(file), 0);
        return;
    }
    runJob([&] { return ocrFileJob(file); });
}

void ZQOcrWords::runJob(const std::function<int()> &job)
{
    jobCount.ref();
    cancelCount.storeRelease(0);
    switch (job()) {
    case 1:
        QTimer::singleShot(100, this, SLOT(unJob()));
        break;
    case 2:
        // The engine class ends the busy state of a background job.
        break;
    default:
        jobCount.storeRelease(0);
        break;
    }
}

void ZQOcrWords::unJob()
{
    jobCount.storeRelease(0);
}

void ZQOcrWords::postError(const QString &ProcName, int ErrorCode)
{
    Q_EMIT error(tr("OCR Error: %1 Code:#%2").arg(ProcName, QString::number(qint64(ErrorCode), 16)));
}

void ZQOcrWords::jobDone()
{
    QTimer::singleShot(100, this, SLOT(unJob()));
}

void ZQOcrWords::captureFinished()
{
    capture = nullptr;
}
