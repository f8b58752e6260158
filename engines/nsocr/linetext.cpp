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
constexpr int cjkNoSpace = ruleNamed("cjk-no-space");
constexpr int loneBar = ruleNamed("lone-bar");
constexpr int dotJoin = ruleNamed("dot-join");
constexpr int underscore = ruleNamed("underscore");
constexpr int blankGlyph = ruleNamed("blank-glyph");
static_assert(std::min({inkColumns, cjkNoSpace, loneBar, dotJoin, underscore, blankGlyph})
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

// The recogniser's character boxes may slip sideways inside a word, onto
// their neighbours' ink. Where the word's ink stands in as many columns
// as it has characters other than underscores, each takes its own column.
// Only the alphabets draw each character in a column of its own.
GlyphLine alignedToInk(const GlyphLine &line, const Ink &ink, const std::vector<Piece> &pieces,
                       const Metrics &metrics, const RuleSwitches &switches)
{
    if (!ink || !switches.on(inkColumns))
        return line;
    const auto underscore = [](const Glyph &glyph) { return glyph.text == "_"; };
    const auto alphabetic = [](const Glyph &glyph) {
        return scripts(scriptOf(glyph.text)) & (alphabeticScripts | scripts(Script::Common));
    };
    GlyphLine aligned = line;
    for (auto first = aligned.begin(); first != aligned.end();) {
        const auto end = std::find_if(first + 1, aligned.end(), [](const Glyph &glyph) { return glyph.wordStart; });
        const std::vector<Piece> columns = columnsOf(*first, pieces, metrics);
        if (std::all_of(first, end, alphabetic)
            && size_t(std::count_if(first, end, [&](const Glyph &glyph) { return !underscore(glyph); }))
                    == columns.size()) {
            auto column = columns.begin();
            for (auto glyph = first; glyph != end; ++glyph) {
                if (underscore(*glyph))
                    continue;
                glyph->left = column->left;
                glyph->top = column->top;
                glyph->right = column->right;
                glyph->bottom = column->bottom;
                ++column;
            }
        }
        first = end;
    }
    return aligned;
}

// The recogniser reads marks into a wide blank, as between a table's
// cells: a mark with no ink in its box is none, and where it began a word
// the next glyph begins it. A letter's box may slip off its ink.
GlyphLine withoutBlanks(const GlyphLine &line, const Ink &ink)
{
    GlyphLine kept;
    bool wordStart = false;
    for (const Glyph &glyph : line) {
        bool inked = scriptOf(glyph.text) != Script::Common || isAlnum(glyph);
        for (int x = glyph.left; x <= glyph.right && !inked; ++x)
            inked = ink.column(x, glyph.top, glyph.bottom);
        if (!inked) {
            wordStart = wordStart || glyph.wordStart;
            continue;
        }
        kept.push_back(glyph);
        kept.back().wordStart = glyph.wordStart || wordStart;
        wordStart = false;
    }
    return kept;
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
    }

    // Whether the glyph's ink rises no higher than the line's letters.
    bool textHigh(const Glyph &glyph) const
    {
        const Piece *body = bodyOf(glyph);
        const int top = std::min(m_capitalTop < 0 ? m_ascenderTop : m_capitalTop,
                                 m_ascenderTop < 0 ? m_capitalTop : m_ascenderTop);
        return body && top >= 0 && body->top >= top - nudge();
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

    // Whether a flat stroke runs under the baseline, no deeper than a
    // descender, across most of the blank between two glyphs: an
    // underscore, which the recogniser takes for a word space.
    bool underscoreBetween(const Glyph &before, const Glyph &after) const
    {
        const int from = before.right + 1;
        const int to = after.left - 1;
        return to >= from && std::any_of(m_pieces.begin(), m_pieces.end(), [&](const Piece &piece) {
                   const int covered = std::min(piece.right, to) - std::max(piece.left, from) + 1;
                   return piece.top > m_baseline + edge() && piece.top <= m_baseline + m_metrics.xHeight * 3 / 4
                           && piece.height() <= 2 * m_stroke && covered * 2 >= to - from + 1;
               });
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
};

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

Reading barCase(const LineReading &reading, size_t i)
{
    const Glyph &glyph = reading.line[i];
    if (!barMayChange(reading, i) || !reading.shape.plainBar(glyph))
        return std::nullopt;
    return reading.shape.plainBarText(glyph, caseAround(reading.line, i));
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

// Chinese and Japanese set their sentences' punctuation in a character's
// full width, which the recogniser reads as the narrow ASCII marks.
Reading fullWidth(const LineReading &reading, size_t i)
{
    if (i == 0 || !(scripts(scriptOf(reading.line[i - 1].text)) & wideScripts))
        return std::nullopt;
    static const char *const marks[][2] = {
        {"?", "\uff1f"}, {"!", "\uff01"}, {":", "\uff1a"}, {";", "\uff1b"}};
    for (const auto &mark : marks) {
        if (reading.line[i].text == mark[0])
            return std::string(mark[1]);
    }
    return std::nullopt;
}

constexpr Scripts latin = scripts(Script::Latin);
constexpr GlyphRule glyphRules[] = {
    {ruleNamed("bar-case"), latin, "Il1|![]", barCase},
    {ruleNamed("comma-from-stop"), latin, ".", commaFromStop},
    {ruleNamed("full-stop"), latin, ",.", fullStop},
    {ruleNamed("foot-of-L"), latin, "L", footOfL},
    {ruleNamed("straight-quote"), latin, "\u201c\u201d\u201e\u2018\u2019\u201a", straightQuote},
    {ruleNamed("cjk-full-width"), wideScripts, "?!:;", fullWidth},
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

} // namespace

// The recogniser runs a lone "l" or "I" into the word beside it ("l 86%"
// read as "186%"): a plain bar at one end of a word, set apart from the
// rest of it by a gap as wide as the line's word spaces, is a word of its
// own. Other glyphs keep their words: narrow figures and marks stand as
// far apart within a word.
void splitLoneBars(GlyphLine &line, const LineShape &shape, const Metrics &metrics)
{
    const auto gap = [&](size_t i) { return line[i].left - line[i - 1].right - 1; };
    std::vector<int> wordGaps;
    for (size_t i = 1; i < line.size(); ++i) {
        if (line[i].wordStart)
            wordGaps.push_back(gap(i));
    }
    if (wordGaps.empty())
        return;
    const int wordGap = std::max(medianOf(wordGaps), metrics.xHeight / 3);
    for (size_t i = 1; i < line.size(); ++i) {
        const bool barOpensWord = shape.plainBar(line[i - 1]) && (i == 1 || line[i - 1].wordStart);
        const bool barClosesWord = shape.plainBar(line[i]) && (i + 1 == line.size() || line[i + 1].wordStart);
        if (!line[i].wordStart && gap(i) >= wordGap && (barOpensWord || barClosesWord))
            line[i].wordStart = true;
    }
}

// The recogniser parts a file's name or an address at a full stop
// ("bob. lee"): a word that begins with a small letter or a figure closer
// to the full stop before it than half the line's word spaces between
// letters and figures is none.
void joinAtStops(GlyphLine &line)
{
    const auto gap = [&](size_t i) { return line[i].left - line[i - 1].right - 1; };
    std::vector<int> wordGaps;
    for (size_t i = 1; i < line.size(); ++i) {
        if (line[i].wordStart && isAlnum(line[i - 1]) && isAlnum(line[i]))
            wordGaps.push_back(gap(i));
    }
    if (wordGaps.empty())
        return;
    const int wordGap = medianOf(wordGaps);
    for (size_t i = 2; i < line.size(); ++i) {
        const unsigned char next = static_cast<unsigned char>(line[i].text[0]);
        if (line[i].wordStart && line[i - 1].text == "." && isAlnum(line[i - 2]) && isAlnum(line[i])
            && (std::islower(next) || std::isdigit(next)) && gap(i) * 2 < wordGap)
            line[i].wordStart = false;
    }
}

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
            glyph.wordConfidence = it->Confidence(tesseract::RIL_WORD);
        } else {
            glyph.wordLeft = lines.back().back().wordLeft;
            glyph.wordRight = lines.back().back().wordRight;
            glyph.wordConfidence = lines.back().back().wordConfidence;
        }
        lines.back().push_back(glyph);
    } while (it->Next(tesseract::RIL_SYMBOL));
    // The recogniser may read a blank between a table's cells as a word of
    // a space: the word's next character begins it.
    for (GlyphLine &line : lines) {
        for (size_t i = 0; i < line.size();) {
            if (line[i].text.find_first_not_of(' ') != std::string::npos) {
                ++i;
                continue;
            }
            if (i + 1 < line.size() && line[i].wordStart)
                line[i + 1].wordStart = true;
            line.erase(line.begin() + std::ptrdiff_t(i));
        }
    }
    return lines;
}

