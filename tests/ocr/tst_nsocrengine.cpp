#include "languagedata.h"
#include "ocrtesting.h"
#include "zqpobject.h"
#include "zqpocrtext.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString enginePath = QStringLiteral("./nsocr/libNSOCR.so");

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
    void screenText_data();
    void screenText();
    void widgetAlongEdge();
    void stopCancels();
    void unreadableInput_data();
    void unreadableInput();
    void secondLanguage();
    void optionsFileFromWorkingDirectory();
    void regions_data();
    void regions();

private:
    bool restartWithOptions(const QByteArray &options);

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
    QTest::addColumn<bool>("background");

    QTest::newRow("file") << "Open the file" << QSize(200, 30) << false << true << false;
    QTest::newRow("BMP bytes") << "Recognised from memory, 42 items" << QSize(300, 30) << false << false << false;
    QTest::newRow("light on dark") << "Settings and Preferences" << QSize(220, 28) << true << false << false;
    QTest::newRow("tight OK") << "OK" << QSize(32, 24) << false << false << false;
    QTest::newRow("tight number") << "3.14" << QSize(40, 24) << false << true << false;
    QTest::newRow("300 x 60") << "Size matters" << QSize(300, 60) << false << false << false;
    QTest::newRow("301 x 60") << "Size matters" << QSize(301, 60) << false << false << true;
    QTest::newRow("300 x 61") << "Size matters" << QSize(300, 61) << false << true << true;
    QTest::newRow("lines through polling")
            << "The quick brown fox jumps over the lazy dog\nFile Edit View Tools Help\nSaved 12 files in 3 folders"
            << QSize(900, 300) << false << false << true;
}

void tst_NsOcrEngine::recognise()
{
    QFETCH(QString, text);
    QFETCH(QSize, size);
    QFETCH(bool, light);
    QFETCH(bool, fromFile);
    QFETCH(bool, background);

    const QStringList lines = text.split(QLatin1Char('\n'));
    const QImage image = light ? renderText(lines, size, QColor(0xee, 0xee, 0xee), QColor(0x2b, 0x2b, 0x2b))
                               : renderText(lines, size);
    if (fromFile) {
        const QString file = temp.filePath(QStringLiteral("line.png"));
        QVERIFY(image.save(file));
        ocr->ocrFile(file);
    } else {
        ocr->ocrMemory(encoded(image));
    }
    // Small images are answered within the request, large ones by the poll.
    QVERIFY(ocr->isBusy());
    QCOMPARE(texts->count(), background ? 0 : 1);
    QTRY_COMPARE_WITH_TIMEOUT(texts->count(), 1, 10000);
    QCOMPARE(texts->at(0).at(0).toString(), text);
    QCOMPARE(errorsOf(*errors), QStringList());
}

