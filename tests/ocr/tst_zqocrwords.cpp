#include "testengine.h"

#include <QElapsedTimer>
#include <QMetaMethod>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

class tst_ZQOcrWords : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void conformance();
    void rejectedRequest_data();
    void rejectedRequest();
    void finishedJob_data();
    void finishedJob();
    void backgroundJob_data();
    void backgroundJob();
    void requestWhileBusyRuns();
    void screen();
    void destructionClosesOverlay();
    void postError_data();
    void postError();

private:
    void request(TestEngine &engine, const QString &source);
};

// Hosts connect by signature, so the methods' order, kinds, access and
// parameter names are part of the class, as are its name, base and type.
void tst_ZQOcrWords::conformance()
{
    TestEngine engine;
    QCOMPARE(QByteArray(ZQOcrWords::staticMetaObject.className()), QByteArray("ZQOcrWords"));
    QCOMPARE(ZQOcrWords::staticMetaObject.superClass(), &ZQPObject::staticMetaObject);
    QCOMPARE(engine.qt_metacast("ZQOcrWords"), static_cast<void *>(&engine));
    QCOMPARE(qobject_cast<ZQPObject *>(&engine), static_cast<ZQPObject *>(&engine));
    QCOMPARE(engine.type(), ZQPOcrText::TypeCode);

    const QMetaObject &meta = ZQOcrWords::staticMetaObject;
    QStringList methods;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        const QMetaMethod method = meta.method(i);
        static const char *const kinds[] = {"method", "signal", "slot", "constructor"};
        static const char *const access[] = {"private", "protected", "public"};
        methods << QStringLiteral("%1 %2 %3 %4")
                           .arg(QLatin1String(access[method.access()]), QLatin1String(kinds[method.methodType()]),
                                QString::fromLatin1(method.methodSignature()),
                                QString::fromLatin1(method.parameterNames().join(',')));
    }
    QCOMPARE(methods, QStringList({"public signal delayedUnJob() ", "public signal textOcred(QString) text",
                                   "public slot stop() ", "public slot ocrScreen() ",
                                   "public slot ocrMemory(QByteArray) bmpdata", "public slot ocrFile(QString) file",
                                   "protected slot unJob() ", "protected slot postError(QString,int) ProcName,ErrorCode",
                                   "protected slot postError(QString) ProcName", "private slot jobDone() ",
                                   "private slot captureFinished() "}));

    // Invoked through the meta-object, the slots reach the engine's overrides.
    QVERIFY(QMetaObject::invokeMethod(&engine, "stop"));
    QCOMPARE(engine.jobs, QStringList(QStringLiteral("stop")));
    QCOMPARE(engine.cancels(), 1);
}

void tst_ZQOcrWords::request(TestEngine &engine, const QString &source)
{
    if (source == QLatin1String("file"))
        engine.ocrFile(QStringLiteral(ZQP_SOURCE_DIR "/tests/ocr/tst_zqocrwords.cpp"));
    else
        engine.ocrMemory(QByteArrayLiteral("BM bytes"));
}

void tst_ZQOcrWords::rejectedRequest_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("message");

    QTest::newRow("missing file") << QStringLiteral("/no/such/dir/page.png")
                                  << QStringLiteral("OCR Error: /no/such/dir/page.png is not exist. Code:#0");
    QTest::newRow("empty path") << QString() << QStringLiteral("OCR Error:  is not exist. Code:#0");
    QTest::newRow("empty bytes") << QStringLiteral("<memory>") << QStringLiteral("OCR Error: Pixmap is empty. Code:#0");
}

void tst_ZQOcrWords::rejectedRequest()
{
    QFETCH(QString, file);
    QFETCH(QString, message);

    TestEngine engine;
    QSignalSpy errors(&engine, &ZQPObject::error);
    QSignalSpy texts(&engine, &ZQOcrWords::textOcred);
    if (file == QLatin1String("<memory>"))
        engine.ocrMemory(QByteArray());
    else
        engine.ocrFile(file);

    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.at(0).at(0).toString(), message);
    QVERIFY(engine.jobs.isEmpty());
    QVERIFY(!engine.isBusy());
    QTest::qWait(150);
    QCOMPARE(errors.count(), 1);
    QCOMPARE(texts.count(), 0);
}

void tst_ZQOcrWords::finishedJob_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("result");

    for (const char *source : {"file", "memory"}) {
        for (int result : {1, 0, 3, -1, 7})
            QTest::addRow("%s, result %d", source, result) << QString::fromLatin1(source) << result;
    }
}

void tst_ZQOcrWords::finishedJob()
{
    QFETCH(QString, source);
    QFETCH(int, result);

    TestEngine engine;
    QSignalSpy errors(&engine, &ZQPObject::error);
    QSignalSpy texts(&engine, &ZQOcrWords::textOcred);
    engine.result = result;
    engine.stop();
    engine.stop();
    QCOMPARE(engine.cancels(), 2);

    QElapsedTimer timer;
    timer.start();
    request(engine, source);
    QCOMPARE(engine.jobs.count(), 3);
    QVERIFY(engine.jobs.last().startsWith(source + QLatin1Char(':')));
    QVERIFY(engine.busyInJob);
    QCOMPARE(engine.cancelsInJob, 0);
    QCOMPARE(errors.count(), 0);

    if (result == 1) {
        QCOMPARE(texts.count(), 1);
        // The busy state outlives the delivered text by 100 ms.
        QVERIFY(engine.isBusy());
        QTRY_VERIFY_WITH_TIMEOUT(!engine.isBusy(), 2000);
        QVERIFY2(timer.elapsed() >= 90, qPrintable(QString::number(timer.elapsed())));
    } else {
        QCOMPARE(texts.count(), 0);
        QVERIFY(!engine.isBusy());
    }
}

