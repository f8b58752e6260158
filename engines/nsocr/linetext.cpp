#include "linetext.h"

#include <leptonica/allheaders.h>
#include <tesseract/resultiterator.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

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
    bool row(int left, int right, int y) const
    {
        for (int x = left; x <= right; ++x) {
            if (at(x, y))
                return true;
        }
        return false;
    }
    bool column(int x, int top, int bottom) const
    {
        for (int y = top; y <= bottom; ++y) {
            if (at(x, y))
                return true;
        }
        return false;
    }
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
};

Metrics metricsOf(const GlyphLine &line)
{
    std::vector<int> xHeights;
    std::vector<int> bottoms;
    std::vector<int> heights;
    for (const Glyph &glyph : line) {
        heights.push_back(glyph.bottom - glyph.top + 1);
        if (isOneOf(glyph, "acemnorsuvwxz"))
            xHeights.push_back(glyph.bottom - glyph.top + 1);
        if (glyph.text.size() == 1 && std::isalnum(static_cast<unsigned char>(glyph.text[0]))
            && !isOneOf(glyph, "gjpqyQ"))
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

// Ink lying flat on the baseline across a gap, and nothing above it.
bool underscoreIn(const Ink &ink, int left, int right, const Metrics &metrics)
{
    if (right - left < 1)
        return false;
    const int low = metrics.baseline - metrics.xHeight / 4;
    const int deep = metrics.baseline + metrics.xHeight / 2;
    int inked = 0;
    for (int x = left; x <= right; ++x) {
        if (ink.column(x, metrics.baseline - metrics.xHeight - metrics.xHeight / 2, low - 1))
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

// A straight quote's strokes run straight down, however they taper; a
// curly one's tail swings aside from its head. The middle of each row's
// ink shows which.
bool straightMark(const Ink &ink, const Glyph &glyph)
{
    std::vector<double> middles;
    for (int y = glyph.top; y <= glyph.bottom; ++y) {
        int count = 0;
        int sum = 0;
        for (int x = glyph.left; x <= glyph.right; ++x) {
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

std::string lineText(const GlyphLine &line, Pix *binary)
{
    const Ink ink(binary);
    const Metrics metrics = metricsOf(line);
    const int threshold = spaceThreshold(metrics);
    std::string text;
    for (size_t i = 0; i < line.size(); ++i) {
        const Glyph &glyph = line[i];
        if (i > 0) {
            const Glyph &previous = line[i - 1];
            if (glyph.wordStart) {
                const int gap = glyph.wordLeft - previous.wordRight - 1;
                // Overlapping boxes measure nothing: the recogniser's
                // word break stands.
                if (ink && underscoreIn(ink, previous.wordRight + 1, glyph.wordLeft - 1, metrics))
                    text += '_';
                else if (!ink || gap < 0 || gap > threshold)
                    text += ' ';
            }
        }
        const char *straight = ink ? straightFor(glyph.text) : nullptr;
        text += straight && straightMark(ink, glyph) ? std::string(straight) : glyph.text;
    }
    return text;
}
