#include "nsocrdoublecontrol.h"
#include "nsocrobj.h"
#include "ocrtesting.h"

#include <QtTest>

namespace {

// The job operations and the poll, reachable from the test.
class TestOcrObj : public NSOcrObj
{
public:
    using NSOcrObj::ocrFileJob;
    using NSOcrObj::ocrMemoryJob;

    void poll()
    {
        QTimerEvent event(0);
        timerEvent(&event);
    }
};

const QString anyFile = QStringLiteral(ZQP_SOURCE_DIR "/tests/ocr/tst_nsocrobj.cpp");
const QString loadCall = QStringLiteral("Img_LoadFile(103, \"" ZQP_SOURCE_DIR "/tests/ocr/tst_nsocrobj.cpp\")");
const QString getResult = QStringLiteral("Img_OCR(103, 0, 0, 2)");
const QString cancel = QStringLiteral("Img_OCR(103, 0, 0, 4)");
const QString notInitialised = QStringLiteral("The OCR engine is not initialised.");

using Scripts = QList<QPair<QString, QVector<int32_t>>>;

QStringList repeated(const QString &text, int count)
{
    QStringList list;
    for (int i = 0; i < count; ++i)
        list << text;
    return list;
}

} // namespace

Q_DECLARE_METATYPE(Scripts)

class tst_NSOcrObj : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void identity();
    void startAndShutdown_data();
    void startAndShutdown();
    void initialFails_data();
    void initialFails();
    void secondInitial();
    void runCallSequence_data();
    void runCallSequence();
    void jobResult_data();
    void jobResult();
    void failureTable_data();
    void failureTable();
    void backgroundDelivery();
    void pollTimeout_data();
    void pollTimeout();
    void trimming_data();
    void trimming();
    void stopRunningJob_data();
    void stopRunningJob();
    void setLanguages_data();
    void setLanguages();

private:
    TestOcrObj *startedObject();

    NsOcrDoubleControl *control = nullptr;
    TestOcrObj *obj = nullptr;
};

void tst_NSOcrObj::init()
{
    control = new NsOcrDoubleControl(QStringLiteral(ZQP_NSOCR_DOUBLE));
    QVERIFY(control->isValid());
}

void tst_NSOcrObj::cleanup()
{
    delete obj;
    obj = nullptr;
    delete control;
    control = nullptr;
}

TestOcrObj *tst_NSOcrObj::startedObject()
{
    obj = new TestOcrObj;
    obj->setDataPath(QStringLiteral(ZQP_NSOCR_DOUBLE));
    if (!obj->initial())
        return nullptr;
    control->takeCalls();
    return obj;
}

void tst_NSOcrObj::identity()
{
    TestOcrObj o;
    QCOMPARE(o.dataPath(), QStringLiteral("NSOCR.dll"));
    QCOMPARE(o.name(), QStringLiteral("Nicomsoft OCR"));
    QCOMPARE(o.type(), ZQPOcrText::TypeCode);
    QCOMPARE(o.metaObject()->className(), "NSOcrObj");
    QCOMPARE(o.metaObject()->methodCount(), o.metaObject()->superClass()->methodCount());
    QCOMPARE(o.qt_metacast("zqp.OcrText"), static_cast<void *>(static_cast<ZQPOcrText *>(&o)));
    QVERIFY(!o.qt_metacast("zqp.AudioPlayer"));

    // The language table needs no engine.
    const auto table = o.languages();
    QCOMPARE(table.keys(), QStringList({"Asian languages", "Main languages"}));
    const auto asian = table.value(QStringLiteral("Asian languages"));
    const auto main = table.value(QStringLiteral("Main languages"));
    QCOMPARE(main.size(), 26);
    QCOMPARE(asian.size(), 5);
    QCOMPARE(main.at(6).first, QStringLiteral("English"));
    for (const auto &language : main)
        QCOMPARE(language.first, language.second);
    QCOMPARE(asian.at(1), qMakePair(QStringLiteral("Chinese_Simplified"), QStringLiteral("Simplified Chinese")));
    QCOMPARE(asian.at(2), qMakePair(QStringLiteral("Chinese_Traditional"), QStringLiteral("Traditional Chinese")));
    QCOMPARE(asian.at(4).first, QStringLiteral("Korean"));
}