// Where a recogniser left to itself goes wrong on screen text: spaces at
// wide punctuation, underscores, straight quotes read as curly ones, bars
// read as the wrong one of l, I, 1, | and L, full stops as commas, a
// widget's frame or scroll bar caught at the crop's edge, and a selected
// row's bar cropped with some of the window around it.
void tst_NsOcrEngine::screenText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QRect>("frame"); // drawn in the text's colour; empty: none
    QTest::addColumn<Qt::PenStyle>("frameLine");
    QTest::addColumn<QRect>("stipple"); // filled with a checkerboard in the text's colour
    QTest::addColumn<QRect>("bar"); // white text on a mid-tone bar, white around it
    QTest::addColumn<QFont>("font"); // the text's face, if not the default one

    const QRect none;
    const Qt::PenStyle solid = Qt::SolidLine;
    const QFont plain;
    // Small, in ink and paper only, as a bitmap font draws.
    QFont bitmap(QStringLiteral("DejaVu Sans"));
    bitmap.setPixelSize(11);
    bitmap.setStyleStrategy(QFont::NoAntialias);
    QFont mono(QStringLiteral("DejaVu Sans Mono"));
    mono.setPixelSize(14);
    QFont sans(QStringLiteral("DejaVu Sans"));
    sans.setPixelSize(13);
    QFont serif(QStringLiteral("DejaVu Serif"));
    serif.setPixelSize(14);
    QTest::newRow("file name and address") << "Saved notes.txt for anna@example.net" << QSize(300, 30) << none
                                           << solid << none << none << plain;
    QTest::newRow("underscore") << "Set max_len to 42" << QSize(200, 30) << none << solid << none << none << plain;
    QTest::newRow("straight quotes") << "Say \"yes\" or 'no' now" << QSize(220, 30) << none << solid << none
                                     << none << plain;
    QTest::newRow("lone l") << "l 86% 41" << QSize(100, 30) << none << solid << none << none << plain;
    QTest::newRow("option -l") << "Use -l for a list" << QSize(200, 30) << none << solid << none << none << plain;
    QTest::newRow("l and I side by side") << "Ctrl+Shift+1 and Ill" << QSize(200, 30) << none << solid << none
                                          << none << plain;
    QTest::newRow("boxes slipped in a word") << "Window Type Cancel Ill" << QSize(240, 30) << none << solid << none
                                             << none << plain;
    QTest::newRow("I and l told by their height") << "anna@example.net -I 2.8.13 Ill" << QSize(240, 30) << none
                                                  << solid << none << none << sans;
    QTest::newRow("backslashes") << "Open C:\\Program Files\\Tools" << QSize(260, 30) << none << solid << none
                                 << none << sans;
    QTest::newRow("commas and full stops") << "Say Hello, then 2.5.45 or 1,024" << QSize(260, 30) << none << solid
                                           << none << none << plain;
    QTest::newRow("underscores") << "file_internal and build_log" << QSize(240, 30) << none << solid << none
                                 << none << plain;
    QTest::newRow("frame all round") << "Open the file" << QSize(140, 30) << QRect(0, 0, 139, 29) << solid << none
                                     << none << plain;
    QTest::newRow("frame over the margin") << "Import Export" << QSize(140, 34) << QRect(2, 2, 135, 29) << solid
                                           << none << none << plain;
    QTest::newRow("dotted focus frame") << "Import Export" << QSize(140, 34) << QRect(2, 2, 135, 29)
                                        << Qt::DotLine << none << none << plain;
    QTest::newRow("stippled scroll bar") << "Open the file" << QSize(140, 30) << QRect(3, -1, 200, 40) << solid
                                         << QRect(0, 0, 2, 30) << none << plain;
    QTest::newRow("selected row") << "Next and from" << QSize(120, 30) << none << solid << none
                                  << QRect(3, 0, 114, 26) << plain;
    QTest::newRow("bitmap font") << "Window Volume View #18" << QSize(240, 30) << none << solid << none << none
                                 << bitmap;
    QTest::newRow("l beginning a name in a path") << "Open /usr/bin/ls" << QSize(200, 30) << none << solid << none
                                                  << none << sans;
    QTest::newRow("figures in a bitmap font") << "Sizes 72,169 and 21 items" << QSize(200, 30) << none << solid
                                              << none << none << bitmap;
    // "by" reaches above and below the rest, as a frame's side does.
    QTest::newRow("last letters tallest") << "nearby" << QSize(80, 30) << none << solid << none << none << serif;
    QTest::newRow("fixed-width l") << "to ll.pdf clock" << QSize(160, 30) << none << solid << none << none << mono;
}

void tst_NsOcrEngine::screenText()
{
    QFETCH(QString, text);
    QFETCH(QSize, size);
    QFETCH(QRect, frame);
    QFETCH(Qt::PenStyle, frameLine);
    QFETCH(QRect, stipple);
    QFETCH(QRect, bar);
    QFETCH(QFont, font);

    const bool ownFont = font != QFont();
    QImage image = bar.isNull() ? renderText({ownFont ? QString() : text}, size)
                                : renderText({text}, size, Qt::white, QColor(0x4a, 0x90, 0xd9));
    QPainter painter(&image);
    if (ownFont) {
        painter.setFont(font);
        painter.drawText(QPoint(6, 20), text);
    }
    if (!bar.isNull()) {
        for (const QRect &rect : QRegion(image.rect()).subtracted(bar))
            painter.fillRect(rect, Qt::white);
    }
    painter.fillRect(stipple, QBrush(Qt::black, Qt::Dense4Pattern));
    if (!frame.isNull()) {
        painter.setPen(QPen(Qt::black, 1, frameLine));
        painter.drawRect(frame);
    }
    painter.end();
    ocr->ocrMemory(encoded(image));
    QCOMPARE(texts->count(), 1);
    QCOMPARE(texts->at(0).at(0).toString(), text);
}

