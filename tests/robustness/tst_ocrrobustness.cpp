#include "hostilecorpus.h"
#include "mappedlibraries.h"
#include "ocrtesting.h"
#include "zqpobject.h"
#include "zqpocrtext.h"

#include <QGuiApplication>
#include <QPointer>
#include <QProcess>
#include <QtTest>

#include <sys/resource.h>

namespace {

const QString pluginPath = QStringLiteral(ZQP_STAGE_DIR "/zqp/zqp.ocr.nicomsoft.so");
const QString otherPlugin = QStringLiteral(ZQP_FIXTURE_DIR "/zqp.adp.fixture.so");
const QString enginePath = QStringLiteral(ZQP_STAGE_DIR "/nsocr/libNSOCR.so");
// Options that the engine cannot start its recogniser with: whether a
// variant of the options file was read shows in the result of a job.
const QByteArray unusableOptions = "Main/DataDirectory=/nonexistent\n";
const QString engineInitFailed = QStringLiteral("Code:#70000009");

const QString notAFile = QStringLiteral("NsOCR::Img_Load failed: not a regular file. Code:#7000000d");
const QString fileTooLarge = QStringLiteral("NsOCR::Img_Load failed: the file is larger than 128 MB. Code:#7000000e");
const QString tooManyPixels =
        QStringLiteral("NsOCR::Img_Load failed: the image has more than 25 million pixels. Code:#7000000f");
// Refused by the header check or by the decoder in the first pass.
const QString undecodable = QStringLiteral(" failed. Code:#70000004");

// A page of text large enough to be recognised for some seconds on the
// engine's worker thread.
QByteArray largeTextImage()
{
    QStringList lines;
    for (int i = 0; i < 60; ++i)
        lines << QStringLiteral("Line %1 of a long page that keeps the recogniser busy for a while").arg(i);
    return encoded(renderText(lines, QSize(1400, 1400)), "PNG");
}

ZQPOcrText *startedOcr(ZQPObject *object)
{
    auto *ocr = qobject_cast<ZQPOcrText *>(object);
    if (!ocr)
        return nullptr;
    ocr->setDataPath(enginePath);
    return ocr->initial() ? ocr : nullptr;
}

long peakRssKiB()
{
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The process ends, with the first background job of the engine still
// starting its recogniser: nothing may be released twice or after its end.
int exitDuringJob()
{
    QDir::setCurrent(QStringLiteral(ZQP_STAGE_DIR));
    ZQPObject *object = ZQPObject::loadObject(pluginPath, nullptr);
    ZQPOcrText *ocr = startedOcr(object);
    if (!ocr)
        return 2;
    ocr->ocrMemory(largeTextImage());
    return ocr->isBusy() ? 0 : 3;
}

} // namespace

// Hostile files and hostile timing, through the OCR plugin as a program
// loads it: nothing may crash, hang or take unbounded memory, and each
// failure gives one clear message.
class tst_OcrRobustness : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();

    void corpusItem_data();
    void corpusItem();
    void optionsFile_data();
    void optionsFile();
    void stopDuringLargeJob();
    void peakMemory();
    // These load the plugin afresh: the object above is released first.
    void lifetime_data();
    void lifetime();
    void exitDuringBackgroundJob();

private:
    void releaseObject();
    // Runs a request and waits for the job to end: the errors it caused.
    QStringList errorsOfJob(const std::function<void()> &request, QStringList *texts = nullptr);

    HostileCorpus *corpus = nullptr;
    ZQPObject *object = nullptr;
    ZQPOcrText *ocr = nullptr;
    long startRssKiB = 0;
};

void tst_OcrRobustness::initTestCase()
{
    corpus = new HostileCorpus(HostileCorpus::Common | HostileCorpus::Image | HostileCorpus::Config,
                               unusableOptions);
    QVERIFY2(corpus->isValid(), qPrintable(corpus->errorString()));
    QVERIFY(QDir::setCurrent(QStringLiteral(ZQP_STAGE_DIR)));
    object = ZQPObject::loadObject(pluginPath, nullptr);
    ocr = startedOcr(object);
    QVERIFY(ocr);
    // The recogniser's models are loaded by the first job; they count as
    // the baseline, not as the memory of an image.
    QStringList texts;
    QCOMPARE(errorsOfJob([this] { ocr->ocrMemory(textBmp({QStringLiteral("Warm up")}, QSize(200, 40))); }, &texts),
             QStringList());
    QCOMPARE(texts.size(), 1);
    startRssKiB = peakRssKiB();
}