void tst_ZQOcrWords::backgroundJob_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<bool>("withText");

    QTest::newRow("file, text") << QStringLiteral("file") << true;
    QTest::newRow("memory, no text") << QStringLiteral("memory") << false;
}

void tst_ZQOcrWords::backgroundJob()
{
    QFETCH(QString, source);
    QFETCH(bool, withText);

    TestEngine engine;
    QSignalSpy texts(&engine, &ZQOcrWords::textOcred);
    engine.result = 2;
    request(engine, source);
    QVERIFY(engine.isBusy());
    QTest::qWait(300);
    QVERIFY(engine.isBusy());

    if (!withText) {
        engine.failInBackground();
        QVERIFY(!engine.isBusy());
        return;
    }
    QElapsedTimer timer;
    timer.start();
    engine.deliverInBackground();
    QCOMPARE(texts.count(), 1);
    QVERIFY(engine.isBusy());
    QTRY_VERIFY_WITH_TIMEOUT(!engine.isBusy(), 2000);
    QVERIFY2(timer.elapsed() >= 90, qPrintable(QString::number(timer.elapsed())));
}

void tst_ZQOcrWords::requestWhileBusyRuns()
{
    TestEngine engine;
    engine.result = 2;
    engine.ocrMemory(QByteArrayLiteral("first"));
    engine.result = 0;
    engine.ocrFile(QStringLiteral(ZQP_SOURCE_DIR "/tests/ocr/tst_zqocrwords.cpp"));
    QCOMPARE(engine.jobs.count(), 2);
    // Whichever job ends first ends the busy state.
    QVERIFY(!engine.isBusy());
}

void tst_ZQOcrWords::screen()
{
    TestEngine engine;
    QSignalSpy errors(&engine, &ZQPObject::error);
    QVERIFY(overlays().isEmpty());
    // No overlay, and no error, while a job runs.
    engine.ocrMemory(QByteArrayLiteral("bytes"));
    QVERIFY(engine.isBusy());
    engine.ocrScreen();
    QVERIFY(overlays().isEmpty());
    QTRY_VERIFY(!engine.isBusy());

    engine.result = 0;
    engine.jobs.clear();
    engine.ocrScreen();
    QCOMPARE(overlays().count(), 1);
    QPointer<CaptureScreen> first = overlays().constFirst();
    QVERIFY(first->isVisible());
    QVERIFY(!first->parent());

    engine.ocrScreen();
    QCOMPARE(overlays().count(), 1);

    // The overlay's image reaches ocrMemory, and an empty one its check.
    Q_EMIT first->signalCompleteCature(QByteArrayLiteral("BMgrab"));
    QCOMPARE(engine.jobs, QStringList(QStringLiteral("memory:BMgrab")));
    Q_EMIT first->signalCompleteCature(QByteArray());
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.at(0).at(0).toString(), QStringLiteral("OCR Error: Pixmap is empty. Code:#0"));

    first->close();
    QTRY_VERIFY(first.isNull());
    QVERIFY(overlays().isEmpty());

    engine.ocrScreen();
    QCOMPARE(overlays().count(), 1);
    QPointer<CaptureScreen> second = overlays().constFirst();
    second->close();
    QTRY_VERIFY(second.isNull());
}

void tst_ZQOcrWords::destructionClosesOverlay()
{
    auto *engine = new TestEngine;
    engine->ocrScreen();
    QCOMPARE(overlays().count(), 1);
    QPointer<CaptureScreen> overlay = overlays().constFirst();
    delete engine;
    QVERIFY(overlay.isNull());
}

void tst_ZQOcrWords::postError_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");

    QTest::newRow("engine code") << QStringLiteral("x") << 0x7000001b << QStringLiteral("OCR Error: x Code:#7000001b");
    QTest::newRow("no code") << QStringLiteral("x") << 0 << QStringLiteral("OCR Error: x Code:#0");
    QTest::newRow("code left out") << QStringLiteral("y") << -1 << QStringLiteral("OCR Error: y Code:#0");
    QTest::newRow("missing entry point") << QStringLiteral("NsOCR::Img_Load failed.") << 0x70010002
                                         << QStringLiteral("OCR Error: NsOCR::Img_Load failed. Code:#70010002");
    // Widened to 64 bits, a negative code shows its two's complement.
    QTest::newRow("negative") << QStringLiteral("x") << -2 << QStringLiteral("OCR Error: x Code:#fffffffffffffffe");
    QTest::newRow("placeholder in name") << QStringLiteral("50%2 of %1") << 10
                                         << QStringLiteral("OCR Error: 50%2 of %1 Code:#a");
}

void tst_ZQOcrWords::postError()
{
    QFETCH(QString, name);
    QFETCH(int, code);
    QFETCH(QString, message);

    TestEngine engine;
    QSignalSpy errors(&engine, &ZQPObject::error);
    if (code == -1) // the one-argument slot, as a host invokes it
        QVERIFY(QMetaObject::invokeMethod(&engine, "postError", Q_ARG(QString, name)));
    else
        engine.postError(name, code);
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.at(0).at(0).toString(), message);
}

QTEST_MAIN(tst_ZQOcrWords)
#include "tst_zqocrwords.moc"
