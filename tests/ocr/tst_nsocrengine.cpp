#include "zqpobject.h"
#include "zqpocrtext.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString enginePath = QStringLiteral("./nsocr/libNSOCR.so");

struct Style
{
    QColor ink;
    QColor paper;
};
const Style darkOnLight{Qt::black, Qt::white};
const Style lightOnDark{QColor(0xee, 0xee, 0xee), QColor(0x2b, 0x2b, 0x2b)};

// Lines of text as a screen shows them: a UI font at its pixel size.
QImage render(const QStringList &lines, QSize size, const Style &style = darkOnLight, int pixelSize = 14)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(style.paper);
    QPainter painter(&image);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    painter.setFont(font);
    painter.setPen(style.ink);
    const int lineHeight = pixelSize * 3 / 2;
    for (int i = 0; i < lines.size(); ++i)
        painter.drawText(QPoint(6, 6 + pixelSize + i * lineHeight), lines.at(i));
    return image;
}

QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QString ocrError(const QString &message, qint64 code)
{
    return QStringLiteral("OCR Error: %1 Code:#%2").arg(message, QString::number(code, 16));
}

QStringList errorsOf(const QSignalSpy &spy)
{
    QStringList errors;
    for (const QList<QVariant> &arguments : spy)
        errors << arguments.at(0).toString();
    return errors;
}

} // namespace

// The plugin as the program loads it, over the engine staged beside it.
class tst_NsOcrEngine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void recognise_data();
    void recognise();
    void sizeDecidesTheThread_data();
    void sizeDecidesTheThread();
    void largeImageThroughPolling();
    void stopCancels();
    void unreadableInput_data();
    void unreadableInput();
    void secondLanguage();
    void optionsFileFromWorkingDirectory();

private:
    ZQPObject *object = nullptr;
    ZQPOcrText *ocr = nullptr;
    QSignalSpy *errors = nullptr;
    QSignalSpy *texts = nullptr;
    QTemporaryDir temp;
};

void tst_NsOcrEngine::initTestCase()
{
    QVERIFY(temp.isValid());
    QVERIFY(QDir::setCurrent(QStringLiteral(ZQP_STAGE_DIR)));
    object = ZQPObject::loadObject(QStringLiteral(ZQP_STAGE_DIR "/zqp/zqp.ocr.nicomsoft.so"), nullptr);
    QVERIFY(object);
    ocr = qobject_cast<ZQPOcrText *>(object);
    QVERIFY(ocr);
    ocr->setDataPath(enginePath);
    QVERIFY(ocr->initial());
}

void tst_NsOcrEngine::init()
{
    errors = new QSignalSpy(object, SIGNAL(error(QString)));
    texts = new QSignalSpy(object, SIGNAL(textOcred(QString)));
    ocr->setLanguages(QStringList(), QString());
}

void tst_NsOcrEngine::cleanup()
{
    QTRY_VERIFY(!ocr->isBusy());
    delete errors;
    delete texts;
}

void tst_NsOcrEngine::cleanupTestCase()
{
    // Released as the program releases a plugin: the engine stops with it.
    QSignalSpy destroyed(object, SIGNAL(destroyed()));
    object->unload();
    QTRY_COMPARE(destroyed.count(), 1);
}

void tst_NsOcrEngine::recognise_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("light");
    QTest::addColumn<bool>("fromFile");

    QTest::newRow("file") << "Open the file" << QSize(200, 30) << false << true;
    QTest::newRow("BMP bytes") << "Recognised from memory, 42 items" << QSize(300, 30) << false << false;
    QTest::newRow("light on dark") << "Settings and Preferences" << QSize(220, 28) << true << false;
    QTest::newRow("tight OK") << "OK" << QSize(32, 24) << false << false;
    QTest::newRow("tight number") << "3.14" << QSize(40, 24) << false << true;
}

