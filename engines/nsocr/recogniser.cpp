#include "recogniser.h"

#include "linetext.h"
#include "nsocr.h"
#include "script.h"

#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <thread>

#ifdef _OPENMP
#include <omp.h>
#endif

namespace {

#if defined(_WIN32)
const char nullDevice[] = "NUL";
#else
const char nullDevice[] = "/dev/null";
#endif

bool cancelRequested(void *cancel, int)
{
    return static_cast<const std::atomic<bool> *>(cancel)->load();
}

void endApi(tesseract::TessBaseAPI *api)
{
    api->End();
    delete api;
}

// Whether a group holds any of the languages.
template<size_t count>
bool inGroup(const std::string &group, const char *const (&languages)[count])
{
    std::istringstream in(group);
    for (std::string code; std::getline(in, code, '+');) {
        if (std::find(std::begin(languages), std::end(languages), code) != std::end(languages))
            return true;
    }
    return false;
}

// Whether every language of a group is written in English's alphabet.
bool alphabetOfEnglish(const std::string &group)
{
    static const char *const otherScripts[] = {"ara", "bul", "chi_sim", "chi_tra", "jpn", "kor", "rus"};
    return !inGroup(group, otherScripts);
}

// Arabic's model reads screen text best at the screen's size: upscaled,
// its letters' dots blur into other letters' ("ن" read as "ت").
bool readsAtScreenSize(const std::string &group)
{
    static const char *const screenSize[] = {"ara"};
    return inGroup(group, screenSize);
}

// Tesseract groups to read with, most wanted first. English is always on,
// but a language the host switched on is what its text is most likely in:
// its own model reads it best, and English text reads best alone. A line
// in another alphabet may hold English words too (a file's name, a path):
// there the host's model reads first and English takes the words it is
// unsure of. Cyrillic and Hangul set their words apart with spaces as
// English does, and their lines often hold an English name: their models
// read those best with English's beside them. Beside English's, though,
// they take some short words of their own for English ones ("폴더" read
// as "Bo"): their model reads the line alone as well. Arabic, joined from
// right to left, and Chinese and Japanese, set without spaces, read worse
// so: English's model takes some of their glyphs for Latin letters.
std::vector<std::string> groupsOf(const std::string &languages)
{
    std::vector<std::string> others;
    bool english = false;
    std::istringstream in(languages);
    for (std::string code; std::getline(in, code, '+');) {
        if (code == "eng")
            english = true;
        else if (!code.empty())
            others.push_back(code);
    }
    std::vector<std::string> groups;
    if (!others.empty()) {
        std::string group;
        for (const std::string &code : others)
            group += (group.empty() ? "" : "+") + code;
        static const char *const spacedWords[] = {"bul", "kor", "rus"};
        if (english && inGroup(group, spacedWords))
            groups.push_back(group + "+eng");
        groups.push_back(group);
    }
    if (english)
        groups.emplace_back("eng");
    return groups;
}

// The image's pixels in a rectangle, as an image of their own.
PixPtr clipped(Pix *image, const LineBox &box)
{
    Box *region = boxCreate(box.left, box.top, box.right - box.left + 1, box.bottom - box.top + 1);
    PixPtr clip(region ? pixClipRectangle(image, region, nullptr) : nullptr);
    boxDestroy(&region);
    return clip;
}

// The line's crop, where it was joined from cells, with the columns
// between them blank in its background's tone.
PixPtr lineCrop(Pix *source, const LineBox &box)
{
    PixPtr clip = clipped(source, box);
    if (!clip || box.gaps.empty())
        return clip;
    PixPtr grey(pixConvertTo8(clip.get(), 0));
    l_uint32 background = 0;
    if (!grey || pixGetRankValue(grey.get(), 1, 0.5f, &background))
        return clip;
    for (const auto &gap : box.gaps) {
        Box *blank = boxCreate(gap.first - box.left, 0, gap.second - gap.first + 1, box.height());
        pixSetInRectArbitrary(grey.get(), blank, background);
        boxDestroy(&blank);
    }
    return grey;
}

// The recogniser's OpenMP loops would otherwise spin up a team per call
// and fight over the cores, several times slower than one thread; and
// letting the runtime size its teams costs it system calls at every loop.
// With no parallel level active every loop runs in the calling thread.
// Settings made through the environment come too late once the process
// runs.
void singleThreadedLoops()
{
#ifdef _OPENMP
    omp_set_max_active_levels(0);
#endif
}

} // namespace