void tst_OcrRobustness::cleanupTestCase()
{
    releaseObject();
    delete corpus;
}

void tst_OcrRobustness::releaseObject()
{
    if (!object)
        return;
    QPointer<ZQPObject> guard(object);
    object->unload();
    QTRY_VERIFY(guard.isNull());
    object = nullptr;
    ocr = nullptr;
}

QStringList tst_OcrRobustness::errorsOfJob(const std::function<void()> &request, QStringList *texts)
{
    QSignalSpy errors(object, SIGNAL(error(QString)));
    QSignalSpy textSpy(object, SIGNAL(textOcred(QString)));
    QElapsedTimer timer;
    timer.start();
    request();
    while (ocr->isBusy() && timer.elapsed() < 15000)
        QTest::qWait(20);
    if (ocr->isBusy())
        return QStringList(QStringLiteral("still busy after 15 s"));
    if (texts) {
        for (const QList<QVariant> &arguments : textSpy)
            *texts << arguments.at(0).toString();
    }
    return errorsOf(errors);
}

void tst_OcrRobustness::corpusItem_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("message"); // the end of the one error
    const QMap<QString, QString> messages{
            {QStringLiteral("directory"), notAFile},
            {QStringLiteral("fifo"), notAFile},
            {QStringLiteral("link to /dev/zero"), notAFile},
            {QStringLiteral("sparse 3 GiB"), fileTooLarge},
            {QStringLiteral("empty file"), QStringLiteral("NsOCR::Img_Load failed. Code:#70000003")},
            {QStringLiteral("png bomb 1-bit"), tooManyPixels},
            {QStringLiteral("png bomb 8-bit"), tooManyPixels},
            {QStringLiteral("tiff bomb 1-bit"), tooManyPixels},
            {QStringLiteral("tiff bomb 8-bit"), tooManyPixels},
            {QStringLiteral("bmp width-int-max"), tooManyPixels},
            {QStringLiteral("bmp height-int-min"), tooManyPixels},
            {QStringLiteral("bmp 30000x30000-no-pixels"), tooManyPixels},
    };
    for (const HostileCorpus::Item &item : corpus->items(HostileCorpus::Common | HostileCorpus::Image))
        QTest::newRow(qPrintable(item.name)) << item.path << messages.value(item.name, undecodable);
}

void tst_OcrRobustness::corpusItem()
{
    QFETCH(QString, path);
    QFETCH(QString, message);
    QStringList errors = errorsOfJob([&] { ocr->ocrFile(path); });
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors.at(0).endsWith(message), qPrintable(errors.at(0)));

    // The same bytes from memory, for what can be read at all.
    const QFileInfo info(path);
    if (!info.isFile() || info.size() == 0 || info.size() > 64 * 1024 * 1024)
        return;
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    errors = errorsOfJob([&] { ocr->ocrMemory(bytes); });
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors.at(0).endsWith(message), qPrintable(errors.at(0)));
}

void tst_OcrRobustness::optionsFile_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("read"); // the options took effect
    for (const HostileCorpus::Item &item : corpus->items(HostileCorpus::Config))
        QTest::newRow(qPrintable(item.name)) << item.path << item.name.contains(QLatin1String("BOM"));
}

void tst_OcrRobustness::optionsFile()
{
    QFETCH(QString, path);
    QFETCH(bool, read);
    QVERIFY(QDir::setCurrent(QFileInfo(path).path()));
    QElapsedTimer timer;
    timer.start();
    const bool started = ocr->initial();
    QVERIFY(QDir::setCurrent(QStringLiteral(ZQP_STAGE_DIR)));
    QVERIFY(started);
    QVERIFY(timer.elapsed() < 5000);

    QStringList texts;
    const QStringList errors = errorsOfJob(
            [&] { ocr->ocrMemory(textBmp({QStringLiteral("Options read")}, QSize(200, 40))); }, &texts);
    if (read) {
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.at(0).endsWith(engineInitFailed), qPrintable(errors.at(0)));
        // The same cause on the engine's worker thread gives the same code.
        const QStringList background = errorsOfJob(
                [&] { ocr->ocrMemory(textBmp({QStringLiteral("Options read")}, QSize(400, 80))); });
        QCOMPARE(background.size(), 1);
        QVERIFY2(background.at(0).endsWith(engineInitFailed), qPrintable(background.at(0)));
    } else {
        QCOMPARE(errors, QStringList());
        QCOMPARE(texts, QStringList(QStringLiteral("Options read")));
    }
    QVERIFY(ocr->initial()); // the working directory's options again
}