void tst_NsOcrEngine::recognise()
{
    QFETCH(QString, text);
    QFETCH(QSize, size);
    QFETCH(bool, light);
    QFETCH(bool, fromFile);

    const QImage image = render({text}, size, light ? lightOnDark : darkOnLight);
    if (fromFile) {
        const QString file = temp.filePath(QStringLiteral("line.png"));
        QVERIFY(image.save(file));
        ocr->ocrFile(file);
    } else {
        ocr->ocrMemory(encoded(image, "BMP"));
    }
    // Small images are answered within the request.
    QCOMPARE(errorsOf(*errors), QStringList());
    QCOMPARE(texts->count(), 1);
    QCOMPARE(texts->at(0).at(0).toString(), text);
}

void tst_NsOcrEngine::sizeDecidesTheThread_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("background");
    QTest::newRow("300 x 60") << QSize(300, 60) << false;
    QTest::newRow("301 x 60") << QSize(301, 60) << true;
    QTest::newRow("300 x 61") << QSize(300, 61) << true;
}

void tst_NsOcrEngine::sizeDecidesTheThread()
{
    QFETCH(QSize, size);
    QFETCH(bool, background);
    ocr->ocrMemory(encoded(render({QStringLiteral("Size matters")}, size), "BMP"));
    QCOMPARE(texts->count(), background ? 0 : 1);
    QTRY_COMPARE_WITH_TIMEOUT(texts->count(), 1, 10000);
    QCOMPARE(texts->at(0).at(0).toString(), QStringLiteral("Size matters"));
    QCOMPARE(errors->count(), 0);
}