void tst_NSOcrObj::startAndShutdown_data()
{
    QTest::addColumn<Scripts>("scripts");
    QTest::addColumn<QStringList>("startCalls");
    QTest::addColumn<QStringList>("shutdownCalls");

    const QStringList start = {"Engine_GetVersion(buf)", "Engine_Initialize()", "Cfg_Create(out)",
                               "Cfg_LoadOptions(101, \"Config.dat\")", "Ocr_Create(101, out)",
                               "Img_Create(102, out)", "Scan_Create(101, out)"};
    QTest::newRow("all handles") << Scripts() << start
                                 << QStringList{"Img_Destroy(103)", "Ocr_Destroy(102)", "Cfg_Destroy(101)",
                                                "Scan_Destroy(104)", "Engine_Uninitialize()"};
    // Failed start-up calls are not examined, their handles not released.
    QStringList noOcr = start;
    noOcr[5] = "Img_Create(0, out)";
    QTest::newRow("no recognition handle")
            << Scripts{{"Ocr_Create", {0x70000001}}} << noOcr
            << QStringList{"Img_Destroy(103)", "Cfg_Destroy(101)", "Scan_Destroy(104)", "Engine_Uninitialize()"};
    QTest::newRow("no scanner")
            << Scripts{{"Scan_Create", {0x70000001}}, {"Engine_Initialize", {0x70000009}}} << start
            << QStringList{"Img_Destroy(103)", "Ocr_Destroy(102)", "Cfg_Destroy(101)", "Engine_Uninitialize()"};
}

void tst_NSOcrObj::startAndShutdown()
{
    QFETCH(Scripts, scripts);
    QFETCH(QStringList, startCalls);
    QFETCH(QStringList, shutdownCalls);
    for (const auto &script : scripts)
        control->setResults(script.first, script.second);

    auto *o = new TestOcrObj;
    QSignalSpy errors(o, SIGNAL(error(QString)));
    o->setDataPath(QStringLiteral(ZQP_NSOCR_DOUBLE));
    QVERIFY(o->initial());
    QCOMPARE(control->takeCalls(), startCalls);
    delete o;
    QCOMPARE(control->takeCalls(), shutdownCalls);
    QCOMPARE(errors.count(), 0);
}

void tst_NSOcrObj::initialFails_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("missing file") << QStringLiteral("/nonexistent/libNSOCR.so");
    QTest::newRow("not a library") << anyFile;
    QTest::newRow("default path") << QString();
}

void tst_NSOcrObj::initialFails()
{
    QFETCH(QString, path);
    TestOcrObj o;
    QSignalSpy errors(&o, SIGNAL(error(QString)));
    if (!path.isEmpty())
        o.setDataPath(path);
    QVERIFY(!o.initial());
    QCOMPARE(errors.count(), 0);
    QCOMPARE(control->calls(), QStringList());

    // Without an engine a request is refused with a clear message.
    QSignalSpy texts(&o, SIGNAL(textOcred(QString)));
    o.ocrFile(anyFile);
    o.ocrMemory("BM");
    o.setLanguages(QStringList{"German", "French"}, QString());
    QCOMPARE(errorsOf(errors), repeated(ocrError(notInitialised, 0x70010002), 3));
    QVERIFY(!o.isBusy());
    o.stop();
    QCOMPARE(errors.count(), 3);
    QCOMPARE(texts.count(), 0);
    QCOMPARE(control->calls(), QStringList());
}