struct Recogniser::Reading
{
    std::string text; // the recogniser's own, or the rules' reading of the glyphs
    float confidence = 0; // the recogniser's, over the line's characters
    std::vector<GlyphLine> glyphs; // none where the recogniser's own text stands
    PixPtr binary; // the recogniser's, that the rules read
    const PreparedImage *image = nullptr; // the line it read
};

namespace {

std::string textOf(const std::vector<GlyphLine> &glyphs, Pix *binary, const PreparedImage &line)
{
    std::string text;
    for (const GlyphLine &glyphLine : glyphs) {
        if (!text.empty())
            text += ' ';
        text += lineText(glyphLine, binary, line);
    }
    return text;
}

} // namespace

// An icon or a picture beside a page's text reads as a letter or two, and
// less surely than any text on a screen.
bool Recogniser::readsAsIcon(const Reading &reading)
{
    constexpr size_t fewest = 3;
    constexpr float unsure = 97;
    const auto spaces = size_t(std::count(reading.text.begin(), reading.text.end(), ' '));
    return size_t(codePoints(reading.text)) <= fewest + spaces && reading.confidence < unsure;
}

Recogniser::Recogniser()
    : m_readers(std::clamp(std::thread::hardware_concurrency(), 1u, 4u))
{
}

Recogniser::~Recogniser() = default;

int32_t Recogniser::start(const RecogniserSetup &setup)
{
    const std::vector<std::string> groups = groupsOf(setup.languages);
    if (groups.empty())
        return ERROR_NOLANGUAGE;
    m_groups = groups;
    m_latinFirst = alphabetOfEnglish(groups.front());
    for (Reader &reader : m_readers) {
        if (setup.dataDirectory != m_dataDirectory)
            reader.clear();
        for (auto it = reader.begin(); it != reader.end();)
            it = std::find(groups.begin(), groups.end(), it->first) == groups.end() ? reader.erase(it) : std::next(it);
        for (const std::string &group : groups) {
            if (reader.count(group))
                continue;
            Api api(new tesseract::TessBaseAPI, endApi);
            // Tesseract's messages ("Empty page!!") would reach the host's
            // streams; what happened is told by the engine's results.
            api->SetVariable("debug_file", nullDevice);
            if (api->Init(setup.dataDirectory.c_str(), group.c_str(), tesseract::OEM_LSTM_ONLY) != 0) {
                m_dataDirectory.clear();
                return ERROR_ENGINEINIT;
            }
            // The first pass has made the text dark on light already; a
            // second try on the inverted line would only cost time.
            api->SetVariable("tessedit_do_invert", "0");
            reader.emplace(group, std::move(api));
        }
    }
    m_dataDirectory = setup.dataDirectory;
    // Tesseract's shared caches come to life with the first start, so they
    // die at exit before the engine's objects, which would then release
    // into them. A host may well exit with the engine still running: release
    // its objects first.
    [[maybe_unused]] static const int releaseAtExit = std::atexit([] { Engine_Uninitialize(); });
    return 0;
}

