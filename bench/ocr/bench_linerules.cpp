// What each of the line reader's correction rules does to the screenshots
// of real toolkits that bench_ocr makes: character error rate and lines
// read exactly on each half, with every rule, without each one in turn, and
// without any. The recogniser reads each crop once, as the engine does;
// only the line reader runs again for each rule, so the figures of all
// rules come in one run.
//
// bench_linerules [screens folder]
#include "firstpass.h"
#include "linetext.h"
#include "rulenames.h"

#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include <QCoreApplication>
#include <QFile>
#include <QStringList>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

// A crop as the recogniser left it: its lines of glyphs and its 1-bit image.
struct Read
{
    QString truth;
    bool heldOut = false;
    PreparedImage image;
    PixPtr binary;
    std::vector<GlyphLine> lines;
};

int distance(const QString &a, const QString &b)
{
    std::vector<int> row(size_t(b.size()) + 1);
    for (int j = 0; j <= b.size(); ++j)
        row[size_t(j)] = j;
    for (int i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = i;
        for (int j = 1; j <= b.size(); ++j) {
            const int above = row[size_t(j)];
            row[size_t(j)] = std::min({above + 1, row[size_t(j) - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[size_t(b.size())];
}

// The recogniser's glyphs of the crop, read with the engine's settings:
// a single line as a line, and where that finds nothing, as a word.
bool recognise(tesseract::TessBaseAPI &api, Read &read)
{
    const auto pass = [&](tesseract::PageSegMode mode) {
        api.SetPageSegMode(mode);
        api.SetImage(read.image.pix.get());
        if (api.Recognize(nullptr) != 0)
            return false;
        read.binary.reset(api.GetThresholdedImage());
        const std::unique_ptr<tesseract::ResultIterator> it(api.GetIterator());
        read.lines = readGlyphs(it.get());
        api.Clear();
        return true;
    };
    const bool singleLine = read.image.layout == PageLayout::SingleLine;
    if (!pass(singleLine ? tesseract::PSM_SINGLE_LINE : tesseract::PSM_AUTO))
        return false;
    return !singleLine || !read.lines.empty() || pass(tesseract::PSM_SINGLE_WORD);
}

void score(const std::vector<Read> &reads, const char *off)
{
    qputenv("NSOCR_RULES_OFF", off);
    for (const bool held : {false, true}) {
        long errors = 0;
        long characters = 0;
        int exact = 0;
        int count = 0;
        for (const Read &read : reads) {
            if (read.heldOut != held)
                continue;
            std::string text;
            for (const GlyphLine &line : read.lines)
                text += (text.empty() ? "" : "\n") + lineText(line, read.binary.get(), read.image);
            const QString got = QString::fromStdString(text).trimmed();
            const int wrong = distance(got, read.truth);
            errors += wrong;
            characters += read.truth.size();
            exact += wrong == 0;
            ++count;
        }
        std::printf("| %-18s | %s | %4d | %6.2f %% | %5.1f %% |\n", *off ? off : "(all on)", held ? "held" : "tune",
                    count, 100.0 * errors / std::max(1L, characters), 100.0 * exact / std::max(1, count));
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(ZQP_SCREENS_DIR);
    QFile index(folder + QStringLiteral("/index.tsv"));
    if (!index.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "no %s: run bench_ocr first, which makes the screenshots\n",
                     qPrintable(index.fileName()));
        return 1;
    }
    tesseract::TessBaseAPI api;
    if (api.Init(ZQP_TESSDATA_DIR, "eng", tesseract::OEM_LSTM_ONLY) != 0) {
        std::fprintf(stderr, "Tesseract does not start with English from %s\n", ZQP_TESSDATA_DIR);
        return 1;
    }
    api.SetVariable("tessedit_do_invert", "0");
    std::vector<Read> reads;
    for (const QByteArray &row : index.readAll().split('\n')) {
        const QList<QByteArray> fields = row.split('\t');
        if (fields.size() != 5)
            continue;
        PixPtr source(pixRead(qPrintable(folder + QLatin1Char('/') + QString::fromUtf8(fields.at(0)))));
        Read read;
        read.truth = QString::fromUtf8(fields.at(4));
        read.heldOut = fields.at(2) == "held";
        read.image = prepareImage(source.get());
        if (read.image.pix && recognise(api, read))
            reads.push_back(std::move(read));
    }
    std::printf("%d screenshots\n| rules off          | half | crops |    CER   | exact  |\n", int(reads.size()));
    score(reads, "");
    for (const char *rule : correctionRuleNames)
        score(reads, rule);
    score(reads, "all");
    return 0;
}
