#include "mappedlibraries.h"
#include "nsocrdoublecontrol.h"
#include "tnsocr.h"

#include <QtTest>

namespace {

// Calls every forwarding member with null and zero arguments and returns
// each member's result by entry point name.
template<typename... Args>
int32_t callWithDefaults(TNSOCR &binding, int32_t (TNSOCR::*member)(Args...))
{
    return (binding.*member)(Args()...);
}

QList<QPair<QString, int32_t>> callAll(TNSOCR &binding)
{
    QList<QPair<QString, int32_t>> results;
#define CALL_MEMBER(name, params, args) \
    results.append(qMakePair(QStringLiteral(#name), callWithDefaults(binding, &TNSOCR::name)));
    NSOCR_ENTRY_POINTS(CALL_MEMBER)
#undef CALL_MEMBER
    return results;
}

// What the double exports; the partial build lacks the last two.
const QStringList doubleNames = {
    "Engine_Initialize", "Engine_Uninitialize", "Engine_GetVersion", "Cfg_Create", "Cfg_Destroy",
    "Cfg_LoadOptions", "Cfg_SetOption", "Ocr_Create", "Ocr_Destroy", "Img_Create", "Img_Destroy",
    "Img_LoadFile", "Img_LoadFromMemory", "Img_OCR", "Img_GetImgText", "Scan_Destroy",
    "Img_GetSize", "Scan_Create"};

} // namespace

class tst_TNSOCR : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void unloadedAnswersNotLoaded_data();
    void unloadedAnswersNotLoaded();
    void loadedForwardsWhatTheLibraryHas_data();
    void loadedForwardsWhatTheLibraryHas();
    void forwardsArgumentsAndResult_data();
    void forwardsArgumentsAndResult();
    void destructionUnloads();
};

void tst_TNSOCR::unloadedAnswersNotLoaded_data()
{
    QTest::addColumn<QStringList>("loads");
    QTest::newRow("never loaded") << QStringList();
    QTest::newRow("failed load") << QStringList{"/nonexistent/libNSOCR.so"};
    QTest::newRow("not a library") << QStringList{QStringLiteral(ZQP_SOURCE_DIR "/tests/ocr/tst_tnsocr.cpp")};
    QTest::newRow("loaded, then a failed load") << QStringList{ZQP_NSOCR_DOUBLE, "/nonexistent/libNSOCR.so"};
}

void tst_TNSOCR::unloadedAnswersNotLoaded()
{
    QFETCH(QStringList, loads);
    NsOcrDoubleControl control(ZQP_NSOCR_DOUBLE);
    QVERIFY(control.isValid());

    TNSOCR binding;
    for (int i = 0; i < loads.size(); ++i)
        QCOMPARE(binding.load(loads.at(i)), i < loads.size() - 1);
    QVERIFY(!binding.isLoaded());

    const auto results = callAll(binding);
    QCOMPARE(results.size(), 88);
    for (const auto &result : results)
        QVERIFY2(result.second == TNSOCR::NotLoaded, qPrintable(result.first));
    QCOMPARE(control.calls(), QStringList());
}

void tst_TNSOCR::loadedForwardsWhatTheLibraryHas_data()
{
    QTest::addColumn<QString>("library");
    QTest::addColumn<QStringList>("exported");
    QTest::newRow("full double") << QStringLiteral(ZQP_NSOCR_DOUBLE) << doubleNames;
    QTest::newRow("partial double") << QStringLiteral(ZQP_NSOCR_DOUBLE_PARTIAL) << QStringList(doubleNames.mid(0, doubleNames.size() - 2));
}

void tst_TNSOCR::loadedForwardsWhatTheLibraryHas()
{
    QFETCH(QString, library);
    QFETCH(QStringList, exported);
    NsOcrDoubleControl control(library);
    QVERIFY(control.isValid());
    control.setResult(QString(), 7); // every call answers 7

    TNSOCR binding;
    QVERIFY(binding.load(library));
    QVERIFY(binding.isLoaded());

    QStringList forwarded;
    for (const auto &result : callAll(binding)) {
        if (exported.contains(result.first)) {
            QVERIFY2(result.second == 7, qPrintable(result.first));
            forwarded << result.first;
        } else {
            QVERIFY2(result.second == TNSOCR::NotLoaded, qPrintable(result.first));
        }
    }
    QCOMPARE(forwarded.size(), exported.size());

    QStringList called;
    for (const QString &call : control.calls())
        called << call.section('(', 0, 0);
    QCOMPARE(called, forwarded);
}

void tst_TNSOCR::forwardsArgumentsAndResult_data()
{
    QTest::addColumn<int32_t>("result");
    QTest::newRow("zero") << int32_t(0);
    QTest::newRow("running") << int32_t(0x7000001B);
    QTest::newRow("negative") << int32_t(-5);
    QTest::newRow("top") << int32_t(0x7FFFFFFF);
}

void tst_TNSOCR::forwardsArgumentsAndResult()
{
    QFETCH(int32_t, result);
    NsOcrDoubleControl control(ZQP_NSOCR_DOUBLE);
    control.setResult(QStringLiteral("Img_OCR"), result);
    control.setResult(QStringLiteral("Cfg_SetOption"), result);

    TNSOCR binding;
    QVERIFY(binding.load(ZQP_NSOCR_DOUBLE));
    QCOMPARE(binding.Img_OCR(103, 112, 255, OCRFLAG_THREAD), result);
    const QString path = QStringLiteral("Languages/Ünicode");
    QCOMPARE(binding.Cfg_SetOption(101, 0, path.utf16(), QStringLiteral("1").utf16()), result);
    int32_t width = 0;
    int32_t height = 0;
    control.setImageSize(640, 480);
    QCOMPARE(binding.Img_GetSize(103, &width, &height), 0);
    QCOMPARE(width, 640);
    QCOMPARE(height, 480);

    QCOMPARE(control.calls(), QStringList({"Img_OCR(103, 112, 255, 1)",
                                           "Cfg_SetOption(101, 0, \"Languages/\\u00dcnicode\", \"1\")",
                                           "Img_GetSize(103, out, out)"}));
}

void tst_TNSOCR::destructionUnloads()
{
    const QString library = QStringLiteral(ZQP_NSOCR_DOUBLE_PARTIAL);
    QVERIFY(!isMapped(library));
    {
        TNSOCR binding;
        QVERIFY(binding.load(library));
        QVERIFY(isMapped(library));
        // Loading again unloads first: still mapped once, still working.
        QVERIFY(binding.load(library));
        QCOMPARE(binding.Img_OCR(103, 0, 0, OCRFLAG_GETRESULT), 0);
    }
    QVERIFY(!isMapped(library));
}

QTEST_GUILESS_MAIN(tst_TNSOCR)
#include "tst_tnsocr.moc"