int32_t Recogniser::readLine(tesseract::TessBaseAPI *api, const PreparedImage &line,
                             const std::atomic<bool> &cancel, Reading &reading)
{
    std::string ownText;
    const auto read = [&](tesseract::PageSegMode mode, std::vector<GlyphLine> &glyphs, PixPtr &binary) -> int32_t {
        api->SetPageSegMode(mode);
        api->SetImage(line.pix.get());
        tesseract::ETEXT_DESC monitor;
        monitor.cancel = cancelRequested;
        monitor.cancel_this = const_cast<std::atomic<bool> *>(&cancel);
        const int recognised = api->Recognize(&monitor);
        if (cancel)
            return ERROR_JOBCANCELLED;
        if (recognised != 0)
            return ERROR_OPERATIONFAILED;
        binary.reset(api->GetThresholdedImage());
        const std::unique_ptr<tesseract::ResultIterator> it(api->GetIterator());
        glyphs = readGlyphs(it.get());
        const std::unique_ptr<char[]> own(api->GetUTF8Text());
        ownText = own ? own.get() : "";
        std::replace(ownText.begin(), ownText.end(), '\n', ' ');
        // The marks it sets round a word of the other direction are no text.
        for (const char *mark : {"\u200e", "\u200f"}) {
            for (size_t at = ownText.find(mark); at != std::string::npos; at = ownText.find(mark, at))
                ownText.erase(at, std::strlen(mark));
        }
        ownText.erase(ownText.find_last_not_of(' ') + 1);
        reading.confidence = 0;
        if (it) {
            float sum = 0;
            int characters = 0;
            it->Begin();
            do {
                if (it->Empty(tesseract::RIL_SYMBOL))
                    continue;
                sum += it->Confidence(tesseract::RIL_SYMBOL);
                ++characters;
            } while (it->Next(tesseract::RIL_SYMBOL));
            reading.confidence = characters ? sum / characters : 0;
        }
        api->Clear();
        return 0;
    };
    std::vector<GlyphLine> glyphs;
    PixPtr binary;
    if (const int32_t result = read(tesseract::PSM_SINGLE_LINE, glyphs, binary))
        return result;
    // The line finder may take all of a short line's letters for noise,
    // most often beside a frame: read such a line once more as one word.
    if (glyphs.empty()) {
        if (const int32_t result = read(tesseract::PSM_SINGLE_WORD, glyphs, binary))
            return result;
    }
    // Arabic runs from right to left, and the recogniser's characters come
    // in the order they stand on the screen: its own text of the line is
    // in reading order. Hangul too keeps the recogniser's own text, word
    // spaces and all; no rule reads either script's glyphs.
    const bool ownOrder = std::any_of(glyphs.begin(), glyphs.end(), [](const GlyphLine &glyphLine) {
        return std::any_of(glyphLine.begin(), glyphLine.end(), [](const Glyph &glyph) {
            const Script script = scriptOf(glyph.text);
            return script == Script::Arabic || script == Script::Hangul;
        });
    });
    if (ownOrder) {
        reading.text = ownText;
        return 0;
    }
    reading.glyphs = std::move(glyphs);
    reading.binary = std::move(binary);
    return 0;
}

int32_t Recogniser::readBest(Reader &reader, Pix *source, const PreparedImage &line,
                             const std::atomic<bool> &cancel, Reading &best)
{
    PreparedImage screenSize;
    for (size_t i = 0; i < m_groups.size(); ++i) {
        // A model for a language in the Latin alphabet reads English words
        // as well, and English takes the line only where it is unsure. One
        // for another script reads English letters as its own, sure of
        // itself: there both read, and a clearly surer reading stands, as
        // English's of English text does. Where the line's own language's
        // reading stands, English's gives it the words with English's marks
        // that it reads more surely.
        constexpr float sure = 80;
        constexpr float surer = 5;
        const bool screenSized = readsAtScreenSize(m_groups[i]);
        if (screenSized && !screenSize.pix)
            screenSize = prepareImage(source, true, Scaling::ScreenSize);
        Reading reading;
        reading.image = screenSized && screenSize.pix ? &screenSize : &line;
        if (const int32_t result = readLine(reader.at(m_groups[i]).get(), *reading.image, cancel, reading))
            return result;
        // A language's model alone, after it read with English's beside
        // it, stands where it is as sure.
        const bool alone = i > 0 && m_groups[i] != "eng";
        const bool surerReading = i == 0 || (alone ? reading.confidence >= best.confidence
                                                   : reading.confidence > best.confidence + surer);
        if (surerReading && (i == 0 || !m_latinFirst || best.confidence < sure)) {
            best = std::move(reading);
        } else if (m_groups[i] == "eng") {
            for (GlyphLine &glyphLine : best.glyphs)
                glyphLine = withEnglishWords(glyphLine, reading.glyphs);
        }
    }
    // The rules read the glyphs of the reading that stands, once.
    if (!best.glyphs.empty())
        best.text = textOf(best.glyphs, best.binary.get(), *best.image);
    best.image = nullptr; // the images read die here
    return 0;
}

