// Recognition of screen-like text lines through the OCR plugin and its
// engine, against plain Tesseract on the same images in the same run:
// character error rate, share of lines read exactly and median latency of
// each path; then the longest stall of the event loop while a full-screen
// capture is recognised in the background.
//
// Run from anywhere; it works in the staged installation's directory.
#include "zqpobject.h"
#include "median.h"
#include "zqpocrtext.h"

#include <tesseract/baseapi.h>

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <cstdio>
#include <random>
#include <thread>
#include <vector>

namespace {

struct Sample
{
    QString truth;
    QImage image;
    QByteArray bmp;
};

struct Style
{
    QColor ink;
    QColor paper;
};

const QStringList fonts = {QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans"),
                           QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Liberation Serif")};
const std::vector<Style> styles = {
    {Qt::black, Qt::white}, {QColor(0x33, 0x33, 0x33), QColor(0xf0, 0xf0, 0xf0)},
    {QColor(0xe8, 0xe8, 0xe8), QColor(0x2d, 0x2d, 0x2d)}, {Qt::white, QColor(0x1e, 0x3a, 0x5f)}};

const QStringList words = {
    "File", "Edit", "View", "Help", "Tools", "Open", "Save", "Close", "Cancel", "OK", "Apply", "Settings",
    "Preferences", "Search", "Replace", "Window", "Print", "Export", "Import", "Delete", "Rename", "Copy",
    "Paste", "Undo", "Redo", "Select", "all", "items", "files", "folder", "Documents", "Downloads",
    "recent", "network", "connected", "update", "available", "version", "user", "account", "password",
    "display", "sound", "battery", "remaining", "Monday", "March", "today", "yesterday", "new", "message",
    "from", "the", "and", "to", "of", "in", "is", "not", "Error", "Warning", "Details", "Name", "Size",
    "Type", "Modified", "Status", "Ready", "Loading", "Done", "Next", "Back", "Finish", "Install"};
const QStringList tokens = {"3.14", "42", "2024", "12:45", "100%", "v2.1.0", "(5)", "1,024", "#7",
                            "report.pdf", "img_0042.png", "user@example.org", "C:", "-", "...", "&", "/"};

// A UI line of one to six words, now and then with a number or a name.
QString phrase(std::mt19937 &random)
{
    std::uniform_int_distribution<int> count(1, 6);
    std::uniform_int_distribution<int> pick(0, 1 << 20);
    QStringList parts;
    const int n = count(random);
    for (int i = 0; i < n; ++i) {
        if (pick(random) % 5 == 0)
            parts << tokens.at(pick(random) % tokens.size());
        else
            parts << words.at(pick(random) % words.size());
    }
    QString line = parts.join(QLatin1Char(' '));
    line[0] = line.at(0).toUpper();
    if (pick(random) % 4 == 0)
        line += QLatin1Char(pick(random) % 2 ? ':' : '.');
    return line;
}

// Rendered as a screen shows it and cut tight: two pixels around the ink.
QImage renderTight(const QString &text, const QString &family, int pixelSize, const Style &style)
{
    QFont font(family);
    font.setPixelSize(pixelSize);
    const QFontMetrics metrics(font);
    QImage canvas(metrics.horizontalAdvance(text) + 20, pixelSize * 3, QImage::Format_RGB32);
    canvas.fill(style.paper);
    {
        QPainter painter(&canvas);
        painter.setFont(font);
        painter.setPen(style.ink);
        painter.drawText(QPoint(10, pixelSize * 2), text);
    }
    const QRgb paper = style.paper.rgb();
    QRect ink;
    for (int y = 0; y < canvas.height(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(canvas.constScanLine(y));
        for (int x = 0; x < canvas.width(); ++x) {
            if (line[x] != paper)
                ink |= QRect(x, y, 1, 1);
        }
    }
    return canvas.copy(ink.adjusted(-2, -2, 2, 2));
}

QByteArray bmpOf(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}

// The plugin's delivery rule, applied to every path alike.
QString trimmed(const QString &text)
{
    auto keep = [](QChar c) {
        const ushort u = c.unicode();
        return u < 128 ? (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9')
                       : c.isLetterOrNumber();
    };
    int first = 0;
    while (first < text.size() && !keep(text.at(first)))
        ++first;
    int last = text.size() - 1;
    while (last >= first && !keep(text.at(last)))
        --last;
    return text.mid(first, last - first + 1);
}

int distance(const QString &a, const QString &b)
{
    std::vector<int> row(b.size() + 1);
    for (int j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (int i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = i;
        for (int j = 1; j <= b.size(); ++j) {
            const int above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a.at(i - 1) == b.at(j - 1) ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

struct Score
{
    long errors = 0;
    long characters = 0;
    int exact = 0;
    int lines = 0;
    std::vector<double> latencies; // ms, small captures only
    QStringList misreads;

    void add(const QString &truth, const QString &read, double ms, bool small)
    {
        const QString expected = trimmed(truth);
        const QString got = trimmed(read).replace(QLatin1Char('\n'), QLatin1Char(' '));
        errors += distance(expected, got);
        characters += expected.size();
        exact += expected == got;
        if (expected != got)
            misreads << QStringLiteral("  \"%1\" read as \"%2\"").arg(expected, got);
        ++lines;
        if (small)
            latencies.push_back(ms);
    }
    void print(const char *name, double baselineLatency) const
    {
        const double latency = median(latencies);
        std::printf("%-34s CER %6.2f%%  exact %5.1f%%  median latency %6.1f ms (x%.2f)\n", name,
                    100.0 * errors / std::max(1L, characters), 100.0 * exact / std::max(1, lines), latency,
                    baselineLatency > 0 ? latency / baselineLatency : 1.0);
    }
};

bool isSmall(const QImage &image)
{
    return image.width() <= 300 && image.height() <= 60;
}

// Plain Tesseract as its command line runs it (automatic page layout), on
// the image as it is or scaled up smoothly.
Score plainTesseract(const std::vector<Sample> &samples, int scale)
{
    Score score;
    tesseract::TessBaseAPI api;
    if (api.Init(nullptr, "eng") != 0) {
        std::fprintf(stderr, "plain Tesseract does not start\n");
        return score;
    }
    api.SetPageSegMode(tesseract::PSM_AUTO);
    for (const Sample &sample : samples) {
        QElapsedTimer timer;
        timer.start();
        const QImage image = (scale == 1 ? sample.image
                                         : sample.image.scaled(sample.image.size() * scale, Qt::IgnoreAspectRatio,
                                                               Qt::SmoothTransformation))
                                     .convertToFormat(QImage::Format_RGB888);
        api.SetImage(image.constBits(), image.width(), image.height(), 3, image.bytesPerLine());
        api.SetSourceResolution(96 * scale);
        std::unique_ptr<char[]> text(api.GetUTF8Text());
        score.add(sample.truth, QString::fromUtf8(text.get()), timer.nsecsElapsed() / 1e6, isSmall(sample.image));
    }
    api.End();
    return score;
}

// Collects what the plugin delivers.
class Receiver : public QObject
{
    Q_OBJECT
public:
    QString text;
    int count = 0;
public Q_SLOTS:
    void take(const QString &t)
    {
        text = t;
        ++count;
    }
    void fail(const QString &message) { std::fprintf(stderr, "%s\n", qPrintable(message)); }
};

Score pluginPath(ZQPOcrText *ocr, Receiver &receiver, const std::vector<Sample> &samples)
{
    Score score;
    for (const Sample &sample : samples) {
        receiver.text.clear();
        QElapsedTimer timer;
        timer.start();
        ocr->ocrMemory(sample.bmp);
        while (ocr->isBusy() && receiver.text.isEmpty())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const double ms = timer.nsecsElapsed() / 1e6;
        while (ocr->isBusy())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        score.add(sample.truth, receiver.text, ms, isSmall(sample.image));
    }
    return score;
}

// A desktop's worth of text: a menu bar, a file list and a text pane.
QImage fullScreen(std::mt19937 &random)
{
    QImage screen(1280, 1024, QImage::Format_RGB32);
    screen.fill(QColor(0xf6, 0xf5, 0xf4));
    QPainter painter(&screen);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(13);
    painter.setFont(font);
    painter.fillRect(0, 0, 1280, 28, QColor(0x2d, 0x2d, 0x2d));
    painter.setPen(Qt::white);
    painter.drawText(QPoint(10, 19), QStringLiteral("File   Edit   View   Tools   Window   Help"));
    painter.setPen(Qt::black);
    for (int i = 0; i < 45; ++i) {
        painter.drawText(QPoint(12, 60 + i * 21), phrase(random));
        painter.drawText(QPoint(420, 60 + i * 21), phrase(random) + QLatin1Char(' ') + phrase(random));
    }
    return screen;
}

// Longest gap between the ticks of a 1 ms timer while the event loop runs
// until done() holds, after start() ran from the loop.
double longestStall(const std::function<void()> &start, const std::function<bool()> &done)
{
    QElapsedTimer clock;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    qint64 lastTick = 0;
    double gap = 0;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        gap = std::max(gap, (now - lastTick) / 1e6);
        lastTick = now;
    });
    clock.start();
    ticker.start();
    bool started = false;
    QTimer::singleShot(5, [&] {
        start();
        started = true;
    });
    while (!started || !done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return gap;
}

// The stall while a full-screen capture is recognised in the background,
// against that of the idle event loop over the same time.
void measureStall(ZQPOcrText *ocr, Receiver &receiver, const QByteArray &bmp)
{
    const int rounds = 3;
    double busyStall = 0;
    double idleStall = 0;
    double callTime = 0;
    double jobTime = 0;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer job;
        receiver.count = 0;
        busyStall = std::max(busyStall, longestStall(
                [&] {
                    job.start();
                    ocr->ocrMemory(bmp);
                    callTime = std::max(callTime, job.nsecsElapsed() / 1e6);
                },
                [&] { return receiver.count > 0 && !ocr->isBusy(); }));
        const qint64 jobNs = job.nsecsElapsed();
        jobTime = std::max(jobTime, jobNs / 1e6);
        QElapsedTimer idle;
        idleStall = std::max(idleStall, longestStall([&] { idle.start(); },
                                                     [&] { return idle.nsecsElapsed() >= jobNs; }));
    }
    std::printf("full screen 1280 x 1024 in the background, worst of %d: event loop stalled %.1f ms "
                "(idle loop over the same time: %.1f ms, x%.2f); request call %.1f ms; text after %.0f ms\n",
                rounds, busyStall, idleStall, busyStall / std::max(0.001, idleStall), callTime, jobTime);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const int sampleCount = argc > 1 ? QByteArray(argv[1]).toInt() : 300;

    std::mt19937 random(20241209);
    std::vector<Sample> samples;
    for (int i = 0; i < sampleCount; ++i) {
        Sample sample;
        sample.truth = phrase(random);
        sample.image = renderTight(sample.truth, fonts.at(i % fonts.size()), 11 + (i / 4) % 6,
                                   styles.at((i / 24) % styles.size()));
        sample.bmp = bmpOf(sample.image);
        samples.push_back(sample);
    }
    const int small = int(std::count_if(samples.begin(), samples.end(),
                                        [](const Sample &s) { return isSmall(s.image); }));

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
    Receiver receiver;
    QObject::connect(object, SIGNAL(textOcred(QString)), &receiver, SLOT(take(QString)));
    QObject::connect(object, SIGNAL(error(QString)), &receiver, SLOT(fail(QString)));
    ocr->setLanguages(QStringList(), QString());
    ocr->ocrMemory(samples.front().bmp); // starts the recogniser
    while (ocr->isBusy())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);

    std::printf("%d tight text lines (%d fonts, 11 to 16 px, 4 colour schemes, %d of them up to 300 x 60)\n",
                sampleCount, int(fonts.size()), small);
    const Score plugin = pluginPath(ocr, receiver, samples);

    // The plain runs on a thread of their own: the engine tames OpenMP in
    // the threads it recognises in, this one included.
    Score plainDefault;
    Score plainUpscaled;
    std::thread([&] {
        plainDefault = plainTesseract(samples, 1);
        plainUpscaled = plainTesseract(samples, 3);
    }).join();

    const double baseline = median(plainDefault.latencies);
    plainDefault.print("plain Tesseract, defaults", baseline);
    plainUpscaled.print("plain Tesseract, 3x upscale", baseline);
    plugin.print("plugin and engine", baseline);
    if (!plugin.misreads.isEmpty())
        std::printf("misread by the plugin:\n%s\n", qPrintable(plugin.misreads.join(QLatin1Char('\n'))));

    measureStall(ocr, receiver, bmpOf(fullScreen(random)));

    // Released as the program releases a plugin, which stops the engine.
    bool released = false;
    QObject::connect(object, &QObject::destroyed, [&] { released = true; });
    object->unload();
    QTimer::singleShot(5000, [&] { released = true; });
    while (!released)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return 0;
}

#include "bench_ocr.moc"
