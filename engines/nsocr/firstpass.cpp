#include "firstpass.h"

#include <leptonica/allheaders.h>

#include <algorithm>
#include <vector>

void PixDeleter::operator()(Pix *pix) const
{
    pixDestroy(&pix);
}

namespace {

// Upscaled images stay below this many pixels, so that a full-screen
// capture is not blown up into a long recognition.
constexpr long maxScaledArea = 4000000;
constexpr int screenDpi = 96;

struct GreyStats
{
    int background = 255; // median of the border pixels
    int darkest = 255;
};

GreyStats greyStats(Pix *grey)
{
    const int w = pixGetWidth(grey);
    const int h = pixGetHeight(grey);
    const int wpl = pixGetWpl(grey);
    l_uint32 *data = pixGetData(grey);

    std::vector<int> border;
    GreyStats stats;
    for (int y = 0; y < h; ++y) {
        const l_uint32 *line = data + y * wpl;
        for (int x = 0; x < w; ++x) {
            const int v = GET_DATA_BYTE(line, x);
            stats.darkest = std::min(stats.darkest, v);
            if (y == 0 || y == h - 1 || x == 0 || x == w - 1)
                border.push_back(v);
        }
    }
    std::nth_element(border.begin(), border.begin() + border.size() / 2, border.end());
    stats.background = border[border.size() / 2];
    return stats;
}

struct LineStats
{
    int lines = 0;
    int textHeight = 0; // median height of the lines
};

// Counts text lines from the rows that hold ink. Bands one row apart are
// one line (accents over capitals); thin bands (dots, underlines) are no
// lines of their own.
LineStats lineStats(Pix *grey, const GreyStats &stats)
{
    LineStats result;
    const int contrast = stats.background - stats.darkest;
    if (contrast < 32)
        return result;
    const int threshold = stats.background - contrast / 2;

    const int w = pixGetWidth(grey);
    const int h = pixGetHeight(grey);
    const int wpl = pixGetWpl(grey);
    l_uint32 *data = pixGetData(grey);

    std::vector<std::pair<int, int>> bands; // first row, last row
    for (int y = 0; y < h; ++y) {
        const l_uint32 *line = data + y * wpl;
        bool ink = false;
        for (int x = 0; x < w && !ink; ++x)
            ink = GET_DATA_BYTE(line, x) < threshold;
        if (!ink)
            continue;
        if (!bands.empty() && y - bands.back().second <= 2)
            bands.back().second = y;
        else
            bands.emplace_back(y, y);
    }
    if (bands.empty())
        return result;

    std::vector<int> heights;
    for (const auto &band : bands)
        heights.push_back(band.second - band.first + 1);
    const int tallest = *std::max_element(heights.begin(), heights.end());
    heights.erase(std::remove_if(heights.begin(), heights.end(),
                                 [tallest](int height) { return height <= std::max(2, tallest / 4); }),
                  heights.end());
    if (heights.empty())
        heights.push_back(tallest);
    std::nth_element(heights.begin(), heights.begin() + heights.size() / 2, heights.end());
    result.lines = int(heights.size());
    result.textHeight = heights[heights.size() / 2];
    return result;
}

int scaleFor(const LineStats &lines, int width, int height)
{
    int scale = 1;
    if (lines.textHeight == 0)
        scale = height < 40 ? 3 : 1;
    else if (lines.textHeight < 20)
        scale = 3;
    else if (lines.textHeight < 32)
        scale = 2;
    while (scale > 1 && long(width) * height * scale * scale > maxScaledArea)
        --scale;
    return scale;
}

} // namespace

PreparedImage prepareImage(Pix *source)
{
    PreparedImage prepared;
    PixPtr grey(pixConvertTo8(source, 0));
    if (!grey)
        return prepared;

    GreyStats stats = greyStats(grey.get());
    if (stats.background < 128) {
        pixInvert(grey.get(), grey.get());
        stats = greyStats(grey.get());
    }
    const LineStats lines = lineStats(grey.get(), stats);
    const int width = pixGetWidth(grey.get());
    const int height = pixGetHeight(grey.get());
    prepared.scale = scaleFor(lines, width, height);
    prepared.layout = lines.lines <= 1 ? PageLayout::SingleLine : PageLayout::Auto;

    PixPtr scaled(prepared.scale > 1
                          ? pixScaleGrayLI(grey.get(), float(prepared.scale), float(prepared.scale))
                          : pixCopy(nullptr, grey.get()));
    if (!scaled)
        return prepared;
    const int margin = std::max(8, lines.textHeight * prepared.scale / 2);
    prepared.pix.reset(pixAddBorder(scaled.get(), margin, l_uint32(stats.background)));
    if (prepared.pix)
        pixSetResolution(prepared.pix.get(), screenDpi * prepared.scale, screenDpi * prepared.scale);
    return prepared;
}
