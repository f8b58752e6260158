// Recognition of screen text through the OCR plugin and its engine, against
// plain Tesseract on the same images in the same run: single lines (rendered,
// and screenshots of real toolkits), multi-line regions, whole screens and
// lines in each language of the engine's table. For each, the character
// error rate, the share read exactly, the items with fewer than 90 % of
// their characters right and the median latency of each path. Then the
// first call after start-up, and the longest stall of the event loop while
// a full-screen capture is recognised in the background.
//
// Plain Tesseract runs in child processes of this program with one OpenMP
// thread (OMP_THREAD_LIMIT=1), read only at a process's start.
//
// Run from anywhere; it works in the staged installation's directory.
#include "zqpobject.h"
#include "bmpof.h"
#include "median.h"
#include "rulenames.h"
#include "zqpocrtext.h"

#include <tesseract/baseapi.h>

#include <QApplication>
#include <QBuffer>
#include <QCryptographicHash>
#include <QDataStream>
#include <QFile>
#include <QProcess>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

namespace {

struct Sample
{
    QString name;
    QString truth; // lines joined by "\n"
    QString language = QStringLiteral("English"); // the engine's name
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

// Layout whitespace is no reading: runs of spaces count as one, blank
// lines as none, for every path and the truth alike.
QString normalised(const QString &text)
{
    QStringList lines;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        const QString simple = line.simplified();
        if (!simple.isEmpty())
            lines << simple;
    }
    return trimmed(lines.join(QLatin1Char('\n')));
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
    int poor = 0; // fewer than 90 % of the characters right
    int items = 0;
    std::vector<double> small; // latency in ms of crops up to 300 x 60
    std::vector<double> large;
    QStringList misreads;

    void add(const Sample &sample, const QString &read, double ms)
    {
        const QString expected = normalised(sample.truth);
        const QString got = normalised(read);
        const int wrong = distance(expected, got);
        errors += wrong;
        characters += expected.size();
        exact += expected == got;
        poor += wrong * 10 > expected.size();
        if (expected != got)
            misreads << QStringLiteral("  %1: \"%2\" read as \"%3\"").arg(sample.name, expected, got);
        ++items;
        (isSmall(sample.image) ? small : large).push_back(ms);
    }
    void add(const Score &other)
    {
        errors += other.errors;
        characters += other.characters;
        exact += other.exact;
        poor += other.poor;
        items += other.items;
        small.insert(small.end(), other.small.begin(), other.small.end());
        large.insert(large.end(), other.large.begin(), other.large.end());
    }
    double cer() const { return 100.0 * errors / std::max(1L, characters); }
    double exactShare() const { return 100.0 * exact / std::max(1, items); }
    double allMs() const
    {
        std::vector<double> all = small;
        all.insert(all.end(), large.begin(), large.end());
        return median(all);
    }
    void print(const char *set, const char *half, const char *path) const
    {
        std::printf("| %-14s | %-4s | %-26s | %5d | %6.2f %% | %5.1f %% | %4d | %8.1f ms | %8.1f ms |\n", set, half,
                    path, items, cer(), exactShare(), poor, small.empty() ? 0.0 : median(small),
                    large.empty() ? 0.0 : median(large));
    }
};

void printHeading()
{
    std::printf("| set            | half | path                       | items |    CER   | exact  | <90%% | "
                "median <= 300x60 | median larger |\n"
                "|---|---|---|---|---|---|---|---|---|\n");
}

// Plain Tesseract as its command line runs it, on the image as it is, in a
// child process with one OpenMP thread: the language or languages ("eng",
// "eng+deu") and the page layout mode (3 is its default).
Score plainTesseract(const std::vector<Sample> &samples, const QString &languages, int layout)
{
    Score score;
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("OMP_THREAD_LIMIT"), QStringLiteral("1"));
    child.setProcessEnvironment(environment);
    child.setStandardErrorFile(QProcess::nullDevice()); // "Empty page!!" and the like
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--plain"), languages, QString::number(layout)});
    QDataStream input(&child);
    for (const Sample &sample : samples)
        input << sample.bmp;
    child.closeWriteChannel();
    child.waitForFinished(-1);
    QByteArray output = child.readAllStandardOutput();
    QDataStream results(&output, QIODevice::ReadOnly);
    for (const Sample &sample : samples) {
        double ms = 0;
        QString text;
        results >> ms >> text;
        if (results.status() != QDataStream::Ok || child.exitCode() != 0) {
            std::fprintf(stderr, "plain Tesseract (%s) failed\n", qPrintable(languages));
            return Score();
        }
        score.add(sample, text, ms);
    }
    return score;
}