void tst_NsOcrEngine::largeImageThroughPolling()
{
    const QStringList lines = {QStringLiteral("The quick brown fox jumps over the lazy dog"),
                               QStringLiteral("File Edit View Tools Help"),
                               QStringLiteral("Saved 12 files in 3 folders")};
    ocr->ocrMemory(encoded(render(lines, QSize(900, 300)), "BMP"));
    QVERIFY(ocr->isBusy());
    QCOMPARE(texts->count(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(texts->count(), 1, 10000);
    QCOMPARE(texts->at(0).at(0).toString(), lines.join(QLatin1Char('\n')));
    QCOMPARE(errors->count(), 0);
}

void tst_NsOcrEngine::stopCancels()
{
    QStringList lines;
    for (int i = 0; i < 40; ++i)
        lines << QStringLiteral("Line %1 of a screen full of words that take a while to read").arg(i);
    ocr->ocrMemory(encoded(render(lines, QSize(1280, 1024), darkOnLight, 16), "BMP"));
    QVERIFY(ocr->isBusy());

    ocr->stop();
    QVERIFY(!ocr->isBusy());
    QCOMPARE(errorsOf(*errors),
             QStringList({ocrError(QStringLiteral("NsOCR::Img_OCR(OCRFLAG_CANCEL) canceled on NSOcrObj::stop()."), 0),
                          ocrError(QStringLiteral("NsOCR::Img_OCR(OCRFLAG_GETRESULT) returned."), 0x7000001C)}));
    QCOMPARE(texts->count(), 0);

    // The engine serves the next request.
    ocr->ocrMemory(encoded(render({QStringLiteral("Next")}, QSize(60, 24)), "BMP"));
    QCOMPARE(texts->count(), 1);
    QCOMPARE(texts->at(0).at(0).toString(), QStringLiteral("Next"));
}

void tst_NsOcrEngine::unreadableInput_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("fromFile");
    QTest::addColumn<QString>("error");

    const QByteArray pdf("%PDF-1.4\n1 0 obj << /Type /Catalog >> endobj\ntrailer << /Root 1 0 R >>\n%%EOF\n");
    const QString ghostscript = ocrError(
            QStringLiteral("NsOCR - GhostSript library is needed to support PDF files. Just download and "
                           "install it with default settings. https://ghostscript.com/releases/gsdnld.html."),
            0x70000011);
    QTest::newRow("PDF file") << pdf << true << ghostscript;
    QTest::newRow("PDF bytes") << pdf << false << ghostscript;
    QTest::newRow("garbage file") << QByteArray("no image at all") << true
                                  << ocrError(QStringLiteral("NsOCR::Img_Load failed."), 0x70000004);
    const QByteArray bmp = encoded(render({QStringLiteral("x")}, QSize(40, 20)), "BMP");
    QTest::newRow("BMP cut in its header") << bmp.left(20) << false
                                           << ocrError(QStringLiteral("NsOCR::Img_Load failed."), 0x70000004);
    // Loading reads the header; the pixels fail when they are read.
    QTest::newRow("BMP cut in its pixels") << bmp.left(bmp.size() / 2) << false
                                           << ocrError(QStringLiteral("NsOCR::Img_OCR(OCRFLAG_NONE) failed."), 0x70000004);
    QTest::newRow("PNG cut in its pixels") << encoded(render({QStringLiteral("x")}, QSize(40, 20)), "PNG").left(60) << false
                                           << ocrError(QStringLiteral("NsOCR::Img_OCR(OCRFLAG_NONE) failed."), 0x70000004);
}

void tst_NsOcrEngine::unreadableInput()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, fromFile);
    QFETCH(QString, error);
    if (fromFile) {
        QFile file(temp.filePath(QStringLiteral("input.pdf")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        ocr->ocrFile(file.fileName());
    } else {
        ocr->ocrMemory(bytes);
    }
    QVERIFY(!ocr->isBusy());
    QCOMPARE(errorsOf(*errors), QStringList(error));
    QCOMPARE(texts->count(), 0);
}

void tst_NsOcrEngine::secondLanguage()
{
    const QString main = QStringLiteral("Main languages");
    ocr->setLanguages({QStringLiteral("Klingon"), QStringLiteral("German")}, main);
    ocr->setLanguages({QStringLiteral("Japanese")}, QStringLiteral("Asian languages"));
    QCOMPARE(errorsOf(*errors),
             QStringList({ocrError(QStringLiteral("NsOCR::Cfg_SetOption(Languages/Klingon,on) failed."), 0x70000006),
                          ocrError(QStringLiteral("NsOCR::Cfg_SetOption(Languages/Japanese,on) failed."), 0x70000007)}));

    const QString text = QString::fromUtf8("Größe der Übersetzung");
    ocr->ocrMemory(encoded(render({text}, QSize(240, 30)), "BMP"));
    QCOMPARE(errors->count(), 2);
    QCOMPARE(texts->count(), 1);
    QCOMPARE(texts->at(0).at(0).toString(), text);
}

void tst_NsOcrEngine::optionsFileFromWorkingDirectory()
{
    // The engine reads "Config.dat" from the working directory when it
    // starts: one that points at empty language data leaves it unable to
    // recognise.
    QVERIFY(QDir(temp.path()).mkpath(QStringLiteral("nodata")));
    QFile options(temp.filePath(QStringLiteral("Config.dat")));
    QVERIFY(options.open(QIODevice::WriteOnly));
    options.write("# no language data here\nMain/DataDirectory=" + temp.filePath(QStringLiteral("nodata")).toUtf8()
                  + "\n");
    options.close();

    ocr->setDataPath(QStringLiteral(ZQP_STAGE_DIR "/nsocr/libNSOCR.so"));
    QVERIFY(QDir::setCurrent(temp.path()));
    QVERIFY(ocr->initial());
    ocr->ocrMemory(encoded(render({QStringLiteral("Nothing")}, QSize(100, 24)), "BMP"));
    QCOMPARE(errorsOf(*errors), QStringList(ocrError(QStringLiteral("NsOCR::Img_OCR(OCRFLAG_NONE) failed."), 0x70000009)));

    // Back in the program's directory the staged options apply.
    QVERIFY(QDir::setCurrent(QStringLiteral(ZQP_STAGE_DIR)));
    ocr->setDataPath(enginePath);
    QVERIFY(ocr->initial());
    ocr->ocrMemory(encoded(render({QStringLiteral("Something")}, QSize(100, 24)), "BMP"));
    QCOMPARE(texts->count(), 1);
    QCOMPARE(texts->at(0).at(0).toString(), QStringLiteral("Something"));
}

QTEST_MAIN(tst_NsOcrEngine)
#include "tst_nsocrengine.moc"
