// A background job of the OCR plugin when the host competes with it for the
// processor: the host's event loop polls without sleeping, alone and beside
// a CPU-bound process. Each against the same job on an idle host, in the
// same run, rounds interleaved so that the machine's own load falls on all
// alike; and how long the idle host's event loop stalls meanwhile, also
// during a larger job.
//
//   bench_ocrcontention [rounds]
//
// Run from anywhere; it works in the staged installation's directory.
#include "bmpof.h"
#include "median.h"
#include "zqpobject.h"
#include "zqpocrtext.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const QString lineText = QStringLiteral("Show hidden files and folders in the current window");

// Lines as a screen shows them. One line of 399 x 18 is wider than the
// plugin recognises in the caller's thread, so it runs on the engine's
// worker, as a full screen does.
QImage screenText(QSize size, int lines)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(12);
    painter.setFont(font);
    painter.setPen(Qt::black);
    for (int i = 0; i < lines; ++i) {
        for (int x = 3; x < size.width() - 300; x += 640)
            painter.drawText(QPoint(x, 13 + i * 24), lineText);
    }
    return image;
}

enum class Host { Idle, BusyLoop, BusyLoopBesideLoad };

struct Series
{
    const char *name;
    Host host;
    QByteArray bmp;
    QString expected; // empty: any text
    std::vector<double> jobMs;
    std::vector<double> longestGapMs; // between two turns of a polling loop
    int failures = 0;
};

} // namespace

class Job : public QObject
{
    Q_OBJECT

public:
    bool ended = false;
    bool failed = false;
    QString text;

public Q_SLOTS:
    void take(const QString &t)
    {
        text = t;
        ended = true;
    }
    void fail(const QString &message)
    {
        std::fprintf(stderr, "%s\n", qPrintable(message));
        failed = true;
        ended = true;
    }
};

namespace {

// One job from the request to its text or failure, with the host's loop as
// given; the object is idle again when it returns. The loop's longest gap is
// that between two turns of a polling loop, or between two ticks of a 1 ms
// timer in an idle one.
void runJob(ZQPOcrText *ocr, Job &job, Series &series)
{
    job.ended = false;
    job.failed = false;
    job.text.clear();
    QElapsedTimer clock;
    qint64 lastTurn = 0;
    qint64 longestGap = 0;
    const auto turn = [&] {
        const qint64 now = clock.nsecsElapsed();
        longestGap = std::max(longestGap, now - lastTurn);
        lastTurn = now;
    };
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, turn);
    clock.start();
    ocr->ocrMemory(series.bmp);
    lastTurn = clock.nsecsElapsed(); // the request's own call is no stall
    if (series.host == Host::Idle)
        ticker.start();
    while (!job.ended) {
        if (series.host == Host::Idle) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            continue;
        }
        QCoreApplication::processEvents();
        turn();
    }
    series.jobMs.push_back(clock.nsecsElapsed() / 1e6);
    series.longestGapMs.push_back(longestGap / 1e6);
    if (job.failed || (!series.expected.isEmpty() && job.text != series.expected)) {
        std::fprintf(stderr, "%s: read \"%s\"\n", series.name, qPrintable(job.text));
        ++series.failures;
    }
    while (ocr->isBusy())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
}

int spin()
{
    volatile unsigned long counter = 0;
    for (;;)
        counter = counter + 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--spin") == 0)
        return spin();
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int rounds = std::max(1, argc > 1 ? QByteArray(argv[1]).toInt() : 15);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    QDir::setCurrent(QStringLiteral(ZQP_STAGE_DIR));
    ZQPObject *object = ZQPObject::loadObject(QStringLiteral(ZQP_STAGE_DIR "/zqp/zqp.ocr.nicomsoft.so"), nullptr);
    ZQPOcrText *ocr = qobject_cast<ZQPOcrText *>(object);
    if (!ocr) {
        std::fprintf(stderr, "cannot load the OCR plugin\n");
        return 1;
    }
    ocr->setDataPath(QStringLiteral("./nsocr/libNSOCR.so"));
    if (!ocr->initial()) {
        std::fprintf(stderr, "cannot start the OCR engine\n");
        return 1;
    }
    Job job;
    QObject::connect(object, SIGNAL(textOcred(QString)), &job, SLOT(take(QString)));
    QObject::connect(object, SIGNAL(error(QString)), &job, SLOT(fail(QString)));
    const QByteArray line = bmpOf(screenText(QSize(399, 18), 1));
    std::vector<Series> series = {{"idle, waiting for events", Host::Idle, line, lineText},
                                  {"event loop polling without sleep", Host::BusyLoop, line, lineText},
                                  {"polling loop beside a CPU-bound process", Host::BusyLoopBesideLoad, line, lineText},
                                  {"idle, a window of 800 x 400", Host::Idle,
                                   bmpOf(screenText(QSize(800, 400), 16)), QString()}};
    Series warmUp = series.front();
    runJob(ocr, job, warmUp);
    QProcess load;
    for (int round = 0; round < rounds; ++round) {
        for (Series &each : series) {
            if (each.host == Host::BusyLoopBesideLoad) {
                load.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--spin")});
                load.waitForStarted();
            }
            runJob(ocr, job, each);
            if (load.state() != QProcess::NotRunning) {
                load.kill();
                load.waitForFinished();
            }
        }
    }

    const double idle = std::max(0.001, median(series.front().jobMs));
    std::printf("background jobs, median of %d rounds (slowest); the line is %d characters of 399 x 18 pixels\n",
                rounds, int(lineText.size()));
    std::printf("| host                                    | job ms          | x idle line | loop's longest gap ms |"
                " failed |\n");
    for (const Series &each : series) {
        const double ms = median(each.jobMs);
        std::printf("| %-39s | %6.0f (%6.0f) | %11.2f | %9.1f (%9.1f) | %6d |\n", each.name, ms,
                    *std::max_element(each.jobMs.begin(), each.jobMs.end()), ms / idle, median(each.longestGapMs),
                    *std::max_element(each.longestGapMs.begin(), each.longestGapMs.end()), each.failures);
    }

    bool released = false;
    QObject::connect(object, &QObject::destroyed, [&] { released = true; });
    object->unload();
    QTimer::singleShot(5000, [&] { released = true; });
    while (!released)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return 0;
}

#include "bench_ocrcontention.moc"