GlyphLine withEnglishWords(const GlyphLine &line, const std::vector<GlyphLine> &english)
{
    using Word = std::pair<GlyphLine::const_iterator, GlyphLine::const_iterator>;
    const auto wordsOf = [](const GlyphLine &glyphs) {
        std::vector<Word> words;
        for (auto first = glyphs.begin(); first != glyphs.end();) {
            const auto end = std::find_if(first + 1, glyphs.end(), [](const Glyph &glyph) { return glyph.wordStart; });
            words.emplace_back(first, end);
            first = end;
        }
        return words;
    };
    // Two words stand in the same place where each overlaps the other by
    // more than half its width.
    const auto samePlace = [](const Glyph &a, const Glyph &b) {
        const int overlap = std::min(a.wordRight, b.wordRight) - std::max(a.wordLeft, b.wordLeft) + 1;
        return overlap * 2 > a.wordRight - a.wordLeft + 1 && overlap * 2 > b.wordRight - b.wordLeft + 1;
    };
    const auto ascii = [](const Glyph &glyph) {
        return std::all_of(glyph.text.begin(), glyph.text.end(), [](char c) { return (c & 0x80) == 0; });
    };
    const auto mark = [&](const Glyph &glyph) { return ascii(glyph) && !isAlnum(glyph); };
    const auto foreignLetter = [&](const Glyph &glyph) { return !ascii(glyph) && scriptOf(glyph.text) != Script::Common; };
    std::vector<Word> englishWords;
    for (const GlyphLine &englishLine : english) {
        const std::vector<Word> words = wordsOf(englishLine);
        englishWords.insert(englishWords.end(), words.begin(), words.end());
    }
    const auto overlap = [](const Glyph &a, const Glyph &b) { return a.wordLeft <= b.wordRight && b.wordLeft <= a.wordRight; };
    const std::vector<Word> words = wordsOf(line);
    GlyphLine merged;
    for (const Word &word : words) {
        std::vector<const Word *> matches;
        for (const Word &candidate : englishWords) {
            if (samePlace(*word.first, *candidate.first))
                matches.push_back(&candidate);
        }
        // The English word takes no part of the line's other words.
        const Word *englishWord = matches.size() == 1 ? matches.front() : nullptr;
        const bool alone = englishWord && std::count_if(words.begin(), words.end(), [&](const Word &other) {
                               return overlap(*other.first, *englishWord->first);
                           }) == 1;
        // A number's reading owes nothing to the language's model.
        const bool number = std::none_of(word.first, word.second, [](const Glyph &glyph) {
            return scriptOf(glyph.text) != Script::Common || (isAlnum(glyph) && !std::isdigit(static_cast<unsigned char>(glyph.text[0])));
        });
        const bool take = alone && (number || englishWord->first->wordConfidence > word.first->wordConfidence)
                && std::all_of(englishWord->first, englishWord->second, ascii)
                && std::any_of(englishWord->first, englishWord->second, mark)
                && std::none_of(word.first, word.second, foreignLetter);
        merged.insert(merged.end(), take ? englishWord->first : word.first, take ? englishWord->second : word.second);
    }
    return merged;
}

