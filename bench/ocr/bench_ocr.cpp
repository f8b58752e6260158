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
#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
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
    QString name;
    QString truth;
    QImage image;
    QByteArray bmp;
    bool heldOut = false; // never looked at while tuning
};

bool isSmall(const QImage &image)
{
    return image.width() <= 300 && image.height() <= 60;
}

// The halves are decided by the text alone, the same way as for the
// screenshots (bench/ocr/screens.py), before any tuning.
bool heldOut(const QString &truth)
{
    return quint8(QCryptographicHash::hash(truth.toUtf8(), QCryptographicHash::Sha1).at(0)) % 2 == 1;
}

struct Style
{
    QColor ink;
    QColor paper;
};

const QStringList fonts = {QStringLiteral("DejaVu Sans"),      QStringLiteral("Liberation Sans"),
                           QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Liberation Serif"),
                           QStringLiteral("Noto Sans"),        QStringLiteral("Cantarell"),
                           QStringLiteral("DejaVu Serif"),     QStringLiteral("Liberation Mono")};
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
    std::vector<double> small; // latency in ms of crops up to 300 x 60
    std::vector<double> large;
    QStringList misreads;

    void add(const Sample &sample, const QString &read, double ms)
    {
        const QString expected = trimmed(sample.truth);
        const QString got = trimmed(read).replace(QLatin1Char('\n'), QLatin1Char(' '));
        errors += distance(expected, got);
        characters += expected.size();
        exact += expected == got;
        if (expected != got)
            misreads << QStringLiteral("  %1: \"%2\" read as \"%3\"").arg(sample.name, expected, got);
        ++lines;
        (isSmall(sample.image) ? small : large).push_back(ms);
    }
    void print(const char *set, const char *half, const char *path) const
    {
        std::printf("| %-8s | %-4s | %-22s | %4d | %6.2f %% | %5.1f %% | %6.1f ms | %6.1f ms |\n", set, half,
                    path, lines, 100.0 * errors / std::max(1L, characters), 100.0 * exact / std::max(1, lines),
                    small.empty() ? 0.0 : median(small), large.empty() ? 0.0 : median(large));
    }
};