void tst_OcrRobustness::stopDuringLargeJob()
{
    QSignalSpy errors(object, SIGNAL(error(QString)));
    ocr->ocrMemory(largeTextImage());
    QVERIFY(ocr->isBusy());
    QTest::qWait(300);
    QElapsedTimer timer;
    timer.start();
    ocr->stop();
    const qint64 stopMs = timer.elapsed();
    QVERIFY(!ocr->isBusy());
    QVERIFY2(stopMs < 1000, qPrintable(QString::number(stopMs)));
    QVERIFY(errors.count() >= 1);

    // The worker has ended too: the next job finds the engine free.
    QTest::qWait(1000);
    QStringList texts;
    QCOMPARE(errorsOfJob([this] { ocr->ocrMemory(textBmp({QStringLiteral("Free again")}, QSize(200, 40))); },
                         &texts),
             QStringList());
    QCOMPARE(texts, QStringList(QStringLiteral("Free again")));
}

// A plugin's library unloaded, or loaded again, while its OCR object
// cancels a background job: what a host does in its error() slot or in
// events that arrive meanwhile.
void tst_OcrRobustness::lifetime_data()
{
    QTest::addColumn<QString>("action");
    QTest::newRow("unload from the error() slot during stop()") << "unload in slot";
    QTest::newRow("another plugin chosen during stop()") << "switch in slot";
    QTest::newRow("the same plugin chosen again while the old object ends") << "reload queued";
}

void tst_OcrRobustness::lifetime()
{
    QFETCH(QString, action);
    releaseObject();
    ZQPObject *victim = ZQPObject::loadObject(pluginPath, nullptr);
    ZQPOcrText *victimOcr = startedOcr(victim);
    QVERIFY(victimOcr);
    QPointer<ZQPObject> guard(victim);
    ZQPObject *next = nullptr;
    bool acted = false;
    connect(victim, &ZQPObject::error, this, [&] {
        if (acted)
            return;
        acted = true;
        if (action == QLatin1String("reload queued")) {
            QTimer::singleShot(0, this, [&] { next = ZQPObject::loadObject(pluginPath, nullptr); });
            return;
        }
        guard->unload();
        if (action == QLatin1String("switch in slot"))
            next = ZQPObject::loadObject(otherPlugin, nullptr);
    });
    victimOcr->ocrMemory(largeTextImage());
    QVERIFY(victimOcr->isBusy());
    QTest::qWait(200);

    if (action == QLatin1String("reload queued"))
        victim->unload(); // its end stops the job, which reports
    else
        victimOcr->stop();
    const bool loadsNext = action != QLatin1String("unload in slot");
    QTRY_VERIFY_WITH_TIMEOUT(guard.isNull() && (next || !loadsNext), 10000);
    QVERIFY(!isMapped(pluginPath) || loadsNext);
    if (!loadsNext)
        return;
    // The new object works.
    if (auto *nextOcr = qobject_cast<ZQPOcrText *>(next)) {
        nextOcr->setDataPath(enginePath);
        QVERIFY(nextOcr->initial());
    } else {
        QVERIFY(next->initial());
    }
    QPointer<ZQPObject> nextGuard(next);
    next->unload();
    QTRY_VERIFY(nextGuard.isNull());
}

void tst_OcrRobustness::exitDuringBackgroundJob()
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--exit-during-job")});
    QVERIFY(child.waitForFinished(30000));
    const QByteArray output = child.readAllStandardError();
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QVERIFY2(child.exitCode() == 0, output.constData());
    QVERIFY2(!output.contains("Sanitizer") && !output.contains("runtime error"), output.constData());
}

void tst_OcrRobustness::peakMemory()
{
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("the sanitizer's own memory hides the images'");
#endif
    const long grownMiB = (peakRssKiB() - startRssKiB) / 1024;
    qInfo("peak memory over the corpus: %ld MiB above the started engine", grownMiB);
    QVERIFY2(grownMiB <= 512, qPrintable(QString::number(grownMiB)));
}

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], "--exit-during-job") == 0)
        return exitDuringJob();
    tst_OcrRobustness test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_ocrrobustness.moc"