void tst_NsOcrEngine::widgetAlongEdge()
{
    // Dark text close to the crop's top and right edges, between a
    // frame's grey edge and another widget's dark band along the bottom:
    // the light page is the background all the same.
    const QString text = QStringLiteral("Mail 43% Type 29 Undo");
    QFont font(QStringLiteral("DejaVu Serif"));
    font.setPixelSize(18);
    QImage image(QFontMetrics(font).horizontalAdvance(text) + 5, 38, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QPoint(3, 14), text);
    painter.fillRect(0, 0, 2, image.height(), QColor(200, 200, 200));
    painter.fillRect(0, 28, image.width(), 10, Qt::black);
    painter.end();
    ocr->ocrMemory(encoded(image));
    QCOMPARE(texts->count(), 1);
    QCOMPARE(texts->at(0).at(0).toString(), text);
}

void tst_NsOcrEngine::stopCancels()
{
    QStringList lines;
    for (int i = 0; i < 40; ++i)
        lines << QStringLiteral("Line %1 of a screen full of words that take a while to read").arg(i);
    ocr->ocrMemory(encoded(renderText(lines, QSize(1280, 1024), Qt::black, Qt::white, 16)));
    QVERIFY(ocr->isBusy());

    ocr->stop();
    QVERIFY(!ocr->isBusy());
    QCOMPARE(errorsOf(*errors),
             QStringList({ocrError(QStringLiteral("NsOCR::Img_OCR(OCRFLAG_CANCEL) canceled on NSOcrObj::stop()."), 0),
                          ocrError(QStringLiteral("NsOCR::Img_OCR(OCRFLAG_GETRESULT) returned."), 0x7000001C)}));
    QCOMPARE(texts->count(), 0);

    // The engine serves the next request.
    ocr->ocrMemory(textBmp({QStringLiteral("Next")}, QSize(60, 24)));
    QCOMPARE(texts->count(), 1);
    QCOMPARE(texts->at(0).at(0).toString(), QStringLiteral("Next"));
}

void tst_NsOcrEngine::unreadableInput_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("fromFile");
    QTest::addColumn<QString>("error");

    const QByteArray pdf("%PDF-1.4\n1 0 obj << /Type /Catalog >> endobj\ntrailer << /Root 1 0 R >>\n%%EOF\n");
    const QString ghostscript = ocrError(ghostscriptMessage, 0x70000011);
    QTest::newRow("PDF file") << pdf << true << ghostscript;
    QTest::newRow("PDF bytes") << pdf << false << ghostscript;
    QTest::newRow("garbage file") << QByteArray("no image at all") << true
                                  << ocrError(QStringLiteral("NsOCR::Img_Load failed."), 0x70000004);
    const QImage image = renderText({QStringLiteral("x")}, QSize(40, 20));
    const QByteArray bmp = encoded(image);
    QTest::newRow("BMP cut in its header") << bmp.left(20) << false
                                           << ocrError(QStringLiteral("NsOCR::Img_Load failed."), 0x70000004);
    // Loading reads the header; the pixels fail when they are read.
    QTest::newRow("BMP cut in its pixels") << bmp.left(bmp.size() / 2) << false
                                           << ocrError(QStringLiteral("NsOCR::Img_OCR(OCRFLAG_NONE) failed."), 0x70000004);
    QTest::newRow("PNG cut in its pixels") << encoded(image, "PNG").left(60) << false
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

// The engine reads "Config.dat" from the working directory when it starts:
// here one of the test's own, in its folder.
bool tst_NsOcrEngine::restartWithOptions(const QByteArray &options)
{
    QFile file(temp.filePath(QStringLiteral("Config.dat")));
    if (!file.open(QIODevice::WriteOnly) || file.write(options) != options.size())
        return false;
    file.close();
    ocr->setDataPath(QStringLiteral(ZQP_STAGE_DIR "/nsocr/libNSOCR.so"));
    const bool started = QDir::setCurrent(temp.path()) && ocr->initial();
    return QDir::setCurrent(QStringLiteral(ZQP_STAGE_DIR)) && started;
}

void tst_NsOcrEngine::secondLanguage()
{
    // Japanese stays without data wherever the machine has it.
    const QString data = temp.filePath(QStringLiteral("languages"));
    QVERIFY(layOutLanguageData(data, {QStringLiteral("eng"), QStringLiteral("deu")}));
    QVERIFY(restartWithOptions("Main/DataDirectory=" + data.toUtf8() + "\n"));

    const QString main = QStringLiteral("Main languages");
    ocr->setLanguages({QStringLiteral("Klingon"), QStringLiteral("German")}, main);
    ocr->setLanguages({QStringLiteral("Japanese")}, QStringLiteral("Asian languages"));
    QCOMPARE(errorsOf(*errors),
             QStringList({ocrError(QStringLiteral("NsOCR::Cfg_SetOption(Languages/Klingon,on) failed."), 0x70000006),
                          ocrError(QStringLiteral("NsOCR::Cfg_SetOption(Languages/Japanese,on) failed."), 0x70000007)}));

    const QString text = QString::fromUtf8("Größe der Übersetzung");
    ocr->ocrMemory(textBmp({text}, QSize(240, 30)));
    QCOMPARE(errors->count(), 2);
    QCOMPARE(texts->count(), 1);
    QCOMPARE(texts->at(0).at(0).toString(), text);
}