// Plain Tesseract as its command line runs it, with its default page layout
// or as one line ("--psm 7"), on the image as it is.
Score plainTesseract(const std::vector<Sample> &samples, tesseract::PageSegMode layout)
{
    Score score;
    tesseract::TessBaseAPI api;
    if (api.Init(nullptr, "eng") != 0) {
        std::fprintf(stderr, "plain Tesseract does not start\n");
        return score;
    }
    api.SetPageSegMode(layout);
    for (const Sample &sample : samples) {
        QElapsedTimer timer;
        timer.start();
        const QImage image = sample.image.convertToFormat(QImage::Format_RGB888);
        api.SetImage(image.constBits(), image.width(), image.height(), 3, image.bytesPerLine());
        api.SetSourceResolution(96);
        std::unique_ptr<char[]> text(api.GetUTF8Text());
        score.add(sample, QString::fromUtf8(text.get()), timer.nsecsElapsed() / 1e6);
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
    int failures = 0;
public Q_SLOTS:
    void take(const QString &t)
    {
        text = t;
        ++count;
    }
    void fail(const QString &message)
    {
        std::fprintf(stderr, "%s\n", qPrintable(message));
        ++failures;
    }
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
        score.add(sample, receiver.text, ms);
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
        receiver.failures = 0;
        busyStall = std::max(busyStall, longestStall(
                [&] {
                    job.start();
                    ocr->ocrMemory(bmp);
                    callTime = std::max(callTime, job.nsecsElapsed() / 1e6);
                },
                // A job that fails (a time-out on a loaded machine) ends too.
                [&] { return (receiver.count > 0 || receiver.failures > 0) && !ocr->isBusy(); }));
        if (receiver.failures > 0)
            std::printf("the full-screen job failed in round %d; its times are those of the failure\n", round + 1);
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


// The screenshots of real toolkits, made by screens.py into a folder of the
// build tree on the first run.
std::vector<Sample> screenshots(const QString &folder)
{
    std::vector<Sample> samples;
    if (!QFile::exists(folder + QStringLiteral("/index.tsv"))) {
        std::printf("making the screenshots (%s)...\n", ZQP_SCREENS_SCRIPT);
        std::fflush(stdout);
        if (QProcess::execute(QStringLiteral(ZQP_SCREENS_SCRIPT), {folder}) != 0) {
            std::fprintf(stderr, "screens.py failed; the screenshot set is left out\n");
            return samples;
        }
    }
    QFile index(folder + QStringLiteral("/index.tsv"));
    if (!index.open(QIODevice::ReadOnly))
        return samples;
    for (const QByteArray &row : index.readAll().split('\n')) {
        const QList<QByteArray> fields = row.split('\t');
        if (fields.size() != 5)
            continue;
        Sample sample;
        sample.name = QString::fromUtf8(fields.at(1) + '/' + fields.at(0));
        sample.truth = QString::fromUtf8(fields.at(4));
        sample.image = QImage(folder + QLatin1Char('/') + QString::fromUtf8(fields.at(0)));
        sample.bmp = bmpOf(sample.image);
        sample.heldOut = fields.at(2) == "held";
        if (!sample.image.isNull())
            samples.push_back(sample);
    }
    return samples;
}

std::vector<Sample> renderedLines(int count, std::mt19937 &random)
{
    std::vector<Sample> samples;
    for (int i = 0; i < count; ++i) {
        Sample sample;
        sample.name = QStringLiteral("rendered/%1").arg(i);
        sample.truth = phrase(random);
        sample.image = renderTight(sample.truth, fonts.at(i % fonts.size()), 11 + (i / fonts.size()) % 6,
                                   styles.at((i / 24) % styles.size()));
        sample.bmp = bmpOf(sample.image);
        sample.heldOut = heldOut(sample.truth);
        samples.push_back(sample);
    }
    return samples;
}

std::vector<Sample> half(const std::vector<Sample> &samples, bool held)
{
    std::vector<Sample> result;
    std::copy_if(samples.begin(), samples.end(), std::back_inserter(result),
                 [held](const Sample &s) { return s.heldOut == held; });
    return result;
}

struct Plugin
{
    ZQPObject *object = nullptr;
    ZQPOcrText *ocr = nullptr;
    double initialMs = 0;
};

Plugin loadPlugin(Receiver &receiver)
{
    Plugin plugin;
    plugin.object = ZQPObject::loadObject(QStringLiteral(ZQP_STAGE_DIR "/zqp/zqp.ocr.nicomsoft.so"), nullptr);
    plugin.ocr = qobject_cast<ZQPOcrText *>(plugin.object);
    if (!plugin.ocr)
        return plugin;
    plugin.ocr->setDataPath(QStringLiteral("./nsocr/libNSOCR.so"));
    QElapsedTimer timer;
    timer.start();
    if (!plugin.ocr->initial()) {
        plugin.ocr = nullptr;
        return plugin;
    }
    plugin.initialMs = timer.nsecsElapsed() / 1e6;
    QObject::connect(plugin.object, SIGNAL(textOcred(QString)), &receiver, SLOT(take(QString)));
    QObject::connect(plugin.object, SIGNAL(error(QString)), &receiver, SLOT(fail(QString)));
    plugin.ocr->setLanguages(QStringList(), QString());
    return plugin;
}

// Released as the program releases a plugin, which stops the engine.
void unloadPlugin(const Plugin &plugin)
{
    bool released = false;
    QObject::connect(plugin.object, &QObject::destroyed, [&] { released = true; });
    plugin.object->unload();
    QTimer::singleShot(5000, [&] { released = true; });
    while (!released)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

double oneCall(ZQPOcrText *ocr, Receiver &receiver, const Sample &sample)
{
    std::vector<Sample> one{sample};
    return pluginPath(ocr, receiver, one).small.front();
}

// The first recognition of a freshly started engine, right after initial()
// and after the pause a person takes to mark a region, against later ones.
void measureFirstCall(Receiver &receiver, const Sample &sample)
{
    for (const int pause : {0, 1000}) {
        const Plugin plugin = loadPlugin(receiver);
        if (!plugin.ocr)
            return;
        QElapsedTimer idle;
        idle.start();
        while (idle.elapsed() < pause)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, pause);
        const double first = oneCall(plugin.ocr, receiver, sample);
        std::vector<double> later;
        for (int i = 0; i < 9; ++i)
            later.push_back(oneCall(plugin.ocr, receiver, sample));
        const double laterMedian = median(later);
        std::printf("first call %4d ms after initial() (which took %.1f ms): %.1f ms, later calls %.1f ms, "
                    "x%.2f\n", pause, plugin.initialMs, first, laterMedian, first / laterMedian);
        unloadPlugin(plugin);
    }
}

} // namespace

// bench_ocr [rendered line count] [--misreads] [--held-misreads] [--quick] [--only=NAME]
// Misreads of the held-out half are for the final report only, never for
// tuning. --quick measures the plugin's tuning half alone, --only the
// crops whose names contain NAME.
int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const int sampleCount = arguments.size() > 1 && arguments.at(1).toInt() > 0 ? arguments.at(1).toInt() : 300;
    const bool showMisreads = arguments.contains(QStringLiteral("--misreads"));
    const bool showHeldMisreads = arguments.contains(QStringLiteral("--held-misreads"));
    const bool quick = arguments.contains(QStringLiteral("--quick"));
    const QString only = arguments.filter(QStringLiteral("--only=")).value(0).mid(7);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    std::mt19937 random(20241209);
    const std::vector<Sample> rendered = renderedLines(sampleCount, random);
    const std::vector<Sample> screens = screenshots(QStringLiteral(ZQP_SCREENS_DIR));

    QDir::setCurrent(QStringLiteral(ZQP_STAGE_DIR));
    Receiver receiver;
    if (!quick)
        measureFirstCall(receiver, rendered.front());

    const Plugin plugin = loadPlugin(receiver);
    if (!plugin.ocr) {
        std::fprintf(stderr, "cannot load the OCR plugin or start its engine\n");
        return 1;
    }
    oneCall(plugin.ocr, receiver, rendered.front()); // starts the recogniser

    std::printf("\nrendered: %d tight lines (%d fonts, 11 to 16 px, 4 colour schemes); "
                "screens: %d crops of real toolkits' text\n",
                int(rendered.size()), int(fonts.size()), int(screens.size()));
    std::printf("| set      | half | path                   | crops |    CER   | exact  | median <= 300x60 | "
                "median larger |\n");
    const std::vector<std::pair<const char *, const std::vector<Sample> *>> sets = {{"rendered", &rendered},
                                                                                     {"screens", &screens}};
    QStringList misreads;
    for (const auto &[setName, set] : sets) {
        for (const bool held : {false, true}) {
            std::vector<Sample> samples = half(*set, held);
            if (!only.isEmpty())
                samples.erase(std::remove_if(samples.begin(), samples.end(),
                                             [&](const Sample &s) { return !s.name.contains(only); }),
                              samples.end());
            if (samples.empty() || (quick && held))
                continue;
            const char *halfName = held ? "held" : "tune";
            const Score score = pluginPath(plugin.ocr, receiver, samples);
            // The plain runs on a thread of their own: the engine tames
            // OpenMP in the threads it recognises in, this one included.
            Score plainDefault;
            Score plainLine;
            if (!quick) {
                std::thread([&] {
                    plainDefault = plainTesseract(samples, tesseract::PSM_AUTO);
                    plainLine = plainTesseract(samples, tesseract::PSM_SINGLE_LINE);
                }).join();
                plainDefault.print(setName, halfName, "plain Tesseract");
                plainLine.print(setName, halfName, "plain Tesseract --psm 7");
            }
            score.print(setName, halfName, "plugin and engine");
            if ((held && showHeldMisreads) || (!held && showMisreads))
                misreads << score.misreads;
        }
    }
    if (!misreads.isEmpty())
        std::printf("misread by the plugin:\n%s\n", qPrintable(misreads.join(QLatin1Char('\n'))));

    if (!quick)
        measureStall(plugin.ocr, receiver, bmpOf(fullScreen(random)));
    unloadPlugin(plugin);
    return 0;
}

#include "bench_ocr.moc"
