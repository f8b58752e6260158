#include "zqocrwords.h"

#include "capturescreen.h"

#include <QFile>
#include <QTimer>

namespace {

// How long the object stays busy after a job delivered its text.
const int releaseDelay = 100;

} // namespace

ZQOcrWords::ZQOcrWords()
    : cancelCount(0)
    , jobCount(0)
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
    cancelCapture();
}

void ZQOcrWords::cancelCapture()
{
    if (capture)
        capture->cancelScreenshot();
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
    const int result = job();
    if (result != InBackground)
        endJob(result);
}

void ZQOcrWords::endJob(int result)
{
    if (result == TextDelivered)
        jobDone();
    else
        unJob();
}

void ZQOcrWords::unJob()
{
    jobCount.storeRelease(0);
}

void ZQOcrWords::postError(const QString &ProcName, int ErrorCode)
{
    // A negative code shows as its 64-bit two's complement, which Qt 5 gives
    // for a signed number in base 16 and Qt 6 only for an unsigned one.
    Q_EMIT error(tr("OCR Error: %1 Code:#%2").arg(ProcName, QString::number(quint64(qint64(ErrorCode)), 16)));
}

void ZQOcrWords::jobDone()
{
    QTimer::singleShot(releaseDelay, this, SLOT(unJob()));
}

void ZQOcrWords::captureFinished()
{
    capture = nullptr;
}
