#include "languagedata.h"
#include "ocrtesting.h"
#include "tnsocr.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

const NSOCR_UTF16 *utf16(const QString &text)
{
    return reinterpret_cast<const NSOCR_UTF16 *>(text.utf16());
}

QString fromUtf16(const NSOCR_UTF16 *text)
{
    return QString::fromUtf16(reinterpret_cast<const char16_t *>(text));
}

// A page that keeps the recogniser busy for a while.
QByteArray longPage()
{
    QStringList lines;
    for (int i = 0; i < 30; ++i)
        lines << QStringLiteral("Many words on line %1 keep the recogniser busy for a while").arg(i);
    return textBmp(lines, QSize(1000, 700));
}

} // namespace

// The engine's own interface, beyond what the OCR object relies on.
class tst_NsOcrStandIn : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void optionsFile_data();
    void optionsFile();
    void setOption_data();
    void setOption();
    void noLanguageOn();
    void loadErrors_data();
    void loadErrors();
    void textBuffer();
    void callsDuringWarmUp_data();
    void callsDuringWarmUp();
    void backgroundJobStates();
    void cancelDiscardsText();
    void nextImageAfterCancel();
    void destroyWhileRunning();
    void invalidHandles();

private:
    int32_t load(const QByteArray &bytes);
    int32_t waitForJob();

    TNSOCR engine;
    QTemporaryDir temp;
    NSOCR_HANDLE cfg = 0;
    NSOCR_HANDLE ocr = 0;
    NSOCR_HANDLE img = 0;
};

void tst_NsOcrStandIn::initTestCase()
{
    QVERIFY(temp.isValid());
    QVERIFY(layOutLanguageData(temp.filePath(QStringLiteral("languages")),
                               {QStringLiteral("eng"), QStringLiteral("deu")}));
    QVERIFY(engine.load(QStringLiteral(ZQP_STAGE_DIR "/nsocr/libNSOCR.so")));
    QCOMPARE(engine.Engine_Initialize(), 0);
}

void tst_NsOcrStandIn::init()
{
    QCOMPARE(engine.Cfg_Create(&cfg), 0);
    // English and German only, whatever else is installed.
    QCOMPARE(engine.Cfg_SetOption(cfg, 0, utf16(QStringLiteral("Main/DataDirectory")),
                                  utf16(temp.filePath(QStringLiteral("languages")))),
             0);
    QCOMPARE(engine.Ocr_Create(cfg, &ocr), 0);
    QCOMPARE(engine.Img_Create(ocr, &img), 0);
}

void tst_NsOcrStandIn::cleanup()
{
    QCOMPARE(engine.Img_Destroy(img), 0);
    QCOMPARE(engine.Ocr_Destroy(ocr), 0);
    QCOMPARE(engine.Cfg_Destroy(cfg), 0);
}

void tst_NsOcrStandIn::cleanupTestCase()
{
    QCOMPARE(engine.Engine_Uninitialize(), 0);
}

int32_t tst_NsOcrStandIn::load(const QByteArray &bytes)
{
    return engine.Img_LoadFromMemory(img, reinterpret_cast<const uint8_t *>(bytes.constData()), bytes.size());
}

int32_t tst_NsOcrStandIn::waitForJob()
{
    int32_t result = ERROR_JOBRUNNING;
    for (int i = 0; i < 1000 && result == ERROR_JOBRUNNING; ++i) {
        QTest::qSleep(10);
        result = engine.Img_OCR(img, 0, 0, OCRFLAG_GETRESULT);
    }
    return result;
}

void tst_NsOcrStandIn::optionsFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int32_t>("result");
    QTest::addColumn<int32_t>("germanAfterwards");

    const QByteArray noData = "Main/DataDirectory=/nonexistent\n";
    QTest::newRow("missing file") << QByteArray() << 0 << 0;
    QTest::newRow("comments and blanks") << QByteArray("# options\n\n  Languages/German = 1  \n# Languages/Klingon=1\n")
                                         << 0 << 0;
    QTest::newRow("data directory") << noData << 0 << int32_t(ERROR_NOLANGUAGEDATA);
    QTest::newRow("bad line, the rest applies") << "Languages/Klingon=1\nno equals sign\n" + noData
                                                << int32_t(ERROR_UNKNOWNOPTION) << int32_t(ERROR_NOLANGUAGEDATA);
    QTest::newRow("bad value") << QByteArray("Languages/German=2\n") << int32_t(ERROR_UNKNOWNOPTION) << 0;
}