void tst_NSOcrObj::secondInitial()
{
    QVERIFY(startedObject());
    QSignalSpy errors(obj, SIGNAL(error(QString)));
    // Stopping while idle calls nothing.
    obj->stop();
    QCOMPARE(control->calls(), QStringList());

    // Idle: the engine restarts.
    QVERIFY(obj->initial());
    const QStringList calls = control->takeCalls();
    QCOMPARE(calls.mid(0, 5), QStringList({"Img_Destroy(103)", "Ocr_Destroy(102)", "Cfg_Destroy(101)",
                                           "Scan_Destroy(104)", "Engine_Uninitialize()"}));
    QCOMPARE(calls.mid(5).first(), QStringLiteral("Engine_GetVersion(buf)"));
    QCOMPARE(calls.size(), 12);

    // Busy: refused, the running engine stays.
    control->setImageSize(400, 100);
    control->setResult(getResult, 0x7000001B);
    obj->ocrFile(anyFile);
    QVERIFY(obj->isBusy());
    control->takeCalls();
    QVERIFY(!obj->initial());
    QCOMPARE(errorsOf(errors),
             QStringList(ocrError(QStringLiteral("The OCR engine cannot be restarted while a job is running."), 0)));
    QCOMPARE(control->takeCalls(), QStringList());
    obj->poll();
    QCOMPARE(control->takeCalls(), QStringList(getResult));
    control->reset();
    control->setResult(getResult, 0x7000001C);
}

void tst_NSOcrObj::runCallSequence_data()
{
    QTest::addColumn<bool>("fromMemory");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("background");
    QTest::newRow("file") << false << QSize(100, 20) << false;
    QTest::newRow("memory") << true << QSize(100, 20) << false;
    // Images larger than 300 x 60 in either direction are read on the engine's thread.
    QTest::newRow("300 x 60") << false << QSize(300, 60) << false;
    QTest::newRow("1 x 1") << true << QSize(1, 1) << false;
    QTest::newRow("301 x 60") << false << QSize(301, 60) << true;
    QTest::newRow("300 x 61") << true << QSize(300, 61) << true;
    QTest::newRow("20 x 1000") << false << QSize(20, 1000) << true;
}

void tst_NSOcrObj::runCallSequence()
{
    QFETCH(bool, fromMemory);
    QFETCH(QSize, size);
    QFETCH(bool, background);
    QVERIFY(startedObject());
    QSignalSpy texts(obj, SIGNAL(textOcred(QString)));
    control->setImageSize(size.width(), size.height());
    control->setResults(getResult, {0x7000001B, 0});
    control->setText(QStringLiteral("Hello"));

    const QByteArray bytes(54, 'B');
    QCOMPARE(fromMemory ? obj->ocrMemoryJob(bytes) : obj->ocrFileJob(anyFile), background ? 2 : 1);
    const QStringList start = {fromMemory ? QStringLiteral("Img_LoadFromMemory(103, bytes, 54)") : loadCall,
                               "Img_OCR(103, 0, 111, 0)", "Img_GetSize(103, out, out)"};
    const QStringList text = {"Img_GetImgText(103, null, 0, 1)", "Img_GetImgText(103, buf, 6, 1)"};
    if (background) {
        QCOMPARE(control->takeCalls(), start + QStringList("Img_OCR(103, 112, 255, 1)"));
        QCOMPARE(texts.count(), 0);
        // The poll runs on the object's 100 ms timer.
        QTRY_COMPARE_WITH_TIMEOUT(texts.count(), 1, 3000);
        QCOMPARE(control->takeCalls(), QStringList({getResult, getResult}) + text);
    } else {
        QCOMPARE(control->takeCalls(), start + QStringList("Img_OCR(103, 112, 255, 0)") + text);
    }
    QCOMPARE(texts.count(), 1);
    QCOMPARE(texts.at(0).at(0).toString(), QStringLiteral("Hello"));
}

void tst_NSOcrObj::jobResult_data()
{
    QTest::addColumn<Scripts>("scripts");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("result");
    QTest::newRow("text query fails") << Scripts{{"Img_GetImgText", {0x7000000C}}} << QStringLiteral("OK") << 0;
    QTest::newRow("negative length") << Scripts{{"Img_GetImgText", {-3}}} << QStringLiteral("OK") << 0;
    // The error test is signed: a negative result is no error.
    QTest::newRow("negative load result") << Scripts{{"Img_LoadFile", {int32_t(0x80000001)}}} << QStringLiteral("OK") << 1;
    QTest::newRow("load fails") << Scripts{{"Img_LoadFile", {0x70000004}}} << QStringLiteral("OK") << 3;
    QTest::newRow("recognition fails") << Scripts{{"Img_OCR(103, 112", {0x70000009}}} << QStringLiteral("OK") << 3;
}

