#include "linetext.h"

#include "firstpass.h"
#include "rulenames.h"
#include "script.h"

#include <leptonica/allheaders.h>
#include <tesseract/resultiterator.h>

#include <algorithm>
#include <bitset>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <optional>

namespace {

constexpr int ruleCount = int(std::size(correctionRuleNames));

constexpr bool sameName(const char *a, const char *b)
{
    while (*a && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

// The rule's place in correctionRuleNames; a name missing there does not
// compile where a constant needs it.
constexpr int ruleNamed(const char *name)
{
    for (int i = 0; i < ruleCount; ++i) {
        if (sameName(correctionRuleNames[i], name))
            return i;
    }
    return -1;
}

// The rules that act on the line as a whole; the glyph rules' table names
// its own.
constexpr int inkColumns = ruleNamed("ink-columns");
constexpr int extraBackslash = ruleNamed("extra-backslash");
constexpr int wordGap = ruleNamed("word-gap");
constexpr int monospaceCells = ruleNamed("monospace-cells");
constexpr int cjkNoSpace = ruleNamed("cjk-no-space");
constexpr int underscoreGap = ruleNamed("underscore-gap");
constexpr int underscoreInWord = ruleNamed("underscore-in-word");
static_assert(std::min({inkColumns, extraBackslash, wordGap, monospaceCells, cjkNoSpace, underscoreGap,
                        underscoreInWord})
                      >= 0,
              "a line rule without a name in rulenames.h");

// Which rules NSOCR_RULES_OFF switches off, read at every line so that a
// host may change it between jobs.
class RuleSwitches
{
public:
    static RuleSwitches fromEnvironment()
    {
        RuleSwitches switches;
        const char *value = std::getenv("NSOCR_RULES_OFF");
        std::string names = value ? value : "";
        names += ',';
        for (size_t from = 0, comma = 0; (comma = names.find(',', from)) != std::string::npos; from = comma + 1) {
            const std::string name = names.substr(from, comma - from);
            if (name.empty())
                continue;
            if (name == "all") {
                switches.m_off.set();
                continue;
            }
            int rule = 0;
            while (rule < ruleCount && name != correctionRuleNames[rule])
                ++rule;
            if (rule < ruleCount)
                switches.m_off.set(size_t(rule));
            else
                warnUnknown(name);
        }
        return switches;
    }

    bool on(int rule) const { return !m_off.test(size_t(rule)); }

private:
    // Once for each name a thread meets, not at every line.
    static void warnUnknown(const std::string &name)
    {
        thread_local std::vector<std::string> warned;
        if (std::find(warned.begin(), warned.end(), name) != warned.end())
            return;
        warned.push_back(name);
        std::fprintf(stderr, "NSOCR_RULES_OFF: no correction rule is named \"%s\"\n", name.c_str());
    }

    std::bitset<ruleCount> m_off;
};

int median(std::vector<int> values, int fallback)
{
    if (values.empty())
        return fallback;
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

bool isOneOf(const Glyph &glyph, const char *characters)
{
    return glyph.text.size() == 1 && std::strchr(characters, glyph.text[0]);
}

// Whether the glyph is one character of `characters`, a UTF-8 string. A
// whole character of UTF-8 is found only where it stands in full.
bool isAmong(const Glyph &glyph, const char *characters)
{
    return !glyph.text.empty() && codePoints(glyph.text) == 1 && std::strstr(characters, glyph.text.c_str());
}

bool isAlnum(const Glyph &glyph)
{
    return glyph.text.size() == 1 && std::isalnum(static_cast<unsigned char>(glyph.text[0]));
}

// Characters the recogniser confuses with a plain upright bar.
bool barLike(const Glyph &glyph)
{
    return isOneOf(glyph, "Il1|![]");
}

// Ink in the rectangle, clipped to the image.
class Ink
{
public:
    explicit Ink(Pix *binary)
        : m_pix(binary)
        , m_width(binary ? int(pixGetWidth(binary)) : 0)
        , m_height(binary ? int(pixGetHeight(binary)) : 0)
    {
    }

    bool at(int x, int y) const
    {
        if (x < 0 || y < 0 || x >= m_width || y >= m_height)
            return false;
        l_uint32 value = 0;
        pixGetPixel(m_pix, x, y, &value);
        return value != 0;
    }
    bool column(int x, int top, int bottom) const
    {
        for (int y = top; y <= bottom; ++y) {
            if (at(x, y))
                return true;
        }
        return false;
    }
    Pix *pix() const { return m_pix; }
    explicit operator bool() const { return m_pix; }

private:
    Pix *m_pix;
    int m_width;
    int m_height;
};

// The line's measures, from the characters whose shape is known.
struct Metrics
{
    int xHeight = 0;
    int baseline = 0; // the bottom of letters without descenders

    // The line's own measure of a pixel or two at the usual scale: how far
    // two tops or two bottoms lie apart to differ (a twelfth of the
    // x-height), and how far a bottom may stray from the baseline and still
    // stand on it (a twenty-fourth).
    int nudge() const { return std::max(1, (xHeight + 6) / 12); }
    int edge() const { return std::max(1, (xHeight + 12) / 24); }
};

Metrics metricsOf(const GlyphLine &line)
{
    std::vector<int> xHeights;
    std::vector<int> bottoms;
    std::vector<int> heights;
    for (const Glyph &glyph : line) {
        heights.push_back(glyph.bottom - glyph.top + 1);
        // Small letters that neither ascend nor descend, in the alphabets
        // whose lines have an x-height.
        const bool small = isAmong(glyph, "acemnorsuvwxz\u0430\u0432\u0433\u0435\u0438\u043a\u043b\u043c\u043d"
                                          "\u043e\u043f\u0441\u0442\u0445\u044c\u044f\u03b1\u03b5\u03b9\u03ba"
                                          "\u03bd\u03bf\u03c3\u03c4\u03c5\u03c9");
        if (small)
            xHeights.push_back(glyph.bottom - glyph.top + 1);
        if (small || (isAlnum(glyph) && !isOneOf(glyph, "gjpqyQ")))
            bottoms.push_back(glyph.bottom);
    }
    Metrics metrics;
    metrics.xHeight = std::max(2, median(xHeights, median(heights, 10) * 2 / 3));
    metrics.baseline = median(bottoms, line.empty() ? 0 : line.front().bottom);
    return metrics;
}

int spaceThreshold(const Metrics &metrics)
{
    // A quarter of the x-height: below the narrowest space of the fonts
    // measured, above the gaps that punctuation leaves inside a word.
    return std::max(1, metrics.xHeight / 4);
}

// Ink lying flat on the baseline across a gap, and nothing above it. Inside
// a word, where the recogniser's boxes give no gap, a letter's foot lies
// there too: there the ink must lie under the baseline, as wide as a letter.
bool underscoreIn(const Ink &ink, int left, int right, const Metrics &metrics, bool insideWord = false)
{
    const int low = insideWord ? metrics.baseline + 1 : metrics.baseline - metrics.xHeight / 4;
    const int minWidth = insideWord ? metrics.xHeight / 2 : metrics.nudge();
    const int deep = metrics.baseline + metrics.xHeight / 2;
    // The word boxes are rough: the gap is where the letters beside it end.
    const auto letterAt = [&](int x) {
        return ink.column(x, metrics.baseline - metrics.xHeight - metrics.xHeight / 2, low - 1);
    };
    while (left <= right && letterAt(left))
        ++left;
    while (right >= left && letterAt(right))
        --right;
    if (right - left + 1 < minWidth)
        return false;
    int inked = 0;
    for (int x = left; x <= right; ++x) {
        if (letterAt(x))
            return false;
        inked += ink.column(x, low, deep);
    }
    if (inked * 10 < (right - left + 1) * 7)
        return false;
    // A border line under the whole text runs on far beyond the gap on
    // both sides; an underscore ends under the neighbouring letters.
    const int reach = 2 * metrics.xHeight;
    for (int y = low; y <= deep; ++y) {
        bool through = true;
        for (int x = left - reach; x <= right + reach && through; ++x)
            through = ink.at(x, y);
        if (through)
            return false;
    }
    return true;
}

// The image's pixels in a rectangle, as an image of their own.
PixPtr clipped(Pix *image, int left, int top, int width, int height)
{
    Box *region = boxCreate(left, top, width, height);
    PixPtr clip(region ? pixClipRectangle(image, region, nullptr) : nullptr);
    boxDestroy(&region);
    return clip;
}

// A connected piece of ink, or a character's box, in the image's pixels.
struct Piece
{
    int left = 0;
    int top = 0;
    int right = 0; // inclusive
    int bottom = 0;
    int width() const { return right - left + 1; }
    int height() const { return bottom - top + 1; }
    int centre() const { return (left + right) / 2; }
    bool centredIn(int from, int to) const { return centre() >= from && centre() <= to; }
};

// The most columns side by side between left and right without ink, over
// the height of the line's letters.
int widestBlank(const Ink &ink, int left, int right, const Metrics &metrics)
{
    int widest = 0;
    int blank = 0;
    for (int x = left; x <= right; ++x) {
        blank = ink.column(x, metrics.baseline - 2 * metrics.xHeight, metrics.baseline + metrics.xHeight / 2)
                ? 0
                : blank + 1;
        widest = std::max(widest, blank);
    }
    return widest;
}

// A straight quote's strokes run straight down, however they taper; a
// curly one's tail swings aside from its head, as a comma's does. The
// middle of each row's ink shows which.
bool straightMark(const Ink &ink, const Piece &mark)
{
    std::vector<double> middles;
    for (int y = mark.top; y <= mark.bottom; ++y) {
        int count = 0;
        int sum = 0;
        for (int x = mark.left; x <= mark.right; ++x) {
            if (ink.at(x, y)) {
                ++count;
                sum += x;
            }
        }
        if (count > 0)
            middles.push_back(double(sum) / count);
    }
    if (middles.size() < 3)
        return true;
    const auto range = std::minmax_element(middles.begin(), middles.end());
    return (*range.second - *range.first) * 5 <= double(middles.size());
}

const char *straightFor(const std::string &text)
{
    static const char *const curly[][2] = {{"\u201c", "\""}, {"\u201d", "\""}, {"\u201e", "\""},
                                           {"\u2018", "'"},  {"\u2019", "'"},  {"\u201a", ","}};
    for (const auto &pair : curly) {
        if (text == pair[0])
            return pair[1];
    }
    return nullptr;
}

// The connected pieces of ink round the line.
std::vector<Piece> piecesOf(const Ink &ink, const GlyphLine &line, const Metrics &metrics)
{
    std::vector<Piece> pieces;
    if (!ink || line.empty())
        return pieces;
    int left = line.front().left;
    int right = line.front().right;
    for (const Glyph &glyph : line) {
        left = std::max(0, std::min(left, glyph.left - 1));
        right = std::max(right, glyph.right + 1);
    }
    const int top = std::max(0, metrics.baseline - 3 * metrics.xHeight);
    const int bottom = metrics.baseline + 2 * metrics.xHeight;
    const PixPtr clip = clipped(ink.pix(), left, top, right - left + 1, bottom - top + 1);
    Boxa *boxes = clip ? pixConnCompBB(clip.get(), 8) : nullptr;
    for (int i = 0; boxes && i < boxaGetCount(boxes); ++i) {
        l_int32 x = 0;
        l_int32 y = 0;
        l_int32 w = 0;
        l_int32 h = 0;
        if (boxaGetBoxGeometry(boxes, i, &x, &y, &w, &h) == 0)
            pieces.push_back({left + x, top + y, left + x + w - 1, top + y + h - 1});
    }
    boxaDestroy(&boxes);
    return pieces;
}

// The columns that the word's characters stand in: its pieces of ink,
// side by side, those that overlap taken as one. An underscore lies under
// its neighbours and counts for none; a frame's edge that the word's box
// takes in reaches above the ascenders and below the descenders.
std::vector<Piece> columnsOf(const Glyph &word, const std::vector<Piece> &pieces, const Metrics &metrics)
{
    std::vector<Piece> inWord;
    for (const Piece &piece : pieces) {
        const bool frame = piece.top < metrics.baseline - metrics.xHeight * 4 / 3
                && piece.bottom > metrics.baseline + metrics.xHeight / 2;
        if (piece.centredIn(word.wordLeft, word.wordRight) && piece.bottom >= metrics.baseline - 2 * metrics.xHeight
            && piece.top <= metrics.baseline && !frame)
            inWord.push_back(piece);
    }
    std::sort(inWord.begin(), inWord.end(), [](const Piece &a, const Piece &b) { return a.left < b.left; });
    std::vector<Piece> columns;
    for (const Piece &piece : inWord) {
        if (columns.empty() || piece.left > columns.back().right) {
            columns.push_back(piece);
            continue;
        }
        Piece &column = columns.back();
        column.top = std::min(column.top, piece.top);
        column.right = std::max(column.right, piece.right);
        column.bottom = std::max(column.bottom, piece.bottom);
    }
    return columns;
}

// How far the piece's left and right edges move right from its top row
// to its bottom row.
std::pair<int, int> edgeShift(const Ink &ink, const Piece &piece)
{
    const auto left = [&](int y) {
        int x = piece.left;
        while (x < piece.right && !ink.at(x, y))
            ++x;
        return x;
    };
    const auto right = [&](int y) {
        int x = piece.right;
        while (x > piece.left && !ink.at(x, y))
            --x;
        return x;
    };
    return {left(piece.bottom) - left(piece.top), right(piece.bottom) - right(piece.top)};
}

// Whether the piece's ink runs down and to the right, as a backslash's:
// narrower than two thirds of its height, its left edge moves right by a
// sixth of its height or more.
bool slants(const Ink &ink, const Piece &piece)
{
    return piece.width() * 3 <= piece.height() * 2 && edgeShift(ink, piece).first * 6 >= piece.height();
}

// The recogniser's character boxes may slip sideways inside a word, onto
// their neighbours' ink. Where the word's ink stands in as many columns
// as it has characters other than underscores, each takes its own column.
// A backslash beside no slanting ink is the left of an "@", or an "l"
// before it, read once more: one column short, it goes.
GlyphLine alignedToInk(const GlyphLine &line, const Ink &ink, const std::vector<Piece> &pieces,
                       const Metrics &metrics, const RuleSwitches &switches)
{
    if (!ink || (!switches.on(inkColumns) && !switches.on(extraBackslash)))
        return line;
    const auto underscore = [](const Glyph &glyph) { return glyph.text == "_"; };
    GlyphLine aligned;
    for (auto first = line.begin(); first != line.end();) {
        const auto end = std::find_if(first + 1, line.end(), [](const Glyph &glyph) { return glyph.wordStart; });
        GlyphLine word(first, end);
        first = end;
        if (!std::all_of(word.begin(), word.end(), [](const Glyph &glyph) {
                return scripts(scriptOf(glyph.text)) & (alphabeticScripts | scripts(Script::Common));
            })) {
            aligned.insert(aligned.end(), word.begin(), word.end());
            continue;
        }
        const std::vector<Piece> columns = columnsOf(word.front(), pieces, metrics);
        const auto characters = [&] {
            return word.size() - size_t(std::count_if(word.begin(), word.end(), underscore));
        };
        const auto extra =
                std::find_if(word.begin(), word.end(), [](const Glyph &glyph) { return glyph.text == "\\"; });
        if (switches.on(extraBackslash) && extra != word.end() && characters() == columns.size() + 1
            && std::none_of(columns.begin(), columns.end(), [&](const Piece &column) { return slants(ink, column); })) {
            const bool start = extra->wordStart;
            word.erase(extra);
            if (start && !word.empty())
                word.front().wordStart = true;
        }
        if (switches.on(inkColumns) && characters() == columns.size()) {
            auto column = columns.begin();
            for (Glyph &glyph : word) {
                if (underscore(glyph))
                    continue;
                glyph.left = column->left;
                glyph.top = column->top;
                glyph.right = column->right;
                glyph.bottom = column->bottom;
                ++column;
            }
        }
        aligned.insert(aligned.end(), word.begin(), word.end());
    }
    return aligned;
}

// What the pixels of a line show of its characters' shapes, where the
// recogniser's boxes are too rough: its pieces of ink, the width of its
// strokes and where its baseline, capitals and ascenders end.
class LineShape
{
public:
    LineShape(const Ink &ink, Pix *grey, const GlyphLine &line, const Metrics &metrics, std::vector<Piece> pieces)
        : m_ink(ink)
        , m_grey(grey)
        , m_metrics(metrics)
        , m_pieces(std::move(pieces))
    {
        m_claims.assign(m_pieces.size(), 0);
        std::vector<int> runs;
        std::vector<int> bottoms;
        std::vector<int> capitals;
        std::vector<int> ascenders;
        std::vector<const Piece *> bars;
        const int middle = metrics.baseline - metrics.xHeight / 2;
        for (const Glyph &glyph : line) {
            int run = 0;
            for (int x = glyph.left - 1; x <= glyph.right + 1; ++x) {
                if (ink.at(x, middle)) {
                    ++run;
                } else if (run) {
                    runs.push_back(run);
                    run = 0;
                }
            }
            const Piece *body = bodyOf(glyph);
            if (!body)
                continue;
            ++m_claims[indexOf(body)];
            if (isOneOf(glyph, "abcdefhikmnorstuvwxzABDEFHKLMNPRTUVWXZ"))
                bottoms.push_back(body->bottom);
            // Figures stand as high as capitals.
            if (isOneOf(glyph, "ABDEFHKLMNPRTUVWXYZ023456789"))
                capitals.push_back(body->top);
            if (isOneOf(glyph, "bdhk"))
                ascenders.push_back(body->top);
            if (barLike(glyph))
                bars.push_back(body);
        }
        m_stroke = std::max(1, median(runs, metrics.xHeight / 5));
        m_baseline = median(bottoms, metrics.baseline);
        m_capitalTop = median(capitals, -1);
        m_ascenderTop = median(ascenders, -1);
        if (m_ascenderTop < 0)
            ascendersFromBars(bars);
        m_plainL = std::any_of(line.begin(), line.end(), [this](const Glyph &glyph) {
            const Piece *body = glyph.text == "l" ? bodyOf(glyph) : nullptr;
            return body && body->width() <= widestStroke() && body->top <= tallTop();
        });
    }

    // Whether the glyph's ink rises no higher than the line's letters.
    bool textHigh(const Glyph &glyph) const
    {
        const Piece *body = bodyOf(glyph);
        const int top = std::min(m_capitalTop < 0 ? m_ascenderTop : m_capitalTop,
                                 m_ascenderTop < 0 ? m_capitalTop : m_ascenderTop);
        return body && top >= 0 && body->top >= top - nudge();
    }

    // Where the glyph's own ink ends on either side: at its body's sides
    // if no other glyph has that body and it reaches hardly out of the
    // box, else at its box's.
    int inkLeft(const Glyph &glyph) const
    {
        const Piece *body = ownBodyOf(glyph);
        return body ? body->left : glyph.left;
    }
    int inkRight(const Glyph &glyph) const
    {
        const Piece *body = ownBodyOf(glyph);
        return body ? body->right : glyph.right;
    }

    // The tallest piece under the glyph's box.
    const Piece *bodyOf(const Glyph &glyph) const
    {
        const Piece *body = nullptr;
        for (const Piece &piece : m_pieces) {
            if (piece.centredIn(glyph.left, glyph.right) && (!body || piece.height() > body->height()))
                body = &piece;
        }
        return body;
    }

    // Whether the glyph's ink is a plain upright bar: one stroke wide,
    // taller than an "i", no deeper than a "|", and not a frame that runs
    // past the line. Where the recogniser's boxes put two characters on
    // one bar, the bar tells nothing of either.
    bool plainBar(const Glyph &glyph) const
    {
        const Piece *bar = bodyOf(glyph);
        return bar && m_claims[indexOf(bar)] == 1 && bar->width() <= widestStroke() && bar->width() * 2 >= m_stroke
                && bar->top <= tallTop() && bar->top >= m_baseline - m_metrics.xHeight * 2
                && bar->bottom >= m_baseline - edge() && bar->bottom <= m_baseline + m_metrics.xHeight * 3 / 5
                && unbroken(*bar);
    }

    // For a plain bar: "l", "I" or "|", for which no other of the
    // characters that look like a bar is drawn so.
    std::string plainBarText(const Glyph &glyph, char letterCase) const
    {
        const Piece *bar = bodyOf(glyph);
        // A dot over it or under it makes an "i", "j" or "!"; a frame's
        // line along the text is no dot.
        for (const Piece &piece : m_pieces) {
            if (&piece != bar && piece.right >= bar->left && piece.left <= bar->right
                && (piece.bottom < bar->top || piece.top > bar->bottom) && piece.width() <= 3 * m_stroke)
                return glyph.text;
        }
        if (bar->bottom > m_baseline + m_metrics.xHeight / 4)
            return "|";
        // Ascenders rise above capitals in most faces; where this line shows
        // by how much, the bar's top tells which it is.
        if (m_capitalTop >= 0 && bar->top + nudge() <= m_capitalTop)
            return "l";
        if (m_ascenderTop >= 0 && bar->top >= m_ascenderTop + nudge())
            return "I";
        if (m_capitalTop >= 0 && m_ascenderTop >= 0 && m_ascenderTop + nudge() <= m_capitalTop)
            return std::abs(bar->top - m_ascenderTop) < std::abs(bar->top - m_capitalTop) ? "l" : "I";
        // Otherwise the case of the letters round it.
        if (letterCase)
            return std::string(1, letterCase);
        return isOneOf(glyph, "Il") ? glyph.text : "l";
    }

    // Whether the glyph's ink stands on the baseline, taller than an "i".
    bool standsTall(const Glyph &glyph) const
    {
        const Piece *body = bodyOf(glyph);
        return body && standsTall(*body);
    }

    // Whether the glyph's ink, standing so, is wider than one stroke and
    // narrower than two, as a bar whose foot curls off into a tail.
    bool tailed(const Glyph &glyph) const
    {
        const Piece *body = bodyOf(glyph);
        return body && standsTall(*body) && m_claims[indexOf(body)] == 1 && body->width() > widestStroke()
                && body->width() < 2 * m_stroke;
    }

    // Whether the glyph's ink runs straight down.
    bool straight(const Glyph &glyph) const
    {
        const Piece *body = bodyOf(glyph);
        return body && straightMark(m_ink, *body);
    }

    // For a glyph read as "J" or "f": one piece of ink whose both edges
    // move left from its top down, by a sixth of its height or more, and
    // still by an eighth of its lower half's height over that half, is a
    // slash. A "J" and an "f" stand on an upright stem.
    std::string slashText(const Glyph &glyph) const
    {
        const Piece *body = ownBodyOf(glyph);
        if (!body || body->height() * 4 < m_metrics.xHeight * 3)
            return glyph.text;
        const auto leans = [&](const Piece &piece, int share) {
            const auto [left, right] = edgeShift(m_ink, piece);
            return -left * share >= piece.height() && -right * share >= piece.height();
        };
        return leans(*body, 6) && leans({body->left, (body->top + body->bottom) / 2, body->right, body->bottom}, 8)
                ? "/"
                : glyph.text;
    }

    // Whether a mark without ink of its own follows a "," or "." over the
    // one mark the two hold: the same mark read twice.
    bool markReadTwice(const Glyph &glyph, const Glyph &previous) const
    {
        return !bodyOf(glyph) && isOneOf(previous, ",.") && marksFrom(previous.left, glyph.right) == 1;
    }

    // The glyph's ink where it is a small mark low on the line, as a full
    // stop or a comma.
    const Piece *lowMark(const Glyph &glyph) const
    {
        const Piece *mark = bodyOf(glyph);
        return mark && mark->height() <= m_metrics.xHeight && mark->top >= m_baseline - m_metrics.xHeight / 2
                ? mark
                : nullptr;
    }

    // Whether the low mark hangs below the baseline, swinging left as it
    // goes down, as a comma's tail.
    bool hangsLeft(const Piece &mark) const
    {
        if (mark.bottom <= m_baseline || straightMark(m_ink, mark))
            return false;
        const auto [left, right] = edgeShift(m_ink, mark);
        return left < 0 && right < 0;
    }

    // Whether the low mark is a round dot on the baseline, or one centred
    // on it as bitmap faces draw it, where a comma's tail would swing
    // aside. The tail of a small comma hangs hardly lower than a full stop
    // reaches once upscaled: nothing else tells them apart.
    bool roundDot(const Piece &mark) const
    {
        return mark.height() * 5 <= mark.width() * 6
                && (mark.bottom <= m_baseline
                    || (mark.top + mark.bottom <= 2 * m_baseline && straightMark(m_ink, mark)));
    }

    // For a glyph read as "L": one that stands on the baseline taller than
    // an "i", whose foot reaches out less than a stroke's width and no
    // wider than half an x-height in all, is an "l" with a tail. One whose
    // stem stands in the middle of its ink, not at its left, is the "l" of
    // a fixed-width face, with a serif and a foot, or an "I" if its top
    // reaches out on both sides.
    std::string footText(const Glyph &glyph) const
    {
        const Piece *body = bodyOf(glyph);
        if (!body)
            return glyph.text;
        if (body->width() < 2 * m_stroke)
            return tailedL(*body) ? "l" : glyph.text;
        const auto [stemLeft, stemRight] = stemOf(*body);
        if ((stemLeft - body->left) * 4 < body->width())
            return glyph.text;
        int topRight = body->left;
        for (int x = body->left; x <= body->right; ++x) {
            if (m_ink.column(x, body->top, body->top + m_stroke / 2))
                topRight = x;
        }
        return topRight > stemRight + m_stroke / 2 ? "I" : "l";
    }

    // For a glyph read as an "i" that has no dot, where its box holds no
    // piece of its own: an upright stroke that rises from the baseline
    // past the x-height, unbroken, is an "l" whose ink has run into its
    // neighbour's ("rl").
    std::string stemText(const Glyph &glyph, char letterCase) const
    {
        Piece stem{-1, m_baseline, -1, m_baseline - 1};
        for (int x = glyph.left; x <= glyph.right; ++x) {
            int top = m_baseline - 1;
            while (top > m_baseline - 2 * m_metrics.xHeight && m_ink.at(x, top - 1))
                --top;
            if (!m_ink.at(x, m_baseline - 1) || top > tallTop()) {
                if (stem.left >= 0)
                    break;
                continue;
            }
            stem.left = stem.left < 0 ? x : stem.left;
            stem.right = x;
            stem.top = std::min(stem.top, top);
        }
        if (stem.left < 0 || stem.width() > widestStroke() || !unbroken(stem))
            return glyph.text;
        return letterCase ? std::string(1, letterCase) : "l";
    }

    // How many dots, as over an "i" or a "j", lie between left and right.
    int dotsFrom(int left, int right) const
    {
        return int(std::count_if(m_pieces.begin(), m_pieces.end(), [&](const Piece &piece) {
            return piece.centredIn(left, right) && piece.bottom < m_baseline - m_metrics.xHeight * 3 / 4
                    && piece.height() * 2 <= m_metrics.xHeight && piece.width() <= 2 * m_stroke;
        }));
    }

    // How many pieces of ink lie centred under the glyph's box.
    int piecesUnder(const Glyph &glyph) const
    {
        return int(std::count_if(m_pieces.begin(), m_pieces.end(),
                                 [&](const Piece &piece) { return piece.centredIn(glyph.left, glyph.right); }));
    }

    // For a glyph read as "1" or "l" that is no plain bar, in a bitmap
    // face: there both stand on a foot, and the ink left of the stem's top
    // tells them apart. The serif of an "l" lies flat along the top, no
    // deeper than a stroke; the flag of a "1" slopes down and out from it.
    // A small face may draw its "1" as another draws its "l", with a short
    // flag worn flat by upscaling: where the line shows a plain bar for an
    // "l", a flat top makes no "l".
    std::string flagText(const Glyph &glyph) const
    {
        const Piece *body = ownBodyOf(glyph);
        if (!body || body->width() < 2 * m_stroke)
            return glyph.text;
        const int stemLeft = stemOf(*body).first;
        if ((stemLeft - body->left) * 2 < m_stroke)
            return glyph.text;
        int flagBottom = -1;
        int topReach = stemLeft; // the flag's leftmost ink along the top
        int reach = stemLeft;
        for (int y = body->top; y <= (body->top + body->bottom) / 2; ++y) {
            for (int x = body->left; x < stemLeft; ++x) {
                if (m_ink.at(x, y)) {
                    flagBottom = y;
                    reach = std::min(reach, x);
                    if (y <= body->top + m_stroke / 2)
                        topReach = std::min(topReach, x);
                    break;
                }
            }
        }
        if (flagBottom < 0)
            return glyph.text;
        const int depth = flagBottom - body->top + 1;
        const bool flat = topReach <= reach + m_stroke / 3;
        if (flat && depth * 2 <= m_stroke * 3 && !m_plainL)
            return "l";
        return !flat && depth >= 2 * m_stroke ? "1" : glyph.text;
    }

    // For a glyph read as "G": one whose ink closes round a hole is an "@",
    // which small faces draw with hardly more than a G's outline.
    std::string atText(const Glyph &glyph) const
    {
        const Piece *body = ownBodyOf(glyph);
        if (!body)
            return glyph.text;
        const PixPtr clip = clipped(m_ink.pix(), body->left, body->top, body->width(), body->height());
        const PixPtr holes(clip ? pixHolesByFilling(clip.get(), 8) : nullptr);
        l_int32 count = 0;
        if (holes)
            pixCountConnComp(holes.get(), 4, &count);
        return count > 0 ? "@" : glyph.text;
    }

    // Whether the glyph's ink is one wavy stroke lying across, as a tilde:
    // no column of it runs down two thirds of its height, where each
    // stroke of a double quote runs down nearly all of it.
    bool wavy(const Glyph &glyph) const
    {
        const Piece *body = ownBodyOf(glyph);
        if (!body || piecesUnder(glyph) > 1 || body->width() < body->height())
            return false;
        for (int x = body->left; x <= body->right; ++x) {
            int run = 0;
            for (int y = body->top; y <= body->bottom; ++y) {
                run = m_ink.at(x, y) ? run + 1 : 0;
                if (run * 3 > body->height() * 2)
                    return false;
            }
        }
        return true;
    }

    // Whether each stroke of a quote mark runs straight down. Each is
    // judged on its own: two strokes of slightly different length shift
    // the middle of the pair's ink from row to row. A letter that the
    // mark's box reaches over stands on the baseline, far below a mark.
    bool straightStrokes(const Glyph &glyph) const
    {
        bool any = false;
        for (const Piece &piece : m_pieces) {
            if (!piece.centredIn(glyph.left, glyph.right) || piece.bottom >= m_baseline - m_metrics.xHeight / 2)
                continue;
            if (!straightMark(m_ink, piece))
                return false;
            any = true;
        }
        return any || straightMark(m_ink, {glyph.left, glyph.top, glyph.right, glyph.bottom});
    }

    // For a glyph read as "t": the stem of a "t" rises alone above its
    // cross stroke, which reaches out on both sides. Ink that reaches out
    // right of the stem at its very top, and nowhere left of it, is the arm
    // of an "r".
    std::string teeText(const Glyph &glyph) const
    {
        const Piece *body = ownBodyOf(glyph);
        if (!body || body->width() * 3 > body->height() * 2 || body->left < glyph.left - edge()
            || body->right > glyph.right + edge())
            return glyph.text;
        const auto [stemLeft, stemRight] = stemOf(*body);
        const int stem = stemRight - stemLeft + 1;
        if (stemLeft != body->left)
            return glyph.text;
        bool arm = false;
        for (int x = stemRight + stem / 2 + 1; x <= body->right && !arm; ++x)
            arm = m_ink.column(x, body->top, body->top + stem / 2);
        return arm ? "r" : glyph.text;
    }

    // For a glyph read as a long dash: one hardly longer than an x-height
    // is a hyphen, as in "--" read as a dash and a hyphen.
    std::string dashText(const Glyph &glyph) const
    {
        const Piece *mark = bodyOf(glyph);
        return mark && mark->height() * 3 < mark->width() && mark->width() * 5 < m_metrics.xHeight * 6 ? "-"
                                                                                                       : glyph.text;
    }

private:
    // Where no "b", "d", "h" or "k" shows how high the ascenders reach, the
    // line's plain bars on the baseline may: where some stand taller than
    // the capitals, or than the other bars, they are ascending "l"s.
    void ascendersFromBars(const std::vector<const Piece *> &bars)
    {
        std::vector<int> tops;
        for (const Piece *bar : bars) {
            if (bar->width() <= widestStroke() && std::abs(bar->bottom - m_baseline) <= edge())
                tops.push_back(bar->top);
        }
        if (tops.empty())
            return;
        const auto [tallest, lowest] = std::minmax_element(tops.begin(), tops.end());
        const int capitalTop = m_capitalTop >= 0 ? m_capitalTop : *lowest;
        if (*tallest + nudge() <= capitalTop) {
            m_ascenderTop = *tallest;
            m_capitalTop = capitalTop;
        }
    }

    // Whether the ink stands on the baseline, taller than an "i".
    bool standsTall(const Piece &body) const
    {
        return body.top <= tallTop() && std::abs(body.bottom - m_baseline) <= edge();
    }
    // Whether the ink, narrower than half an x-height, stands so, as an "l"
    // whose foot has a tail.
    bool tailedL(const Piece &body) const { return standsTall(body) && body.width() * 2 < m_metrics.xHeight; }

    int nudge() const { return m_metrics.nudge(); }
    int edge() const { return m_metrics.edge(); }

    // The widest that one upright stroke of the line is drawn.
    int widestStroke() const { return m_stroke + std::max(1, m_stroke / 2); }
    // The lowest top of a stroke taller than an "i".
    int tallTop() const { return m_baseline - m_metrics.xHeight * 9 / 8; }

    // Whether the bar's stroke runs on as dark from its top to its bottom.
    // Thresholding may close the gap under the dot of a small "i", but the
    // grey image still shows it lighter than the stem.
    bool unbroken(const Piece &bar) const
    {
        if (!m_grey)
            return true;
        const int width = int(pixGetWidth(m_grey));
        const int height = int(pixGetHeight(m_grey));
        std::vector<int> darkness;
        for (int y = std::max(0, bar.top); y <= std::min(height - 1, bar.bottom); ++y) {
            int dark = 0;
            for (int x = std::max(0, bar.left - 1); x <= std::min(width - 1, bar.right + 1); ++x) {
                l_uint32 value = 255;
                pixGetPixel(m_grey, x, y, &value);
                dark += 255 - int(value);
            }
            darkness.push_back(dark);
        }
        // The stroke's ends fade in and out over a pixel of the source.
        const int end = std::max(1, m_stroke / 2);
        if (int(darkness.size()) <= 2 * end)
            return true;
        const int stem = median(darkness, 0);
        return std::all_of(darkness.begin() + end, darkness.end() - end,
                           [stem](int dark) { return dark * 5 >= stem * 4; });
    }

    // The columns of the body's upright stroke, halfway down.
    std::pair<int, int> stemOf(const Piece &body) const
    {
        const int middle = (body.top + body.bottom) / 2;
        int stemLeft = body.left;
        while (stemLeft <= body.right && !m_ink.at(stemLeft, middle))
            ++stemLeft;
        int stemRight = stemLeft;
        while (stemRight < body.right && m_ink.at(stemRight + 1, middle))
            ++stemRight;
        return {stemLeft, stemRight};
    }

    const Piece *ownBodyOf(const Glyph &glyph) const
    {
        const Piece *body = bodyOf(glyph);
        const int slack = m_metrics.xHeight / 2;
        return body && m_claims[indexOf(body)] == 1 && body->left >= glyph.left - slack
                        && body->right <= glyph.right + slack
                ? body
                : nullptr;
    }

    // Small pieces low on the line whose middle lies between left and right.
    int marksFrom(int left, int right) const
    {
        return int(std::count_if(m_pieces.begin(), m_pieces.end(), [&](const Piece &piece) {
            return piece.centredIn(left, right) && piece.height() <= m_metrics.xHeight
                    && piece.top >= m_baseline - m_metrics.xHeight / 2;
        }));
    }

    size_t indexOf(const Piece *piece) const { return size_t(piece - m_pieces.data()); }

    const Ink &m_ink;
    Pix *m_grey;
    Metrics m_metrics;
    std::vector<Piece> m_pieces;
    std::vector<int> m_claims; // how many glyphs have each piece as their body
    int m_stroke = 1;
    int m_baseline = 0;
    int m_capitalTop = -1;
    int m_ascenderTop = -1;
    bool m_plainL = false; // whether the face draws an "l" as a plain bar
};

int centre(const Glyph &glyph)
{
    return (glyph.left + glyph.right) / 2;
}

// The width of a cell where the line is set in a fixed-width face, with
// neighbouring characters of a word a cell apart; else 0.
int monospacePitch(const GlyphLine &line, const Metrics &metrics)
{
    std::vector<int> steps;
    for (size_t i = 1; i < line.size(); ++i) {
        if (!line[i].wordStart)
            steps.push_back(centre(line[i]) - centre(line[i - 1]));
    }
    if (steps.size() < 4)
        return 0;
    const int pitch = median(steps, 0);
    const auto onGrid = std::count_if(steps.begin(), steps.end(), [pitch](int step) {
        return std::abs(step - pitch) * 8 <= pitch;
    });
    return pitch * 4 >= metrics.xHeight && size_t(onGrid) * 10 >= steps.size() * 9 ? pitch : 0;
}

bool isLetter(const Glyph &glyph)
{
    return glyph.text.size() == 1 && std::isalpha(static_cast<unsigned char>(glyph.text[0]));
}

// The case of the letters round the bar at i, inside its run of letters
// and bars in one word: "l" in lower case, "I" among capitals, the nearest
// letter deciding. Where only bars stand round it, one read as "l" after
// the run's first speaks for all of them, as in "Ill". 0 where the bar
// begins the run, whose first letter keeps the recogniser's choice (it
// knows words like "Ill" and "list"), unless it begins a name in a path,
// or where nothing tells.
char caseAround(const GlyphLine &line, size_t i)
{
    const auto inRun = [&](size_t j) { return isLetter(line[j]) || barLike(line[j]); };
    size_t first = i;
    while (first > 0 && !line[first].wordStart && inRun(first - 1))
        --first;
    size_t last = i;
    while (last + 1 < line.size() && !line[last + 1].wordStart && inRun(last + 1))
        ++last;
    const auto caseOf = [&](size_t j) -> char {
        if (!isLetter(line[j]) || isOneOf(line[j], "lI"))
            return 0;
        return std::islower(static_cast<unsigned char>(line[j].text[0])) ? 'l' : 'I';
    };
    // Where a bar begins a name in a path, the letter after it tells.
    if (first == i)
        return i > 0 && i < last && !line[i].wordStart && line[i - 1].text == "/" ? caseOf(i + 1) : 0;
    for (size_t distance = 1; distance <= last - first; ++distance) {
        const char before = i >= first + distance ? caseOf(i - distance) : 0;
        const char after = i + distance <= last ? caseOf(i + distance) : 0;
        if (before == 'l' || after == 'l')
            return 'l';
        if (before || after)
            return 'I';
    }
    for (size_t j = first + 1; j <= last; ++j) {
        if (line[j].text == "l")
            return 'l';
    }
    return 0;
}

// Whether the glyph at i is a "1" beside another figure of its word. Bars
// read as a row of "1"s tell nothing: only the other figures count.
bool inNumber(const GlyphLine &line, size_t i)
{
    const auto figure = [&](size_t j) {
        return line[j].text.size() == 1 && std::isdigit(static_cast<unsigned char>(line[j].text[0]))
                && line[j].text != "1";
    };
    return line[i].text == "1"
            && ((i > 0 && !line[i].wordStart && figure(i - 1))
                || (i + 1 < line.size() && !line[i + 1].wordStart && figure(i + 1)));
}

// How many characters with a dot the recogniser read in the word of the
// glyph at i.
int dottedIn(const GlyphLine &line, size_t i)
{
    size_t first = i;
    while (first > 0 && !line[first].wordStart)
        --first;
    int dotted = 0;
    for (size_t j = first; j < line.size() && (j == first || !line[j].wordStart); ++j)
        dotted += isOneOf(line[j], "ij");
    return dotted;
}

// Each glyph's script. Figures and marks take that of the nearest glyph
// that has one of its own, the one before where two are as near; a line
// of nothing else is read as Latin.
std::vector<Script> scriptsOf(const GlyphLine &line)
{
    std::vector<Script> own;
    for (const Glyph &glyph : line)
        own.push_back(scriptOf(glyph.text));
    std::vector<Script> taken = own;
    for (size_t i = 0; i < line.size(); ++i) {
        if (own[i] != Script::Common)
            continue;
        taken[i] = Script::Latin;
        for (size_t distance = 1; distance < line.size(); ++distance) {
            if (distance <= i && own[i - distance] != Script::Common) {
                taken[i] = own[i - distance];
                break;
            }
            if (i + distance < line.size() && own[i + distance] != Script::Common) {
                taken[i] = own[i + distance];
                break;
            }
        }
    }
    return taken;
}

// What the glyph rules read a line with.
struct LineReading
{
    const GlyphLine &line;
    const LineShape &shape;
    bool bitmap; // drawn by a bitmap face
    size_t firstAlnum; // the first and the last letter or digit of the line
    size_t lastAlnum;
};

// A rule's reading of a glyph; none where the rule does not apply to it.
using Reading = std::optional<std::string>;

// A bar read as a mark at either end of the line is most likely a frame's
// edge, which the caller trims, where a letter would stay; a "1" beside
// other figures stays a "1".
bool barMayChange(const LineReading &reading, size_t i)
{
    const Glyph &glyph = reading.line[i];
    const bool atEnd = i <= reading.firstAlnum || i >= reading.lastAlnum;
    return !(atEnd && !isAlnum(glyph) && !reading.shape.textHigh(glyph)) && !inNumber(reading.line, i);
}

// An "i" without a dot may be a bar ("Ctri"). The recogniser's boxes may
// slip onto the next letter, as from the "i" to the "l" of "Invalid": only
// where its word holds fewer dots than it read "i"s and "j"s is one
// missing. After an "f", the face may draw "fi" as one sign whose "i"
// rises to the "f"'s arm.
bool dotless(const LineReading &reading, size_t i)
{
    const Glyph &glyph = reading.line[i];
    return reading.shape.dotsFrom(glyph.wordLeft, glyph.wordRight) < dottedIn(reading.line, i)
            && !(i > 0 && reading.line[i - 1].text == "f");
}

Reading dotlessIStem(const LineReading &reading, size_t i)
{
    const Glyph &glyph = reading.line[i];
    if (!dotless(reading, i) || reading.shape.bodyOf(glyph))
        return std::nullopt;
    return reading.shape.stemText(glyph, caseAround(reading.line, i));
}

Reading dotlessIBar(const LineReading &reading, size_t i)
{
    const Glyph &glyph = reading.line[i];
    if (!dotless(reading, i) || reading.shape.piecesUnder(glyph) != 1 || !barMayChange(reading, i)
        || !reading.shape.plainBar(glyph))
        return std::nullopt;
    return reading.shape.plainBarText(glyph, caseAround(reading.line, i));
}

Reading barFromBackslash(const LineReading &reading, size_t i)
{
    const Glyph &glyph = reading.line[i];
    if (!reading.shape.straight(glyph) || !reading.shape.plainBar(glyph))
        return std::nullopt;
    return reading.shape.plainBarText(glyph, caseAround(reading.line, i));
}

Reading barCase(const LineReading &reading, size_t i)
{
    const Glyph &glyph = reading.line[i];
    if (!barMayChange(reading, i) || !reading.shape.plainBar(glyph))
        return std::nullopt;
    return reading.shape.plainBarText(glyph, caseAround(reading.line, i));
}

// A "|" and brackets reach below the baseline: ink standing on it is the
// foot of an "l" or an "I", with serifs, or with a tail that curls off an
// "l"'s foot and widens its bar.
Reading bracketFoot(const LineReading &reading, size_t i)
{
    const Glyph &glyph = reading.line[i];
    if (!barMayChange(reading, i) || reading.shape.plainBar(glyph) || !reading.shape.standsTall(glyph))
        return std::nullopt;
    return reading.shape.footText(glyph);
}

Reading tailedBar(const LineReading &reading, size_t i)
{
    const Glyph &glyph = reading.line[i];
    if (!barMayChange(reading, i) || reading.shape.plainBar(glyph) || !reading.shape.tailed(glyph))
        return std::nullopt;
    return reading.shape.footText(glyph);
}

Reading bitmapFlag(const LineReading &reading, size_t i)
{
    const Glyph &glyph = reading.line[i];
    if (!reading.bitmap || !barMayChange(reading, i) || reading.shape.plainBar(glyph))
        return std::nullopt;
    return reading.shape.flagText(glyph);
}

Reading stopReadTwice(const LineReading &reading, size_t i)
{
    if (i == 0 || !reading.shape.markReadTwice(reading.line[i], reading.line[i - 1]))
        return std::nullopt;
    return std::string();
}

Reading commaFromStop(const LineReading &reading, size_t i)
{
    const Piece *mark = reading.shape.lowMark(reading.line[i]);
    if (!mark || !reading.shape.hangsLeft(*mark))
        return std::nullopt;
    return std::string(",");
}

Reading fullStop(const LineReading &reading, size_t i)
{
    const Piece *mark = reading.shape.lowMark(reading.line[i]);
    if (!mark || !reading.shape.roundDot(*mark))
        return std::nullopt;
    return std::string(".");
}

Reading footOfL(const LineReading &reading, size_t i)
{
    return reading.shape.footText(reading.line[i]);
}

Reading slashFromJf(const LineReading &reading, size_t i)
{
    return reading.shape.slashText(reading.line[i]);
}

Reading rFromT(const LineReading &reading, size_t i)
{
    return reading.shape.teeText(reading.line[i]);
}

Reading atFromG(const LineReading &reading, size_t i)
{
    return reading.shape.atText(reading.line[i]);
}

Reading hyphenFromDash(const LineReading &reading, size_t i)
{
    return reading.shape.dashText(reading.line[i]);
}

Reading tildeFromQuote(const LineReading &reading, size_t i)
{
    if (!reading.shape.wavy(reading.line[i]))
        return std::nullopt;
    return std::string("~");
}

Reading straightQuote(const LineReading &reading, size_t i)
{
    const Glyph &glyph = reading.line[i];
    if (!reading.shape.straightStrokes(glyph))
        return std::nullopt;
    return std::string(straightFor(glyph.text));
}

// A rule that corrects one glyph of the scripts and characters it names;
// the first in the table that reads the glyph decides.
struct GlyphRule
{
    int rule; // its place in correctionRuleNames
    Scripts scripts;
    const char *characters; // UTF-8
    Reading (*read)(const LineReading &reading, size_t i);
};

constexpr Scripts latin = scripts(Script::Latin);
constexpr GlyphRule glyphRules[] = {
    {ruleNamed("dotless-i-stem"), latin, "i", dotlessIStem},
    {ruleNamed("dotless-i-bar"), latin, "i", dotlessIBar},
    {ruleNamed("bar-from-backslash"), latin, "\\", barFromBackslash},
    {ruleNamed("bar-case"), latin, "Il1|![]", barCase},
    {ruleNamed("bracket-foot"), latin, "[]", bracketFoot},
    {ruleNamed("tailed-bar"), latin, "|", tailedBar},
    {ruleNamed("bitmap-flag"), latin, "1l", bitmapFlag},
    {ruleNamed("stop-read-twice"), latin, ",.", stopReadTwice},
    {ruleNamed("comma-from-stop"), latin, ".", commaFromStop},
    {ruleNamed("full-stop"), latin, ",.", fullStop},
    {ruleNamed("foot-of-L"), latin, "L", footOfL},
    {ruleNamed("slash-from-jf"), latin, "Jf", slashFromJf},
    {ruleNamed("r-from-t"), latin, "t", rFromT},
    {ruleNamed("at-from-G"), latin, "G", atFromG},
    {ruleNamed("hyphen-from-dash"), latin, "\u2014\u2013", hyphenFromDash},
    {ruleNamed("tilde-from-quote"), latin, "\u201c\u201d", tildeFromQuote},
    {ruleNamed("straight-quote"), latin, "\u201c\u201d\u201e\u2018\u2019\u201a", straightQuote},
};

constexpr bool glyphRulesNamed()
{
    for (const GlyphRule &rule : glyphRules) {
        if (rule.rule < 0)
            return false;
    }
    return true;
}
static_assert(glyphRulesNamed(), "a glyph rule without a name in rulenames.h");

// What stands between the glyph at i and the one before it on a line of
// an alphabet: nothing, a space or an underscore.
std::string gapText(const GlyphLine &line, size_t i, const Ink &ink, const LineShape &shape, const Metrics &metrics,
                    int pitch, const RuleSwitches &switches)
{
    const Glyph &glyph = line[i];
    const Glyph &previous = line[i - 1];
    // The recogniser's boxes may reach over the blank between two words or
    // leave some of their ink out: the pieces show too where the words'
    // ink ends.
    const int blankFrom = shape.inkRight(previous) + 1;
    const int blankTo = shape.inkLeft(glyph) - 1;
    // The recogniser may leave an underscore out between its words or
    // inside one, where its boxes overlap the underscore.
    if (ink && switches.on(underscoreGap) && glyph.wordStart
        && (underscoreIn(ink, previous.wordRight + 1, glyph.wordLeft - 1, metrics)
            || underscoreIn(ink, blankFrom, blankTo, metrics)))
        return "_";
    if (ink && switches.on(underscoreInWord) && glyph.text != "_" && previous.text != "_"
        && underscoreIn(ink, centre(previous), centre(glyph), metrics, true))
        return "_";
    if (!glyph.wordStart)
        return std::string();
    if (!ink)
        return " ";
    // In a terminal's grid a space is an empty cell, however narrow the
    // ink beside it.
    if (pitch > 0)
        return (centre(glyph) - centre(previous)) * 2 >= pitch * 3 ? " " : "";
    if (!switches.on(wordGap))
        return " ";
    // Where the boxes overlap, or an underscore's ink runs on under its
    // neighbour, the blank columns between the two tell the gap.
    const int boxGap = glyph.wordLeft - previous.wordRight - 1;
    const int gap = boxGap < 0 || glyph.text == "_" || previous.text == "_"
            ? widestBlank(ink, blankFrom, blankTo, metrics)
            : std::min(boxGap, blankTo - blankFrom + 1);
    return gap > spaceThreshold(metrics) ? " " : "";
}

} // namespace

std::vector<GlyphLine> readGlyphs(tesseract::ResultIterator *it)
{
    std::vector<GlyphLine> lines;
    if (!it)
        return lines;
    it->Begin();
    do {
        if (it->Empty(tesseract::RIL_SYMBOL))
            continue;
        if (lines.empty() || it->IsAtBeginningOf(tesseract::RIL_TEXTLINE))
            lines.emplace_back();
        Glyph glyph;
        const std::unique_ptr<char[]> text(it->GetUTF8Text(tesseract::RIL_SYMBOL));
        glyph.text = text ? text.get() : "";
        it->BoundingBox(tesseract::RIL_SYMBOL, &glyph.left, &glyph.top, &glyph.right, &glyph.bottom);
        --glyph.right;
        --glyph.bottom;
        glyph.wordStart = it->IsAtBeginningOf(tesseract::RIL_WORD);
        if (glyph.wordStart) {
            int top = 0;
            int bottom = 0;
            it->BoundingBox(tesseract::RIL_WORD, &glyph.wordLeft, &top, &glyph.wordRight, &bottom);
            --glyph.wordRight;
        } else {
            glyph.wordLeft = lines.back().back().wordLeft;
            glyph.wordRight = lines.back().back().wordRight;
        }
        lines.back().push_back(glyph);
    } while (it->Next(tesseract::RIL_SYMBOL));
    return lines;
}

std::string lineText(const GlyphLine &recognised, Pix *binary, const PreparedImage &image)
{
    const RuleSwitches switches = RuleSwitches::fromEnvironment();
    const Ink ink(binary);
    const Metrics rough = metricsOf(recognised);
    std::vector<Piece> pieces = piecesOf(ink, recognised, rough);
    const GlyphLine line = alignedToInk(recognised, ink, pieces, rough, switches);
    const Metrics metrics = metricsOf(line);
    const LineShape shape(ink, image.pix.get(), line, metrics, std::move(pieces));
    const int pitch = switches.on(monospaceCells) ? monospacePitch(line, metrics) : 0;
    const std::vector<Script> lineScripts = scriptsOf(line);
    const auto firstAlnum = size_t(std::find_if(line.begin(), line.end(), isAlnum) - line.begin());
    const auto lastAlnum =
            line.size() - 1 - size_t(std::find_if(line.rbegin(), line.rend(), isAlnum) - line.rbegin());
    const LineReading reading{line, shape, image.bitmap, firstAlnum, lastAlnum};
    std::string text;
    for (size_t i = 0; i < line.size(); ++i) {
        const Glyph &glyph = line[i];
        if (i > 0) {
            // Chinese and Japanese set no spaces between their characters;
            // where the gaps do not tell words, the recogniser's spaces
            // stand.
            const Scripts pair = scripts(lineScripts[i - 1], lineScripts[i]);
            if (pair & ~alphabeticScripts) {
                if (glyph.wordStart && !((pair & ~wideScripts) == 0 && switches.on(cjkNoSpace)))
                    text += ' ';
            } else {
                text += gapText(line, i, ink, shape, metrics, pitch, switches);
            }
        }
        std::string read = glyph.text;
        for (const GlyphRule &rule : glyphRules) {
            if (!ink || !switches.on(rule.rule) || !(scripts(lineScripts[i]) & rule.scripts)
                || !isAmong(glyph, rule.characters))
                continue;
            if (const Reading ruled = rule.read(reading, i)) {
                read = *ruled;
                break;
            }
        }
        text += read;
    }
    return text;
}