void tst_NsOcrStandIn::optionsFile()
{
    QFETCH(QByteArray, content);
    QFETCH(int32_t, result);
    QFETCH(int32_t, germanAfterwards);

    const QString fileName = temp.filePath(QStringLiteral("Config.dat"));
    QFile::remove(fileName);
    if (!content.isEmpty()) {
        QFile file(fileName);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QCOMPARE(engine.Cfg_LoadOptions(cfg, utf16(fileName)), result);
    QCOMPARE(engine.Cfg_SetOption(cfg, 0, utf16(QStringLiteral("Languages/German")), utf16(QStringLiteral("1"))),
             germanAfterwards);
}

void tst_NsOcrStandIn::setOption_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("value");
    QTest::addColumn<int32_t>("result");
    QTest::newRow("German on") << "Languages/German" << "1" << 0;
    QTest::newRow("German off") << "Languages/German" << "0" << 0;
    QTest::newRow("unknown language") << "Languages/Klingon" << "1" << int32_t(ERROR_UNKNOWNOPTION);
    QTest::newRow("language without data") << "Languages/Japanese" << "1" << int32_t(ERROR_NOLANGUAGEDATA);
    QTest::newRow("off needs no data") << "Languages/Japanese" << "0" << 0;
    QTest::newRow("names are exact") << "Languages/german" << "1" << int32_t(ERROR_UNKNOWNOPTION);
    QTest::newRow("bad value") << "Languages/English" << "yes" << int32_t(ERROR_UNKNOWNOPTION);
    QTest::newRow("unknown option") << "Main/Colour" << "1" << int32_t(ERROR_UNKNOWNOPTION);
}

void tst_NsOcrStandIn::setOption()
{
    QFETCH(QString, path);
    QFETCH(QString, value);
    QFETCH(int32_t, result);
    QCOMPARE(engine.Cfg_SetOption(cfg, 0, utf16(path), utf16(value)), result);
}

void tst_NsOcrStandIn::noLanguageOn()
{
    QCOMPARE(engine.Cfg_SetOption(cfg, 0, utf16(QStringLiteral("Languages/English")), utf16(QStringLiteral("0"))), 0);
    QCOMPARE(load(textBmp({QStringLiteral("English")}, QSize(100, 30))), 0);
    QCOMPARE(engine.Img_OCR(img, 0, 255, OCRFLAG_NONE), int32_t(ERROR_NOLANGUAGE));
}

void tst_NsOcrStandIn::loadErrors_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<int32_t>("result");
    QTest::newRow("no such file") << QByteArray() << false << int32_t(ERROR_CANNOTREADFILE);
    QTest::newRow("empty file") << QByteArray() << true << int32_t(ERROR_CANNOTREADFILE);
    QTest::newRow("PDF") << QByteArray("%PDF-1.7\n%%EOF\n") << true << int32_t(ERROR_GHOSTSCRIPT);
    QTest::newRow("PDF after junk") << QByteArray("junk\n%PDF-1.7\n") << true << int32_t(ERROR_GHOSTSCRIPT);
    QTest::newRow("text") << QByteArray("hello, world") << true << int32_t(ERROR_CANNOTDECODE);
}

void tst_NsOcrStandIn::loadErrors()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, exists);
    QFETCH(int32_t, result);

    // A failed load leaves no image, not the one loaded before.
    QCOMPARE(load(textBmp({QStringLiteral("before")}, QSize(80, 30))), 0);
    const QString fileName = temp.filePath(QString::fromUtf8("bild-ä.dat"));
    QFile::remove(fileName);
    if (exists) {
        QFile file(fileName);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QCOMPARE(engine.Img_LoadFile(img, utf16(fileName)), result);
    int32_t width = 0;
    int32_t height = 0;
    QCOMPARE(engine.Img_GetSize(img, &width, &height), int32_t(ERROR_NOIMAGE));
    QCOMPARE(engine.Img_OCR(img, 0, 111, OCRFLAG_NONE), int32_t(ERROR_NOIMAGE));
}