void tst_NSOcrObj::jobResult()
{
    QFETCH(Scripts, scripts);
    QFETCH(QString, text);
    QFETCH(int, result);
    QVERIFY(startedObject());
    for (const auto &script : scripts)
        control->setResults(script.first, script.second);
    control->setText(text);
    QCOMPARE(obj->ocrFileJob(anyFile), result);
}

void tst_NSOcrObj::failureTable_data()
{
    QTest::addColumn<Scripts>("scripts");
    QTest::addColumn<QString>("library");
    QTest::addColumn<bool>("background");
    QTest::addColumn<QString>("message");
    QTest::addColumn<qint64>("code");

    const QString full = QStringLiteral(ZQP_NSOCR_DOUBLE);
    QTest::newRow("PDF") << Scripts{{"Img_LoadFile", {0x70000011}}} << full << false
                         << ghostscriptMessage << qint64(0x70000011);
    QTest::newRow("load") << Scripts{{"Img_LoadFile", {0x70000004}}} << full << false
                          << "NsOCR::Img_Load failed." << qint64(0x70000004);
    QTest::newRow("first pass") << Scripts{{"Img_OCR(103, 0, 111, 0)", {0x70000005}}} << full << false
                                << "NsOCR::Img_OCR failed." << qint64(0x70000005);
    QTest::newRow("size") << Scripts{{"Img_GetSize", {0x70000001}}} << full << false
                          << "NsOCR::Img_GetSize failed." << qint64(0x70000001);
    QTest::newRow("size entry point missing") << Scripts() << QStringLiteral(ZQP_NSOCR_DOUBLE_PARTIAL) << false
                                              << "NsOCR::Img_GetSize failed." << qint64(0x70010002);
    QTest::newRow("background start") << Scripts{{"Img_OCR(103, 112, 255, 1)", {0x7000000B}}} << full << true
                                      << "NsOCR::Img_OCR(OCRFLAG_THREAD) failed." << qint64(0x7000000B);
    QTest::newRow("calling thread") << Scripts{{"Img_OCR(103, 112, 255, 0)", {0x70000009}}} << full << false
                                    << "NsOCR::Img_OCR(OCRFLAG_NONE) failed." << qint64(0x70000009);
    QTest::newRow("text query") << Scripts{{"Img_GetImgText(103, null", {0x7000000C}}} << full << false
                                << "NsOCR::Img_GetImgText failed or returned nothing." << qint64(0x7000000C);
    QTest::newRow("empty text") << Scripts{{"Img_GetImgText(103, null", {0}}} << full << false
                                << "NsOCR::Img_GetImgText failed or returned nothing." << qint64(0);
    QTest::newRow("poll: cancelled") << Scripts{{getResult, {0x7000001C}}} << full << true
                                     << "NsOCR::Img_OCR(OCRFLAG_GETRESULT) returned." << qint64(0x7000001C);
    QTest::newRow("poll: failed") << Scripts{{getResult, {0x7000000A}}} << full << true
                                  << "NsOCR::Img_OCR(OCRFLAG_GETRESULT) returned." << qint64(0x7000000A);
    QTest::newRow("poll: text query") << Scripts{{getResult, {0}}, {"Img_GetImgText(103, null", {0x7000000C}}}
                                      << full << true
                                      << "NsOCR::Img_GetImgText failed or returned nothing." << qint64(0x7000000C);
}

void tst_NSOcrObj::failureTable()
{
    QFETCH(Scripts, scripts);
    QFETCH(QString, library);
    QFETCH(bool, background);
    QFETCH(QString, message);
    QFETCH(qint64, code);

    NsOcrDoubleControl libraryControl(library);
    for (const auto &script : scripts)
        libraryControl.setResults(script.first, script.second);
    if (background)
        libraryControl.setImageSize(301, 60);
    obj = new TestOcrObj;
    obj->setDataPath(library);
    QVERIFY(obj->initial());
    QSignalSpy errors(obj, SIGNAL(error(QString)));
    QSignalSpy texts(obj, SIGNAL(textOcred(QString)));

    obj->ocrFile(anyFile);
    if (background && errors.isEmpty()) {
        QVERIFY(obj->isBusy());
        obj->poll();
    }
    QVERIFY(!obj->isBusy());
    QCOMPARE(texts.count(), 0);
    QCOMPARE(errorsOf(errors), QStringList(ocrError(message, code)));
}