// The child's side: images on standard input; the milliseconds and the text
// of each on standard output.
int plainTesseractChild(const char *languages, int layout)
{
    // All of it first: a pipe hands over a large image in pieces.
    QFile input;
    input.open(stdin, QIODevice::ReadOnly);
    const QByteArray images = input.readAll();
    QDataStream stream(images);
    QFile output;
    output.open(stdout, QIODevice::WriteOnly);
    QDataStream results(&output);
    tesseract::TessBaseAPI api;
    if (api.Init(nullptr, languages) != 0)
        return 1;
    api.SetPageSegMode(tesseract::PageSegMode(layout));
    while (true) {
        QByteArray bmp;
        stream >> bmp;
        if (stream.status() != QDataStream::Ok)
            break;
        QElapsedTimer timer;
        timer.start();
        const QImage image = QImage::fromData(bmp, "BMP").convertToFormat(QImage::Format_RGB888);
        api.SetImage(image.constBits(), image.width(), image.height(), 3, image.bytesPerLine());
        api.SetSourceResolution(96);
        std::unique_ptr<char[]> text(api.GetUTF8Text());
        results << timer.nsecsElapsed() / 1e6 << QString::fromUtf8(text.get());
    }
    api.End();
    return 0;
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


// The index's truth writes a line break as a backslash and "n", and a
// backslash as two.
QString unescaped(const QByteArray &field)
{
    QByteArray text;
    for (int i = 0; i < field.size(); ++i) {
        if (field.at(i) == '\\' && i + 1 < field.size()) {
            ++i;
            text += field.at(i) == 'n' ? '\n' : field.at(i);
        } else {
            text += field.at(i);
        }
    }
    return QString::fromUtf8(text);
}

// A set of screenshots of real toolkits and programs, made by screens.py
// into a folder of the build tree on the first run.
std::vector<Sample> screenshots(const QString &set)
{
    std::vector<Sample> samples;
    const QString folder = QStringLiteral(ZQP_SCREENS_DIR "/") + set;
    if (!QFile::exists(folder + QStringLiteral("/index.tsv"))) {
        std::printf("making the set %s (%s)...\n", qPrintable(set), ZQP_SCREENS_SCRIPT);
        std::fflush(stdout);
        if (QProcess::execute(QStringLiteral(ZQP_SCREENS_SCRIPT), {QStringLiteral(ZQP_SCREENS_DIR), set}) != 0) {
            std::fprintf(stderr, "screens.py failed; the set %s is left out\n", qPrintable(set));
            return samples;
        }
    }
    QFile index(folder + QStringLiteral("/index.tsv"));
    if (!index.open(QIODevice::ReadOnly))
        return samples;
    // file, set, toolkit, language, half, kind, truth
    for (const QByteArray &row : index.readAll().split('\n')) {
        const QList<QByteArray> fields = row.split('\t');
        if (fields.size() != 7)
            continue;
        Sample sample;
        sample.name = QString::fromUtf8(fields.at(2) + '/' + fields.at(0));
        sample.language = QString::fromUtf8(fields.at(3));
        sample.truth = unescaped(fields.at(6));
        sample.image = QImage(folder + QLatin1Char('/') + QString::fromUtf8(fields.at(0)));
        sample.bmp = bmpOf(sample.image);
        sample.heldOut = fields.at(4) == "held";
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
    return pluginPath(ocr, receiver, one).allMs();
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

// The languages of the engine's table and their language data, as the
// packages list them.
std::vector<std::pair<QString, QString>> languageTable()
{
    std::vector<std::pair<QString, QString>> table;
    QFile file(QStringLiteral(ZQP_LANGUAGES_TABLE));
    if (!file.open(QIODevice::ReadOnly))
        return table;
    for (const QByteArray &row : file.readAll().split('\n')) {
        const QList<QByteArray> fields = row.split('\t');
        if (fields.size() == 3 && !row.startsWith('#'))
            table.emplace_back(QString::fromUtf8(fields.at(0)), QString::fromUtf8(fields.at(1)));
    }
    return table;
}

// The language switched on as a host does: by its engine name, with the
// group of the plugin's table that lists it.
void switchOn(ZQPOcrText *ocr, const QString &language)
{
    const auto groups = ocr->languages();
    for (auto group = groups.begin(); group != groups.end(); ++group) {
        for (const auto &entry : group.value()) {
            if (entry.first == language)
                ocr->setLanguages({language}, group.key());
        }
    }
}

struct Options
{
    QStringList sets;
    QString only;
    bool quick = false;
    bool misreads = false;
    bool heldMisreads = false;
    int renderedCount = 300;
};

std::vector<Sample> filtered(std::vector<Sample> samples, const Options &options)
{
    samples.erase(std::remove_if(samples.begin(), samples.end(),
                                 [&](const Sample &s) { return !s.name.contains(options.only); }),
                  samples.end());
    return samples;
}

struct PlainPath
{
    const char *name;
    int layout;
};

struct Set
{
    const char *name;
    std::vector<Sample> samples;
    std::vector<PlainPath> plain;
};

// Each set and half through plain Tesseract and through the plugin; the
// whole screens' time against plain Tesseract's.
void measureSets(const std::vector<Set> &sets, ZQPOcrText *ocr, Receiver &receiver, const Options &options,
                 QStringList &misreads)
{
    printHeading();
    for (const Set &set : sets) {
        for (const bool held : {false, true}) {
            const std::vector<Sample> samples = half(set.samples, held);
            if (samples.empty() || (options.quick && held))
                continue;
            const char *halfName = held ? "held" : "tune";
            Score plainDefault;
            if (!options.quick) {
                for (const PlainPath &path : set.plain) {
                    const Score plain = plainTesseract(samples, QStringLiteral("eng"), path.layout);
                    plain.print(set.name, halfName, path.name);
                    if (path.layout == tesseract::PSM_AUTO)
                        plainDefault = plain;
                }
            }
            const Score score = pluginPath(ocr, receiver, samples);
            score.print(set.name, halfName, "plugin and engine");
            if (!options.quick && std::strcmp(set.name, "whole screens") == 0)
                std::printf("| %-14s | %-4s | time per screen: plugin %.0f ms, plain Tesseract %.0f ms, x%.2f |\n",
                            set.name, halfName, score.allMs(), plainDefault.allMs(),
                            score.allMs() / std::max(0.001, plainDefault.allMs()));
            if ((held && options.heldMisreads) || (!held && options.misreads))
                misreads << score.misreads;
        }
    }
}

// Each language's lines through a plugin with that language switched on,
// and through plain Tesseract with that language alone and with English.
void measureLanguages(const std::vector<Sample> &lines, Receiver &receiver, const Options &options,
                      QStringList &misreads)
{
    std::printf("| language | half | lines | plugin CER | exact | alone --psm 7 CER | exact | "
                "eng+ --psm 7 CER | exact |\n|---|---|---|---|---|---|---|---|---|\n");
    Score total[2][3];
    for (const auto &[language, code] : languageTable()) {
        std::vector<Sample> samples;
        std::copy_if(lines.begin(), lines.end(), std::back_inserter(samples),
                     [&](const Sample &s) { return s.language == language; });
        if (samples.empty())
            continue;
        const Plugin plugin = loadPlugin(receiver);
        if (!plugin.ocr)
            return;
        switchOn(plugin.ocr, language);
        oneCall(plugin.ocr, receiver, samples.front()); // loads the language's data
        for (const bool held : {false, true}) {
            const std::vector<Sample> part = half(samples, held);
            if (part.empty() || (options.quick && held))
                continue;
            Score scores[3];
            scores[0] = pluginPath(plugin.ocr, receiver, part);
            if (!options.quick) {
                scores[1] = plainTesseract(part, code, tesseract::PSM_SINGLE_LINE);
                scores[2] = plainTesseract(part, code == QLatin1String("eng") ? code : QStringLiteral("eng+") + code,
                                           tesseract::PSM_SINGLE_LINE);
            }
            std::printf("| %-19s | %-4s | %5d | %6.2f %% | %5.1f %% | %6.2f %% | %5.1f %% | %6.2f %% | %5.1f %% |\n",
                        qPrintable(language), held ? "held" : "tune", scores[0].items, scores[0].cer(),
                        scores[0].exactShare(), scores[1].cer(), scores[1].exactShare(), scores[2].cer(),
                        scores[2].exactShare());
            for (int i = 0; i < 3; ++i)
                total[held][i].add(scores[i]);
            if ((held && options.heldMisreads) || (!held && options.misreads))
                misreads << scores[0].misreads;
        }
        unloadPlugin(plugin);
    }
    for (const bool held : {false, true}) {
        const Score *scores = total[held];
        std::printf("| %-19s | %-4s | %5d | %6.2f %% | %5.1f %% | %6.2f %% | %5.1f %% | %6.2f %% | %5.1f %% |\n", "all",
                    held ? "held" : "tune", scores[0].items, scores[0].cer(), scores[0].exactShare(), scores[1].cer(),
                    scores[1].exactShare(), scores[2].cer(), scores[2].exactShare());
    }
}

// The plugin on the held-out halves of every set, each language switched
// on for its own lines, with the engine's correction rules switched off by
// NSOCR_RULES_OFF (read at every recognition).
Score heldOutScore(const std::vector<Set> &sets, const std::vector<Sample> &languageLines, Receiver &receiver,
              const QByteArray &rulesOff)
{
    qputenv("NSOCR_RULES_OFF", rulesOff);
    Score score;
    const Plugin plugin = loadPlugin(receiver);
    if (!plugin.ocr)
        return score;
    for (const Set &set : sets)
        score.add(pluginPath(plugin.ocr, receiver, half(set.samples, true)));
    unloadPlugin(plugin);
    for (const auto &entry : languageTable()) {
        std::vector<Sample> samples;
        std::copy_if(languageLines.begin(), languageLines.end(), std::back_inserter(samples),
                     [&](const Sample &s) { return s.heldOut && s.language == entry.first; });
        if (samples.empty())
            continue;
        const Plugin own = loadPlugin(receiver);
        if (!own.ocr)
            continue;
        switchOn(own.ocr, entry.first);
        score.add(pluginPath(own.ocr, receiver, samples));
        unloadPlugin(own);
    }
    qunsetenv("NSOCR_RULES_OFF");
    return score;
}

// What each correction rule does to the held-out halves: the reading with
// it switched off against the reading with every rule on.
void measureRules(const std::vector<Set> &sets, const std::vector<Sample> &languageLines, Receiver &receiver)
{
    const Score all = heldOutScore(sets, languageLines, receiver, QByteArray());
    std::printf("held-out halves, %d items; every rule on: CER %.3f %%, exact %.2f %%\n"
                "| rule off | CER | change | exact | change |\n|---|---|---|---|---|\n",
                all.items, all.cer(), all.exactShare());
    std::vector<const char *> names(std::begin(correctionRuleNames), std::end(correctionRuleNames));
    names.push_back("all");
    for (const char *name : names) {
        const Score off = heldOutScore(sets, languageLines, receiver, name);
        std::printf("| %-20s | %6.3f %% | %+6.3f | %6.2f %% | %+6.2f |\n", name, off.cer(), off.cer() - all.cer(),
                    off.exactShare(), off.exactShare() - all.exactShare());
    }
}

} // namespace

// bench_ocr [rendered line count] [--sets=lines,regions,screens,languages,first-call,stall] [--rules]
//           [--misreads] [--held-misreads] [--quick] [--only=NAME]
// --sets measures only the sections named; --rules adds each correction
// rule's effect on the held-out halves. Misreads of the held-out half are
// for the final report only, never for tuning. --quick measures the
// plugin's tuning half alone, --only the crops whose names contain NAME.
int main(int argc, char **argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--plain") == 0)
        return plainTesseractChild(argv[2], std::atoi(argv[3]));
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QElapsedTimer wall;
    wall.start();
    Options options;
    QStringList arguments = app.arguments();
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == QLatin1String("--sets") && i + 1 < arguments.size())
            options.sets = arguments.at(++i).split(QLatin1Char(','));
        else if (argument.startsWith(QLatin1String("--sets=")))
            options.sets = argument.mid(7).split(QLatin1Char(','));
        else if (argument.startsWith(QLatin1String("--only=")))
            options.only = argument.mid(7);
        else if (argument == QLatin1String("--quick"))
            options.quick = true;
        else if (argument == QLatin1String("--misreads"))
            options.misreads = true;
        else if (argument == QLatin1String("--held-misreads"))
            options.heldMisreads = true;
        else if (argument == QLatin1String("--rules"))
            options.sets << QStringLiteral("rules");
        else if (argument.toInt() > 0)
            options.renderedCount = argument.toInt();
    }
    if (options.sets.isEmpty() || options.sets == QStringList{QStringLiteral("rules")})
        options.sets << QStringList{QStringLiteral("lines"), QStringLiteral("regions"), QStringLiteral("screens"),
                                    QStringLiteral("languages"), QStringLiteral("first-call"), QStringLiteral("stall")};
    const auto wanted = [&](const char *section) {
        return options.sets.contains(QLatin1String(section)) && (!options.quick || std::strcmp(section, "rules") != 0);
    };
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    std::mt19937 random(20241209);
    const std::vector<Sample> rendered = renderedLines(options.renderedCount, random);
    std::vector<Set> sets;
    if (wanted("lines") || wanted("rules")) {
        sets.push_back({"rendered", filtered(rendered, options), {{"plain Tesseract", 3}, {"plain Tesseract --psm 7", 7}}});
        sets.push_back({"toolkit lines", filtered(screenshots(QStringLiteral("lines")), options),
                        {{"plain Tesseract", 3}, {"plain Tesseract --psm 7", 7}}});
    }
    if (wanted("regions") || wanted("rules"))
        sets.push_back({"regions", filtered(screenshots(QStringLiteral("regions")), options),
                        {{"plain Tesseract", 3}, {"plain Tesseract --psm 6", 6}}});
    if (wanted("screens") || wanted("rules"))
        sets.push_back({"whole screens", filtered(screenshots(QStringLiteral("screens")), options),
                        {{"plain Tesseract", 3}, {"plain Tesseract --psm 6", 6}}});
    const std::vector<Sample> languageLines = wanted("languages") || wanted("rules")
            ? filtered(screenshots(QStringLiteral("languages")), options)
            : std::vector<Sample>();

    QDir::setCurrent(QStringLiteral(ZQP_STAGE_DIR));
    Receiver receiver;
    if (wanted("first-call") && !options.quick)
        measureFirstCall(receiver, rendered.front());

    const Plugin plugin = loadPlugin(receiver);
    if (!plugin.ocr) {
        std::fprintf(stderr, "cannot load the OCR plugin or start its engine\n");
        return 1;
    }
    oneCall(plugin.ocr, receiver, rendered.front()); // starts the recogniser

    QStringList misreads;
    std::vector<Set> measured;
    for (const Set &set : sets) {
        const bool isLines = std::strcmp(set.name, "rendered") == 0 || std::strcmp(set.name, "toolkit lines") == 0;
        if ((isLines && wanted("lines")) || (std::strcmp(set.name, "regions") == 0 && wanted("regions"))
            || (std::strcmp(set.name, "whole screens") == 0 && wanted("screens")))
            measured.push_back(set);
    }
    if (!measured.empty()) {
        std::printf("\n");
        for (const Set &set : measured)
            std::printf("%s: %d items\n", set.name, int(set.samples.size()));
        measureSets(measured, plugin.ocr, receiver, options, misreads);
    }
    if (wanted("languages")) {
        std::printf("\nlanguages: %d lines of real toolkits; the plugin with that language switched on as a host "
                    "does (English stays on)\n", int(languageLines.size()));
        measureLanguages(languageLines, receiver, options, misreads);
    }
    if (!misreads.isEmpty())
        std::printf("misread by the plugin:\n%s\n", qPrintable(misreads.join(QLatin1Char('\n'))));
    if (wanted("rules")) {
        std::printf("\ncorrection rules, each switched off alone:\n");
        measureRules(sets, languageLines, receiver);
    }
    if (wanted("stall") && !options.quick)
        measureStall(plugin.ocr, receiver, bmpOf(fullScreen(random)));
    unloadPlugin(plugin);
    std::printf("\nthe benchmark took %.0f s\n", wall.elapsed() / 1000.0);
    return 0;
}

#include "bench_ocr.moc"