void tst_NsOcrStandIn::textBuffer()
{
    QCOMPARE(engine.Img_GetImgText(img, nullptr, 0, IMGTEXT_LINEBREAKS), int32_t(ERROR_NOTEXT));
    QCOMPARE(load(textBmp({QStringLiteral("First line"), QStringLiteral("Second line")}, QSize(160, 60))), 0);
    QCOMPARE(engine.Img_OCR(img, 0, 111, OCRFLAG_NONE), 0);
    int32_t width = 0;
    int32_t height = 0;
    QCOMPARE(engine.Img_GetSize(img, &width, &height), 0);
    QCOMPARE(width, 160);
    QCOMPARE(height, 60);
    QCOMPARE(engine.Img_OCR(img, 112, 255, OCRFLAG_NONE), 0);

    const QString expected = QStringLiteral("First line\nSecond line");
    QCOMPARE(engine.Img_GetImgText(img, nullptr, 0, IMGTEXT_LINEBREAKS), int32_t(expected.size()));
    NSOCR_UTF16 buffer[64];
    std::fill(std::begin(buffer), std::end(buffer), NSOCR_UTF16('#'));
    QCOMPARE(engine.Img_GetImgText(img, buffer, 64, IMGTEXT_LINEBREAKS), int32_t(expected.size()));
    QCOMPARE(fromUtf16(buffer), expected);
    QCOMPARE(engine.Img_GetImgText(img, buffer, 64, 0), int32_t(expected.size()));
    QCOMPARE(fromUtf16(buffer), QStringLiteral("First line Second line"));
    // A short buffer gets what fits and its terminating zero.
    std::fill(std::begin(buffer), std::end(buffer), NSOCR_UTF16('#'));
    QCOMPARE(engine.Img_GetImgText(img, buffer, 4, IMGTEXT_LINEBREAKS), int32_t(expected.size()));
    QCOMPARE(fromUtf16(buffer), QStringLiteral("Fir"));
    QCOMPARE(buffer[4], NSOCR_UTF16('#'));
    QCOMPARE(engine.Img_GetImgText(img, buffer, 0, IMGTEXT_LINEBREAKS), int32_t(ERROR_INVALIDPARAMETER));
}

// A new image starts the recogniser on its worker; whatever comes first
// waits for it or stops it, and sees a started recogniser afterwards.
void tst_NsOcrStandIn::callsDuringWarmUp_data()
{
    QTest::addColumn<QString>("language"); // switched on before the job
    QTest::addColumn<bool>("destroy");     // the image, before anything else

    QTest::newRow("job at once") << QString() << false;
    QTest::newRow("language changed at once") << QStringLiteral("German") << false;
    QTest::newRow("destroyed at once") << QString() << true;
}

void tst_NsOcrStandIn::callsDuringWarmUp()
{
    QFETCH(QString, language);
    QFETCH(bool, destroy);

    if (destroy) {
        QCOMPARE(engine.Img_Destroy(img), 0);
        QCOMPARE(engine.Img_Create(ocr, &img), 0);
    }
    if (!language.isEmpty()) {
        const QString option = QStringLiteral("Languages/") + language;
        QCOMPARE(engine.Cfg_SetOption(cfg, 0, utf16(option), utf16(QStringLiteral("1"))), 0);
    }
    QCOMPARE(load(textBmp({QStringLiteral("Warm start 42")}, QSize(140, 30))), 0);
    QCOMPARE(engine.Img_OCR(img, 0, 255, OCRFLAG_NONE), 0);
    NSOCR_UTF16 buffer[32] = {};
    QCOMPARE(engine.Img_GetImgText(img, buffer, 32, IMGTEXT_LINEBREAKS), 13);
    QCOMPARE(fromUtf16(buffer), QStringLiteral("Warm start 42"));
}

void tst_NsOcrStandIn::backgroundJobStates()
{
    QCOMPARE(engine.Img_OCR(img, 0, 0, OCRFLAG_GETRESULT), 0); // no job
    const QByteArray bytes = textBmp({QStringLiteral("Background job text")}, QSize(640, 480));
    QCOMPARE(load(bytes), 0);
    QCOMPARE(engine.Img_OCR(img, 0, 111, OCRFLAG_NONE), 0);
    QCOMPARE(engine.Img_OCR(img, 112, 255, OCRFLAG_THREAD), 0);

    // While it runs: state and size answer, everything else is refused.
    QCOMPARE(engine.Img_OCR(img, 0, 0, OCRFLAG_GETRESULT), int32_t(ERROR_JOBRUNNING));
    int32_t width = 0;
    int32_t height = 0;
    QCOMPARE(engine.Img_GetSize(img, &width, &height), 0);
    QCOMPARE(width, 640);
    QCOMPARE(load(bytes), int32_t(ERROR_BUSY));
    QCOMPARE(engine.Img_OCR(img, 112, 255, OCRFLAG_NONE), int32_t(ERROR_BUSY));
    QCOMPARE(engine.Img_GetImgText(img, nullptr, 0, IMGTEXT_LINEBREAKS), int32_t(ERROR_BUSY));

    QCOMPARE(waitForJob(), 0);
    QCOMPARE(engine.Img_OCR(img, 0, 0, OCRFLAG_GETRESULT), 0);
    NSOCR_UTF16 buffer[64] = {};
    QCOMPARE(engine.Img_GetImgText(img, buffer, 64, IMGTEXT_LINEBREAKS), 19);
    QCOMPARE(fromUtf16(buffer), QStringLiteral("Background job text"));
}