void tst_NsOcrEngine::optionsFileFromWorkingDirectory()
{
    // Options that point at empty language data leave the engine unable to
    // recognise.
    QVERIFY(QDir(temp.path()).mkpath(QStringLiteral("nodata")));
    QVERIFY(restartWithOptions("# no language data here\nMain/DataDirectory="
                               + temp.filePath(QStringLiteral("nodata")).toUtf8() + "\n"));
    ocr->ocrMemory(textBmp({QStringLiteral("Nothing")}, QSize(100, 24)));
    QCOMPARE(errorsOf(*errors), QStringList(ocrError(QStringLiteral("NsOCR::Img_OCR(OCRFLAG_NONE) failed."), 0x70000009)));

    // In the program's directory the staged options apply.
    ocr->setDataPath(enginePath);
    QVERIFY(ocr->initial());
    ocr->ocrMemory(textBmp({QStringLiteral("Something")}, QSize(100, 24)));
    QCOMPARE(texts->count(), 1);
    QCOMPARE(texts->at(0).at(0).toString(), QStringLiteral("Something"));
}

QTEST_MAIN(tst_NsOcrEngine)
#include "tst_nsocrengine.moc"

namespace {

// Two windows side by side on a dark desktop, one light on dark.
QImage twoWindows(const QStringList &left, const QStringList &right)
{
    QImage screen(1280, 800, QImage::Format_RGB32);
    screen.fill(QColor(0x3c, 0x3f, 0x41));
    QPainter painter(&screen);
    painter.drawImage(40, 60, renderText(left, QSize(560, 200), QColor(0xdc, 0xdc, 0xdc), QColor(0x1e, 0x1e, 0x1e), 13));
    painter.drawImage(680, 300, renderText(right, QSize(540, 160), Qt::black, QColor(0xfa, 0xfa, 0xfa), 15));
    return screen;
}

QImage japaneseLine(const QString &text)
{
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPixelSize(15);
    QImage image(QFontMetrics(font).horizontalAdvance(text) + 16, 30, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.drawText(image.rect(), Qt::AlignCenter, text);
    return image;
}

// A message over a row of buttons, framed as a style draws them: the
// frame's rounded corners are too faint to join its sides. The information
// icon stands before the message.
QImage messageBox(const QStringList &message, const QStringList &buttons)
{
    const QColor paper(0xef, 0xef, 0xef);
    QImage box(488, 110, QImage::Format_RGB32);
    box.fill(paper);
    QPainter painter(&box);
    painter.drawImage(48, 0, renderText(message, QSize(440, 110), Qt::black, paper, 14, 17));
    painter.setBrush(Qt::white);
    painter.drawEllipse(8, 4, 32, 32);
    QFont font(QStringLiteral("DejaVu Serif"));
    font.setPixelSize(24);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::blue);
    painter.drawText(QRect(8, 4, 32, 32), Qt::AlignCenter, QStringLiteral("i"));
    font = QFont(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(14);
    painter.setFont(font);
    for (int i = 0; i < buttons.size(); ++i) {
        const QRect button(248 + i * 120, 74, 100, 28);
        painter.fillRect(button, Qt::white);
        painter.setPen(QColor(0x9a, 0x9a, 0x9a));
        painter.drawLine(button.left() + 2, button.top(), button.right() - 2, button.top());
        painter.drawLine(button.left() + 2, button.bottom(), button.right() - 2, button.bottom());
        painter.drawLine(button.left(), button.top() + 2, button.left(), button.bottom() - 2);
        painter.drawLine(button.right(), button.top() + 2, button.right(), button.bottom() - 2);
        painter.setPen(Qt::black);
        painter.drawText(button, Qt::AlignCenter, buttons.at(i));
    }
    return box;
}

// A dark theme's table whose alternate rows are nearly white, their text
// barely greyer: each row's letters stand apart from both rows' tones.
QImage alternateRows(const QStringList &rows)
{
    QImage table(300, 24 * rows.size(), QImage::Format_RGB32);
    QPainter painter(&table);
    for (int i = 0; i < rows.size(); ++i) {
        const QColor paper(i % 2 ? 0xf7f7f7 : 0x232323);
        painter.drawImage(0, 24 * i, renderText({rows.at(i)}, QSize(300, 24), QColor(0xe6e6e6), paper));
    }
    return table;
}

} // namespace

// Regions of several lines are read line by line in reading order, and a
// line in a language the host switched on reads as in that language alone.
// Languages stay on once switched on, so English-only rows come first. The
// plugin trims the text to its first and last letter or digit.
void tst_NsOcrEngine::regions_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("language");