std::string lineText(const GlyphLine &recognised, Pix *binary, const PreparedImage &image)
{
    const RuleSwitches switches = RuleSwitches::fromEnvironment();
    const Ink ink(binary);
    const GlyphLine inked = ink && switches.on(blankGlyph) ? withoutBlanks(recognised, ink) : recognised;
    const Metrics rough = metricsOf(inked);
    std::vector<Piece> pieces = piecesOf(ink, inked, rough);
    GlyphLine line = alignedToInk(inked, ink, pieces, rough, switches);
    const Metrics metrics = metricsOf(line);
    const LineShape shape(ink, image.pix.get(), line, metrics, std::move(pieces));
    if (ink && switches.on(loneBar))
        splitLoneBars(line, shape, metrics);
    if (switches.on(dotJoin))
        joinAtStops(line);
    const std::vector<Script> lineScripts = scriptsOf(line);
    const auto firstAlnum = size_t(std::find_if(line.begin(), line.end(), isAlnum) - line.begin());
    const auto lastAlnum =
            line.size() - 1 - size_t(std::find_if(line.rbegin(), line.rend(), isAlnum) - line.rbegin());
    const LineReading reading{line, shape, firstAlnum, lastAlnum};
    std::string text;
    for (size_t i = 0; i < line.size(); ++i) {
        const Glyph &glyph = line[i];
        if (i > 0) {
            // The recogniser's word spaces stand, but for none between
            // Chinese and Japanese characters, which set none.
            const Scripts pair = scripts(lineScripts[i - 1], lineScripts[i]);
            if (glyph.wordStart && ((pair & ~wideScripts) != 0 || !switches.on(cjkNoSpace)))
                text += ink && switches.on(underscore) && shape.underscoreBetween(line[i - 1], glyph) ? '_' : ' ';
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