void tst_NsOcrStandIn::cancelDiscardsText()
{
    QCOMPARE(load(longPage()), 0);
    QCOMPARE(engine.Img_OCR(img, 0, 255, OCRFLAG_THREAD), 0);
    QCOMPARE(engine.Img_OCR(img, 0, 0, OCRFLAG_CANCEL), 0);
    QCOMPARE(waitForJob(), int32_t(ERROR_JOBCANCELLED));
    QCOMPARE(engine.Img_GetImgText(img, nullptr, 0, IMGTEXT_LINEBREAKS), int32_t(ERROR_NOTEXT));
    // Cancelling when nothing runs is harmless.
    QCOMPARE(engine.Img_OCR(img, 0, 0, OCRFLAG_CANCEL), 0);
    QCOMPARE(engine.Img_OCR(img, 0, 0, OCRFLAG_GETRESULT), int32_t(ERROR_JOBCANCELLED));
}

// A host moves on as soon as it has cancelled: the worker on its way out is
// waited for, not the reason to refuse the next image.
void tst_NsOcrStandIn::nextImageAfterCancel()
{
    QCOMPARE(load(longPage()), 0);
    QCOMPARE(engine.Img_OCR(img, 0, 255, OCRFLAG_THREAD), 0);
    QCOMPARE(engine.Img_OCR(img, 0, 0, OCRFLAG_CANCEL), 0);
    QCOMPARE(load(textBmp({QStringLiteral("Next image")}, QSize(120, 30))), 0);
    QCOMPARE(engine.Img_OCR(img, 0, 255, OCRFLAG_NONE), 0);
    NSOCR_UTF16 buffer[32] = {};
    QCOMPARE(engine.Img_GetImgText(img, buffer, 32, IMGTEXT_LINEBREAKS), 10);
    QCOMPARE(fromUtf16(buffer), QStringLiteral("Next image"));
}

void tst_NsOcrStandIn::destroyWhileRunning()
{
    QCOMPARE(load(longPage()), 0);
    QCOMPARE(engine.Img_OCR(img, 0, 255, OCRFLAG_THREAD), 0);
    // Destroying waits for the worker; the handle is gone afterwards.
    QCOMPARE(engine.Img_Destroy(img), 0);
    QCOMPARE(engine.Img_OCR(img, 0, 0, OCRFLAG_GETRESULT), int32_t(ERROR_INVALIDHANDLE));
    QCOMPARE(engine.Img_Create(ocr, &img), 0);
}

void tst_NsOcrStandIn::invalidHandles()
{
    const NSOCR_HANDLE none = 0x7777;
    NSOCR_HANDLE out = 0;
    int32_t width = 0;
    QCOMPARE(engine.Img_Create(none, &out), int32_t(ERROR_INVALIDHANDLE));
    QCOMPARE(engine.Ocr_Create(none, &out), int32_t(ERROR_INVALIDHANDLE));
    QCOMPARE(engine.Scan_Create(none, &out), int32_t(ERROR_INVALIDHANDLE));
    QCOMPARE(engine.Img_OCR(none, 0, 255, OCRFLAG_NONE), int32_t(ERROR_INVALIDHANDLE));
    QCOMPARE(engine.Img_GetSize(none, &width, &width), int32_t(ERROR_INVALIDHANDLE));
    QCOMPARE(engine.Cfg_SetOption(none, 0, utf16(QStringLiteral("Languages/English")), utf16(QStringLiteral("1"))),
             int32_t(ERROR_INVALIDHANDLE));
    QCOMPARE(engine.Cfg_Destroy(none), int32_t(ERROR_INVALIDHANDLE));
    QCOMPARE(out, 0);
    // A handle of one kind is no handle of another.
    QCOMPARE(engine.Img_OCR(cfg, 0, 255, OCRFLAG_NONE), int32_t(ERROR_INVALIDHANDLE));
    QCOMPARE(engine.Img_OCR(img, 200, 100, OCRFLAG_NONE), int32_t(ERROR_INVALIDPARAMETER));
}

QTEST_MAIN(tst_NsOcrStandIn)
#include "tst_nsocrstandin.moc"