    const QStringList paragraph = {QStringLiteral("Lines set close together run into one band of ink,"),
                                   QStringLiteral("yet every one of them is found and read in order:"),
                                   QStringLiteral("none is lost, and no words run together")};
    QTest::newRow("paragraph") << renderText(paragraph, QSize(420, 70), Qt::black, Qt::white, 14, 17)
                               << paragraph.join(QLatin1Char('\n')) << QString();
    // "ill" and "l" are thin strokes, which the page's layout sets aside
    // until it knows the lines: they still hold the words together.
    const QStringList thin = {QStringLiteral("Two lines: a still lit lamp"), QStringLiteral("and one below it")};
    QTest::newRow("thin letters between words") << renderText(thin, QSize(300, 60)) << thin.join(QLatin1Char('\n'))
                                                << QString();
    // Cut close under its last line, whose dense letters outvote the blank
    // at the edge; trimmed to the first and last letter or digit.
    const QStringList terminal = {QStringLiteral("$ ping example.org"), QStringLiteral("19:55:52 ERROR Details filling of"),
                                  QStringLiteral("16:30:22 ERROR 'internal'")};
    QTest::newRow("terminal") << renderText(terminal, QSize(300, 51), Qt::black, Qt::white, 12, 16,
                                            QStringLiteral("DejaVu Sans Mono"))
                              << terminal.join(QLatin1Char('\n')).mid(2).chopped(1) << QString();
    const QStringList left = {QStringLiteral("Build finished with 2 warnings"), QStringLiteral("Linking the plugin tester"),
                              QStringLiteral("All 32 tests passed")};
    const QStringList right = {QStringLiteral("The left window is read first,"), QStringLiteral("then this one")};
    const QStringList buttons = {QStringLiteral("Cancel"), QStringLiteral("Apply")};
    QTest::newRow("message box") << messageBox(paragraph.mid(0, 2), buttons)
                                 << (paragraph.mid(0, 2) << buttons.join(QLatin1Char(' '))).join(QLatin1Char('\n'))
                                 << QString();
    const QStringList rows = {QStringLiteral("report.txt Text Loading anna"), QStringLiteral("config.json Folder Ready"),
                              QStringLiteral("max_len.tar.gz Error bob.lee")};
    QTest::newRow("alternate rows") << alternateRows(rows) << rows.join(QLatin1Char('\n')) << QString();
    QTest::newRow("screen") << twoWindows(left, right) << (left + right).join(QLatin1Char('\n')) << QString();
    QTest::newRow("Japanese line") << japaneseLine(QStringLiteral("ファイルを開く")) << QStringLiteral("ファイルを開く")
                                   << QStringLiteral("Japanese");
    const QString german = QStringLiteral("Größe ändern und Übersicht öffnen");
    QTest::newRow("German line") << renderText({german}, QSize(290, 28)) << german << QStringLiteral("German");
    const QString path = QStringLiteral("Schriftgröße unter ~/.config speichern");
    QTest::newRow("German line with a path") << renderText({path}, QSize(330, 28)) << path << QStringLiteral("German");
}

void tst_NsOcrEngine::regions()
{
    QFETCH(QImage, image);
    QFETCH(QString, text);
    QFETCH(QString, language);

    if (!language.isEmpty()) {
        const auto table = ocr->languages();
        for (auto group = table.cbegin(); group != table.cend(); ++group) {
            for (const auto &entry : group.value()) {
                if (entry.first == language)
                    ocr->setLanguages({language}, group.key());
            }
        }
    }
    ocr->ocrMemory(encoded(image));
    QTRY_COMPARE_WITH_TIMEOUT(texts->count(), 1, 20000);
    QCOMPARE(texts->at(0).at(0).toString(), text);
    QCOMPARE(errorsOf(*errors), QStringList());
}