int32_t Recogniser::readLines(Pix *source, const std::vector<LineBox> &lines, const std::atomic<bool> &cancel,
                              std::string &text)
{
    std::vector<std::string> texts(lines.size());
    std::atomic<size_t> next(0);
    std::atomic<int32_t> failure(0);
    const auto read = [&](Reader &reader) {
        singleThreadedLoops();
        for (size_t i = next++; i < lines.size() && !failure; i = next++) {
            int32_t result = cancel ? ERROR_JOBCANCELLED : 0;
            if (!result) {
                const PixPtr crop = lineCrop(source, lines[i]);
                const PreparedImage line = crop ? prepareImage(crop.get(), true) : PreparedImage();
                Reading reading;
                if (line.pix)
                    result = readBest(reader, crop.get(), line, cancel, reading);
                if (!readsAsIcon(reading))
                    texts[i] = reading.text;
            }
            int32_t none = 0;
            if (result)
                failure.compare_exchange_strong(none, result);
        }
    };
    std::vector<std::thread> helpers;
    for (size_t i = 1; i < m_readers.size() && i < lines.size(); ++i)
        helpers.emplace_back(read, std::ref(m_readers[i]));
    read(m_readers.front());
    for (std::thread &helper : helpers)
        helper.join();
    if (failure)
        return failure;
    for (const std::string &lineText : texts) {
        if (lineText.empty())
            continue;
        if (!text.empty())
            text += '\n';
        text += lineText;
    }
    return 0;
}

int32_t Recogniser::recognise(const RecogniserSetup &setup, Pix *source, const std::atomic<bool> &cancel,
                              std::string &text)
{
    singleThreadedLoops();
    if (const int32_t started = start(setup))
        return started;
    text.clear();
    PreparedImage page = prepareImage(source);
    if (!page.pix)
        return ERROR_CANNOTDECODE;
    if (page.layout == PageLayout::SingleLine) {
        Reading reading;
        const int32_t result = readBest(m_readers.front(), source, page, cancel, reading);
        text = reading.text;
        return result;
    }
    const std::vector<LineBox> lines = findLines(page);
    page = {};
    return readLines(source, lines, cancel, text);
}

void Recogniser::warmUp(const RecogniserSetup &setup)
{
    // A line of strokes of screen-text size, prepared like any image, so
    // that the recogniser allocates what a real line needs.
    PixPtr line(pixCreate(60, 16, 8));
    if (!line)
        return;
    pixSetAll(line.get());
    for (int x = 4; x < 56; x += 7)
        pixRasterop(line.get(), x, 3, 2, x % 3 ? 10 : 7, PIX_CLR, nullptr, 0, 0);
    singleThreadedLoops();
    const PreparedImage prepared = prepareImage(line.get());
    if (!prepared.pix || start(setup))
        return;
    const std::atomic<bool> never(false);
    for (Reader &reader : m_readers) {
        Reading reading;
        readBest(reader, line.get(), prepared, never, reading);
    }
}