void tst_NSOcrObj::backgroundDelivery()
{
    QVERIFY(startedObject());
    QSignalSpy errors(obj, SIGNAL(error(QString)));
    QSignalSpy texts(obj, SIGNAL(textOcred(QString)));
    control->setImageSize(1280, 1024);
    control->setResults(getResult, {0x7000001B, 0x7000001B, 0});
    control->setText(QStringLiteral("\n Screen text \n"));

    obj->ocrMemory("BM");
    QVERIFY(obj->isBusy());
    QCOMPARE(texts.count(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(texts.count(), 1, 3000);
    QCOMPARE(texts.at(0).at(0).toString(), QStringLiteral("Screen text"));
    // Released 100 ms after the text, and the poll has stopped.
    QVERIFY(obj->isBusy());
    QTRY_VERIFY_WITH_TIMEOUT(!obj->isBusy(), 2000);
    QTest::qWait(300);
    const QStringList calls = control->takeCalls();
    QCOMPARE(calls.count(getResult), 3);
    QCOMPARE(calls.mid(calls.size() - 3),
             QStringList({getResult, "Img_GetImgText(103, null, 0, 1)", "Img_GetImgText(103, buf, 16, 1)"}));
    QCOMPARE(errors.count(), 0);
}

void tst_NSOcrObj::pollTimeout_data()
{
    QTest::addColumn<bool>("nextRequest"); // made before the engine reports the end
    QTest::newRow("late cancel") << false;
    QTest::newRow("next request") << true;
}

void tst_NSOcrObj::pollTimeout()
{
    QFETCH(bool, nextRequest);
    QVERIFY(startedObject());
    QSignalSpy errors(obj, SIGNAL(error(QString)));
    QSignalSpy texts(obj, SIGNAL(textOcred(QString)));
    control->setImageSize(800, 600);
    control->setResult(getResult, 0x7000001B);
    control->setResult(cancel, 0x12);

    obj->ocrFile(anyFile);
    control->takeCalls();
    // The poll is driven by hand here: 99 pending polls are patience.
    for (int i = 0; i < 99; ++i)
        obj->poll();
    QVERIFY(obj->isBusy());
    QCOMPARE(errors.count(), 0);
    QCOMPARE(control->takeCalls(), repeated(getResult, 99));

    // The 100th times out: cancelled, idle at once, the poll goes on.
    obj->poll();
    QVERIFY(!obj->isBusy());
    QCOMPARE(errorsOf(errors),
             QStringList(ocrError(QStringLiteral("NsOCR::Img_OCR(OCRFLAG_CANCEL) canceled on Timeout."), 0x12)));
    QCOMPARE(control->takeCalls(), QStringList({getResult, cancel}));
    obj->poll();
    QCOMPARE(errors.count(), 1);
    QCOMPARE(control->takeCalls(), QStringList(getResult));

    control->reset();
    if (nextRequest) {
        // Served at once; the poll of the job that timed out ends with it,
        // and takes the new job's end for no end of its own.
        obj->ocrFile(anyFile);
        QCOMPARE(texts.count(), 1);
        QTest::qWait(300);
        QCOMPARE(texts.count(), 1);
        QVERIFY(!control->calls().contains(getResult));
        QCOMPARE(errors.count(), 1);
        return;
    }
    // The engine reports the cancellation on a later tick of the timer.
    control->setResult(getResult, 0x7000001C);
    QTRY_COMPARE_WITH_TIMEOUT(errors.count(), 2, 2000);
    QCOMPARE(errors.at(1).at(0).toString(),
             ocrError(QStringLiteral("NsOCR::Img_OCR(OCRFLAG_GETRESULT) returned."), 0x7000001C));
    QTest::qWait(300);
    QCOMPARE(control->calls(), QStringList(getResult));
    QCOMPARE(texts.count(), 0);
}

void tst_NSOcrObj::trimming_data()
{
    QTest::addColumn<QString>("engineText");
    QTest::addColumn<QString>("delivered");
    QTest::newRow("punctuation and blanks") << "  --Hello, world!--  " << "Hello, world";
    QTest::newRow("inside untouched") << "(a  -  b)" << "a  -  b";
    QTest::newRow("non-ASCII letters") << QString::fromUtf8("«Äpfel und Öl»") << QString::fromUtf8("Äpfel und Öl");
    QTest::newRow("non-ASCII digit") << QString::fromUtf8("…١٢٣.") << QString::fromUtf8("١٢٣");
    QTest::newRow("number sign") << QString::fromUtf8("½ cup") << QString::fromUtf8("½ cup");
    QTest::newRow("CJK") << QString::fromUtf8("「日本語」") << QString::fromUtf8("日本語");
    QTest::newRow("underscore") << "_x_" << "x";
    QTest::newRow("single digit") << "\n7\n" << "7";
    QTest::newRow("lines kept") << "one\ntwo" << "one\ntwo";
    QTest::newRow("nothing to deliver") << " .,;:!? «» -- " << QString();
}

void tst_NSOcrObj::trimming()
{
    QFETCH(QString, engineText);
    QFETCH(QString, delivered);
    QVERIFY(startedObject());
    QSignalSpy errors(obj, SIGNAL(error(QString)));
    QSignalSpy texts(obj, SIGNAL(textOcred(QString)));
    control->setText(engineText);

    obj->ocrFile(anyFile);
    QCOMPARE(errors.count(), 0);
    if (delivered.isEmpty()) {
        QCOMPARE(texts.count(), 0);
        QVERIFY(!obj->isBusy());
    } else {
        QCOMPARE(texts.count(), 1);
        QCOMPARE(texts.at(0).at(0).toString(), delivered);
    }
}

void tst_NSOcrObj::stopRunningJob_data()
{
    QTest::addColumn<bool>("background");
    QTest::addColumn<bool>("destroy"); // deleting the object instead of stop()
    QTest::addColumn<Scripts>("scripts");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QStringList>("errors");

    const QString onStop = QStringLiteral("NsOCR::Img_OCR(OCRFLAG_CANCEL) canceled on NSOcrObj::stop().");
    const QString returned = QStringLiteral("NsOCR::Img_OCR(OCRFLAG_GETRESULT) returned.");
    // stop() waits for the engine to report the cancellation.
    QTest::newRow("background job") << true << false << Scripts{{getResult, {0x7000001B, 0x7000001B, 0x7000001C}}}
                                    << QStringList{cancel, getResult, getResult, getResult}
                                    << QStringList{ocrError(onStop, 0), ocrError(returned, 0x7000001C)};
    // The job is over; its release is not waited for.
    QTest::newRow("text delivered") << false << false << Scripts{{cancel, {0x7000000B}}} << QStringList{cancel}
                                    << QStringList{ocrError(onStop, 0x7000000B)};
    // A worker that does not end is not waited for long: stop() leaves the
    // object idle as after a time-out, and the poll goes on.
    QTest::newRow("worker slow to end") << true << false << Scripts{{getResult, {0x7000001B}}}
                                        << QStringList{cancel, getResult} << QStringList{ocrError(onStop, 0)};
    QTest::newRow("destroyed during a background job")
            << true << true << Scripts{{getResult, {0x7000001B, 0x7000001C}}}
            << QStringList{cancel, getResult, getResult, "Img_Destroy(103)", "Ocr_Destroy(102)", "Cfg_Destroy(101)",
                           "Scan_Destroy(104)", "Engine_Uninitialize()"}
            << QStringList{ocrError(onStop, 0), ocrError(returned, 0x7000001C)};
    // Failures of the worker end the job, whatever the code.
    QTest::newRow("worker failed") << true << false << Scripts{{getResult, {0x7000001B, 0x70000009}}}
                                   << QStringList{cancel, getResult, getResult}
                                   << QStringList{ocrError(onStop, 0), ocrError(returned, 0x70000009)};
}

void tst_NSOcrObj::stopRunningJob()
{
    QFETCH(bool, background);
    QFETCH(bool, destroy);
    QFETCH(Scripts, scripts);
    QFETCH(QStringList, calls);
    QFETCH(QStringList, errors);
    QVERIFY(startedObject());
    QSignalSpy errorSpy(obj, SIGNAL(error(QString)));
    QSignalSpy texts(obj, SIGNAL(textOcred(QString)));
    for (const auto &script : scripts)
        control->setResults(script.first, script.second);
    if (background)
        control->setImageSize(640, 480);
    obj->ocrFile(anyFile);
    QVERIFY(obj->isBusy());
    QCOMPARE(texts.count(), background ? 0 : 1);
    control->takeCalls();

    // stop() runs no event loop: what a host does meanwhile could unload
    // the plugin's library under it.
    bool eventsRan = false;
    QTimer::singleShot(0, [&eventsRan] { eventsRan = true; });
    QElapsedTimer timer;
    timer.start();
    if (destroy) {
        delete obj;
        obj = nullptr;
    } else {
        obj->stop();
        QVERIFY(!obj->isBusy());
    }
    QVERIFY(timer.elapsed() < 2000);
    QVERIFY(!eventsRan);
    // stop() polls as often as it likes; each poll is the same call.
    QStringList made = control->takeCalls();
    made.removeDuplicates();
    calls.removeDuplicates();
    QCOMPARE(made, calls);
    QCOMPARE(errorsOf(errorSpy), errors);
    QCOMPARE(texts.count(), background ? 0 : 1);
}

void tst_NSOcrObj::setLanguages_data()
{
    QTest::addColumn<QStringList>("languages");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QStringList>("switchedOn");
    QTest::addColumn<QStringList>("errors");

    const QString asian = QStringLiteral("Asian languages");
    const QString main = QStringLiteral("Main languages");
    QTest::newRow("empty, no group") << QStringList() << QString() << QStringList{"English"} << QStringList();
    QTest::newRow("empty, Asian group") << QStringList() << asian << QStringList{"English"} << QStringList();
    QTest::newRow("Asian: first only") << QStringList{"Japanese", "Korean"} << asian
                                       << QStringList{"Japanese"} << QStringList();
    QTest::newRow("main: all in order") << QStringList{"German", "French"} << main
                                        << QStringList{"German", "French"} << QStringList();
    QTest::newRow("the group decides") << QStringList{"Japanese", "Korean"} << main
                                       << QStringList{"Japanese", "Korean"} << QStringList();
    QTest::newRow("group compared exactly") << QStringList{"Japanese", "Korean"} << asian.toLower()
                                            << QStringList{"Japanese", "Korean"} << QStringList();
    QTest::newRow("failure does not end the loop")
            << QStringList{"German", "Klingon", "Chinese_Simplified"} << main
            << QStringList{"German", "Klingon", "Chinese_Simplified"}
            << QStringList{ocrError(QStringLiteral("NsOCR::Cfg_SetOption(Languages/Klingon,on) failed."), 0x70000006),
                           ocrError(QStringLiteral("NsOCR::Cfg_SetOption(Languages/Chinese_Simplified,on) failed."),
                                    0x70000007)};
}

void tst_NSOcrObj::setLanguages()
{
    QFETCH(QStringList, languages);
    QFETCH(QString, group);
    QFETCH(QStringList, switchedOn);
    QFETCH(QStringList, errors);
    QVERIFY(startedObject());
    QSignalSpy errorSpy(obj, SIGNAL(error(QString)));
    control->setResult(QStringLiteral("Cfg_SetOption(101, 0, \"Languages/Klingon\""), 0x70000006);
    control->setResult(QStringLiteral("Cfg_SetOption(101, 0, \"Languages/Chinese_Simplified\""), 0x70000007);

    obj->setLanguages(languages, group);
    QStringList expected;
    for (const QString &language : switchedOn)
        expected << QStringLiteral("Cfg_SetOption(101, 0, \"Languages/%1\", \"1\")").arg(language);
    QCOMPARE(control->calls(), expected);
    QCOMPARE(errorsOf(errorSpy), errors);
}

QTEST_MAIN(tst_NSOcrObj)
#include "tst_nsocrobj.moc"
