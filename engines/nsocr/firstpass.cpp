#include "firstpass.h"

#include <leptonica/allheaders.h>

#include <algorithm>
#include <cstdlib>
#include <thread>
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
    int background = 255; // median of the pixels near the border
    int darkest = 255;
};


// Pixels this close to an edge tell the background: a frame a pixel or two
// wide all round a crop does not outvote them.
constexpr int borderDepth = 4;

GreyStats greyStats(Pix *grey)
{
    const int w = pixGetWidth(grey);
    const int h = pixGetHeight(grey);
    const int wpl = pixGetWpl(grey);
    l_uint32 *data = pixGetData(grey);

    std::vector<int> edges[4]; // top, bottom, left, right
    GreyStats stats;
    for (int y = 0; y < h; ++y) {
        const l_uint32 *line = data + y * wpl;
        for (int x = 0; x < w; ++x) {
            const int v = GET_DATA_BYTE(line, x);
            stats.darkest = std::min(stats.darkest, v);
            const int distances[4] = {y, h - 1 - y, x, w - 1 - x};
            for (int edge = 0; edge < 4; ++edge) {
                if (distances[edge] < borderDepth)
                    edges[edge].push_back(v);
            }
        }
    }
    // Another widget along one edge, or text cut there, may outvote the
    // background on that edge: where three edges agree whether it is
    // light or dark, they alone tell it.
    bool lightEdge[4];
    int light = 0;
    for (int edge = 0; edge < 4; ++edge) {
        lightEdge[edge] = medianOf(edges[edge]) >= 128;
        light += lightEdge[edge];
    }
    std::vector<int> border;
    for (int edge = 0; edge < 4; ++edge) {
        if (light == 2 || lightEdge[edge] == (light > 2))
            border.insert(border.end(), edges[edge].begin(), edges[edge].end());
    }
    stats.background = medianOf(border);
    return stats;
}

// Groups of consecutive indices whose flag is set, as (first, last).
std::vector<std::pair<int, int>> runs(const std::vector<int> &counts)
{
    std::vector<std::pair<int, int>> result;
    for (int i = 0; i < int(counts.size()); ++i) {
        if (!counts[i])
            continue;
        if (!result.empty() && result.back().second == i - 1)
            result.back().second = i;
        else
            result.emplace_back(i, i);
    }
    return result;
}

// How many pixels there are of each grey.
std::vector<long> greyHistogram(Pix *grey)
{
    const int w = pixGetWidth(grey);
    const int h = pixGetHeight(grey);
    const int wpl = pixGetWpl(grey);
    const l_uint32 *data = pixGetData(grey);
    std::vector<long> histogram(256);
    for (int y = 0; y < h; ++y) {
        const l_uint32 *line = data + y * wpl;
        for (int x = 0; x < w; ++x)
            ++histogram[GET_DATA_BYTE(line, x)];
    }
    return histogram;
}

// How many pixels of a histogram are from first to last grey, both included.
long pixelsBetween(const std::vector<long> &histogram, int first, int last)
{
    first = std::max(first, 0);
    last = std::min(last, int(histogram.size()) - 1);
    long count = 0;
    for (int v = first; v <= last; ++v)
        count += histogram[v];
    return count;
}

// The median grey of a histogram holding count pixels.
int medianGrey(const std::vector<long> &histogram, long count)
{
    int grey = 0;
    for (long below = histogram[0]; below * 2 <= count && grey < 255; below += histogram[++grey]) {
    }
    return grey;
}

// Text on a bar of its own colour (a selected row, a highlighted button)
// whose crop reaches past the bar into the window's colour: the border then
// tells the window's colour, not the text's background. Where the most
// common grey makes such a bar and all around it is one other plain colour,
// the bar is the background: paint the margins in its colour. Returns
// whether it did.
bool fillAroundBar(Pix *grey)
{
    const int w = pixGetWidth(grey);
    const int h = pixGetHeight(grey);
    const int wpl = pixGetWpl(grey);
    l_uint32 *data = pixGetData(grey);
    auto value = [&](int x, int y) { return int(GET_DATA_BYTE(data + y * wpl, x)); };

    const std::vector<long> histogram = greyHistogram(grey);
    const int bar = int(std::max_element(histogram.begin(), histogram.end()) - histogram.begin());
    constexpr int sameColour = 12;
    auto onBar = [&](int x, int y) { return std::abs(value(x, y) - bar) <= sameColour; };

    // The bar reaches from the first to the last row (column) that is
    // mostly its colour; rows through the text may be less so.
    std::vector<int> rows(h);
    std::vector<int> columns(w);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (onBar(x, y)) {
                ++rows[y];
                ++columns[x];
            }
        }
    }
    auto hull = [](const std::vector<int> &counts, int length) {
        std::pair<int, int> span(int(counts.size()), -1);
        for (int i = 0; i < int(counts.size()); ++i) {
            if (counts[i] * 2 >= length) {
                span.first = std::min(span.first, i);
                span.second = i;
            }
        }
        return span;
    };
    const auto barRows = hull(rows, w);
    const auto barColumns = hull(columns, h);
    if (barRows.second < 0 || barColumns.second < 0
        || (barRows.first == 0 && barRows.second == h - 1 && barColumns.first == 0
            && barColumns.second == w - 1))
        return false;

    auto outside = [&](int x, int y) {
        return y < barRows.first || y > barRows.second || x < barColumns.first || x > barColumns.second;
    };
    std::vector<long> margin(256);
    long marginSize = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (outside(x, y)) {
                ++margin[value(x, y)];
                ++marginSize;
            }
        }
    }
    const int window = medianGrey(margin, marginSize);
    if (std::abs(window - bar) < 48)
        return false;
    // A margin holding anything but its plain colour may hold text, even a
    // single letter or a part of one: keep it.
    constexpr int plain = 16;
    if (pixelsBetween(margin, window - plain, window + plain) != marginSize)
        return false;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (outside(x, y))
                SET_DATA_BYTE(data + y * wpl, x, bar);
        }
    }
    return true;
}

// Whether more of the pixels that stand out from the background are lighter
// than it than darker: on a bar of a mid tone the text may be either.
bool lighterInk(Pix *grey, int background)
{
    constexpr int inkContrast = 40;
    const std::vector<long> histogram = greyHistogram(grey);
    const long lighter = pixelsBetween(histogram, background + inkContrast + 1, 255);
    const long darker = pixelsBetween(histogram, 0, background - inkContrast - 1);
    return lighter == darker ? background < 128 : lighter > darker;
}

struct LineStats
{
    int lines = 0;
    int textHeight = 0; // median height of the lines
};

// How many lines of text a band of inked rows holds. A line's ink is
// densest between its baseline and its x-height, and thin above and below,
// where only ascenders and descenders reach: lines set close together run
// into one band, but their dense cores stay apart.
int linesIn(const std::vector<int> &rowInk, int first, int last)
{
    const int densest = *std::max_element(rowInk.begin() + first, rowInk.begin() + last + 1);
    std::vector<int> dense(rowInk.size());
    for (int y = first; y <= last; ++y)
        dense[y] = rowInk[y] * 3 >= densest;
    std::vector<std::pair<int, int>> cores = runs(dense);
    int tallest = 0;
    for (const auto &core : cores)
        tallest = std::max(tallest, core.second - core.first + 1);
    int lines = 0;
    int previousEnd = -1;
    for (const auto &core : cores) {
        // A core too short to be a line's, or hardly apart from the one
        // before, is a stroke across the line (a rule, an underline).
        if ((core.second - core.first + 1) * 3 < tallest)
            continue;
        if (previousEnd < 0 || core.first - previousEnd > 2)
            ++lines;
        previousEnd = core.second;
    }
    return std::max(1, lines);
}

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

    // A frame's sides and a rule across are no text: columns inked in one
    // run down most of the height and rows inked across most of the width
    // count for none.
    const auto inked = [&](int x, int y) { return GET_DATA_BYTE(data + y * wpl, x) < threshold; };
    std::vector<bool> frameColumn(w);
    for (int x = 0; x < w; ++x) {
        int run = 0;
        int longest = 0;
        for (int y = 0; y < h; ++y) {
            run = inked(x, y) ? run + 1 : 0;
            longest = std::max(longest, run);
        }
        frameColumn[x] = longest * 10 >= h * 6;
    }
    std::vector<int> rowInk(h);
    std::vector<std::pair<int, int>> bands; // first row, last row
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            rowInk[y] += !frameColumn[x] && inked(x, y);
        if (rowInk[y] * 10 >= w * 6)
            rowInk[y] = 0;
        if (!rowInk[y])
            continue;
        if (!bands.empty() && y - bands.back().second <= 2)
            bands.back().second = y;
        else
            bands.emplace_back(y, y);
    }
    if (bands.empty())
        return result;

    int tallest = 0;
    for (const auto &band : bands)
        tallest = std::max(tallest, band.second - band.first + 1);
    std::vector<int> heights; // of each line, where a band holds several
    for (const auto &band : bands) {
        const int height = band.second - band.first + 1;
        if (height <= std::max(2, tallest / 4))
            continue;
        const int lines = linesIn(rowInk, band.first, band.second);
        result.lines += lines;
        heights.insert(heights.end(), lines, height / lines);
    }
    if (heights.empty()) {
        result.lines = 1;
        heights.push_back(tallest);
    }
    result.textHeight = medianOf(heights);
    return result;
}

// Frame and border lines that a drag caught at the crop's edges are no
// text, and the recogniser reads them as "|", "J" or "i". A line across the
// top or the bottom is a band of rows apart from the text, each row inked
// over most of the width, or a thin band of a dotted or dashed line. A
// frame at the left or the right is a group of columns at that edge that
// reaches above and below all the text and runs straight up and down. A
// letter may reach as far ("by" in a serif face, "경"), but not straight.
// A frame may come in a few groups close together, such as a stippled
// scroll bar beside its solid edge line.
void removeEdgeLines(Pix *grey, const GreyStats &stats)
{
    const int contrast = stats.background - stats.darkest;
    if (contrast < 32)
        return;
    // Frames are drawn lighter than text: a quarter of the contrast is ink.
    const int threshold = stats.background - contrast / 4;
    const int w = pixGetWidth(grey);
    const int h = pixGetHeight(grey);
    const int wpl = pixGetWpl(grey);
    l_uint32 *data = pixGetData(grey);
    auto ink = [&](int x, int y) { return int(GET_DATA_BYTE(data + y * wpl, x)) < threshold; };
    auto erase = [&](int x0, int x1, int y0, int y1) {
        for (int y = y0; y <= y1; ++y) {
            for (int x = x0; x <= x1; ++x)
                SET_DATA_BYTE(data + y * wpl, x, stats.background);
        }
    };

    // Rows inked over most of the width, and rows of a dotted or dashed
    // line: short dashes with short gaps between them across most of it.
    std::vector<int> rowInk(h);
    std::vector<bool> solidRow(h);
    std::vector<bool> dottedRow(h);
    constexpr int maxDotGap = 3;
    for (int y = 0; y < h; ++y) {
        int first = -1;
        int last = -1;
        int widestGap = 0;
        for (int x = 0; x < w; ++x) {
            if (!ink(x, y))
                continue;
            ++rowInk[y];
            if (last >= 0)
                widestGap = std::max(widestGap, x - last - 1);
            if (first < 0)
                first = x;
            last = x;
        }
        const int span = last - first + 1;
        solidRow[y] = rowInk[y] * 10 >= w * 6;
        dottedRow[y] = last >= 0 && span * 10 >= w * 6 && rowInk[y] * 4 >= span && widestGap <= maxDotGap;
    }
    std::vector<std::pair<int, int>> bands = runs(rowInk);
    if (bands.size() > 1) {
        // A band may also hold specks, such as the dots of a dotted frame's
        // sides. A band of a few dotted rows is a line; text is taller. The
        // tallest band is the text's, whatever it holds: Arabic joins its
        // letters along the baseline, over most of the width, and the
        // rows of its upright strokes hold as little ink as specks.
        constexpr int maxDottedRows = 3;
        const int speck = std::max(2, w / 50);
        const auto text = std::max_element(bands.begin(), bands.end(), [](const auto &a, const auto &b) {
            return a.second - a.first < b.second - b.first;
        });
        for (auto band = bands.begin(); band != bands.end(); ++band) {
            if (band == text)
                continue;
            int solid = 0;
            int dotted = 0;
            int specks = 0;
            for (int y = band->first; y <= band->second; ++y) {
                solid += solidRow[y];
                dotted += !solidRow[y] && dottedRow[y];
                specks += !solidRow[y] && !dottedRow[y] && rowInk[y] <= speck;
            }
            const int rows = band->second - band->first + 1;
            if (solid + dotted + specks < rows || solid + dotted == 0 || dotted > maxDottedRows)
                continue;
            for (int y = band->first; y <= band->second; ++y) {
                if (solidRow[y] || dottedRow[y])
                    erase(0, w - 1, y, y);
            }
        }
    }

    std::vector<int> columnInk(w);
    for (int x = 0; x < w; ++x) {
        for (int y = 0; y < h; ++y)
            columnInk[x] += ink(x, y);
    }
    const std::vector<std::pair<int, int>> groups = runs(columnInk);
    if (groups.empty())
        return;
    // Beyond the outermost ink only fainter strokes stand: the rim of a
    // radio button or a frame's light edge, which the recogniser would read
    // as a bar. The outer letters' soft edges stay.
    constexpr int softEdge = 2;
    if (groups.front().first > softEdge)
        erase(0, groups.front().first - softEdge - 1, 0, h - 1);
    if (groups.back().second < w - 1 - softEdge)
        erase(groups.back().second + softEdge + 1, w - 1, 0, h - 1);
    if (groups.size() < 2)
        return;
    // The rows each group of columns inks, as (top, bottom), how many, and
    // how many of them it inks across the same columns as most rows do.
    std::vector<std::pair<int, int>> extents;
    std::vector<int> inkedRows;
    std::vector<int> straightRows;
    std::vector<int> darkests;
    for (const auto &group : groups) {
        std::pair<int, int> rows(h, -1);
        std::vector<int> firsts;
        std::vector<int> lasts;
        int darkest = 255;
        for (int y = 0; y < h; ++y) {
            int first = -1;
            int last = -1;
            for (int x = group.first; x <= group.second; ++x) {
                if (ink(x, y)) {
                    first = first < 0 ? x : first;
                    last = x;
                }
                darkest = std::min(darkest, int(GET_DATA_BYTE(data + y * wpl, x)));
            }
            if (first >= 0) {
                rows.first = std::min(rows.first, y);
                rows.second = y;
                firsts.push_back(first);
                lasts.push_back(last);
            }
        }
        const int left = medianOf(firsts);
        const int right = medianOf(lasts);
        int straight = 0;
        for (size_t row = 0; row < firsts.size(); ++row)
            straight += std::abs(firsts[row] - left) <= 1 && std::abs(lasts[row] - right) <= 1;
        extents.push_back(rows);
        inkedRows.push_back(int(firsts.size()));
        straightRows.push_back(straight);
        darkests.push_back(darkest);
    }
    // Peel up to a few close groups off each side, as long as every peeled
    // group reaches past all that remains, or is drawn lighter than all of
    // it and half as high (the rounded end of a neighbour's frame); peel
    // the most that can go.
    constexpr int maxFrameGroups = 3;
    constexpr int frameGap = 3; // blank columns within one frame
    const int n = int(groups.size());
    const auto close = [&](int i) { return groups[i + 1].first - groups[i].second - 1 <= frameGap; };
    const auto peels = [&](int left, int right) {
        // A frame stands beside the text, which spans most of the crop.
        int peeled = 0;
        for (int i = 0; i < n; ++i) {
            if (i < left || i >= n - right)
                peeled += groups[i].second - groups[i].first + 1;
        }
        if (left + right < n && peeled >= groups[n - right - 1].second - groups[left].first + 1)
            return false;
        std::pair<int, int> rest(h, -1);
        int restDarkest = 255;
        for (int i = left; i < n - right; ++i) {
            rest.first = std::min(rest.first, extents[i].first);
            rest.second = std::max(rest.second, extents[i].second);
            restDarkest = std::min(restDarkest, darkests[i]);
        }
        for (int i = 0; i < n; ++i) {
            if (i >= left && i < n - right)
                continue;
            // Where the crop's top cuts the frame close above the text, the
            // frame still runs through every row and on below the text.
            const bool below = extents[i].second >= rest.second + 2;
            const bool above = extents[i].first + 2 <= rest.first
                    || (extents[i].first < rest.first && inkedRows[i] == h);
            // The crop's edge may cut all but a sliver off the rim of a
            // radio button: it needs to be no higher than that.
            const bool cut = groups[i].first == 0 || groups[i].second == w - 1;
            const bool lighter = darkests[i] * 2 > stats.background + restDarkest
                    && (cut || (extents[i].second - extents[i].first + 1) * 2 >= rest.second - rest.first + 1);
            if ((!above || !below) && !lighter)
                return false;
            // A frame inks every row it spans, across the same columns; the
            // columns of several lines of text leave the blank rows between
            // the lines, and a tall letter's strokes run across and round.
            if (!lighter && (inkedRows[i] * 10 < (extents[i].second - extents[i].first + 1) * 9
                             || straightRows[i] * 4 < inkedRows[i] * 3))
                return false;
            if ((i + 1 < left && !close(i)) || (i >= n - right && i + 1 < n && !close(i)))
                return false;
        }
        return true;
    };
    int left = 0;
    int right = 0;
    for (int l = 0; l <= maxFrameGroups; ++l) {
        for (int r = 0; r <= maxFrameGroups && l + r < n; ++r) {
            if (l + r > left + right && peels(l, r)) {
                left = l;
                right = r;
            }
        }
    }
    if (left > 0)
        erase(0, groups[left - 1].second, 0, h - 1);
    if (right > 0)
        erase(groups[n - right].first, w - 1, 0, h - 1);
}

// Bitmap fonts, as in xterm and Xaw, are drawn without antialiasing: the
// text has the background's and the ink's tone and next to nothing between.
bool isTwoTone(Pix *grey, const GreyStats &stats)
{
    const int contrast = stats.background - stats.darkest;
    if (contrast < 32)
        return false;
    const std::vector<long> histogram = greyHistogram(grey);
    const int inkBelow = stats.background - contrast / 8;
    const long ink = pixelsBetween(histogram, 0, inkBelow - 1);
    const long between = pixelsBetween(histogram, stats.darkest + contrast / 8 + 1, inkBelow - 1);
    // Antialiased text has about as many edge pixels as solid ones.
    return ink > 0 && between * 20 < ink;
}

// The recogniser learnt its letters from antialiased text. Upscaled linearly,
// a bitmap glyph keeps its staircase outline and reads wrong ("W" as "H",
// "V" as "Y", "8" as "5"). Each pixel is made a square block instead, and a
// Gaussian blur of two thirds of a source pixel rounds the blocks off into
// strokes with soft edges, much as an antialiased font draws them.
PixPtr upscaleTwoTone(Pix *grey, int scale)
{
    PixPtr big(pixExpandReplicate(grey, scale));
    if (!big)
        return nullptr;
    const float sigma = scale * 2.0f / 3.0f;
    const int half = int(sigma * 2.5f + 0.5f);
    L_KERNEL *horizontal = nullptr;
    L_KERNEL *vertical = nullptr;
    if (makeGaussianKernelSep(half, half, sigma, 1.0f, &horizontal, &vertical) != 0)
        return nullptr;
    PixPtr smooth(pixConvolveSep(big.get(), horizontal, vertical, 8, 1));
    kernelDestroy(&horizontal);
    kernelDestroy(&vertical);
    return smooth;
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

// A screen may hold dark and light windows side by side, and the layout
// finds lines of dark text on light only. The median round a pixel is the
// tone of the area it lies in, which the strokes of text do not outvote,
// and which follows a window's straight edge to the pixel; ink is what
// stands apart from it, either way, drawn dark on white. At a window's
// corner the median of a square takes the outside's tone, while those of
// the row and the column through the pixel do not: ink stands apart from
// the square's, and from the row's or the column's, which a stroke along
// the other way does not outvote. The row's reaches twice as far, so that
// bold letters packed close along it do not outvote it either.
PixPtr inkOnWhite(Pix *grey, PixPtr &area)
{
    // Wider than the strokes of screen text and the gaps between them.
    constexpr int size = 15;
    const int w = pixGetWidth(grey);
    const int h = pixGetHeight(grey);
    // A crop may be smaller than that.
    const int across = std::min(size, w);
    const int down = std::min(size, h);
    PixPtr rowArea;
    PixPtr columnArea;
    const auto rowFilter = [&] { rowArea.reset(pixRankFilterGray(grey, std::min(2 * size + 1, w), 1, 0.5f)); };
    const auto columnFilter = [&] { columnArea.reset(pixRankFilterGray(grey, 1, down, 0.5f)); };
    // Over a page each filter takes a while, and they run side by side;
    // for a line's crop a thread would cost more than it saves.
    constexpr long pagePixels = 200000;
    std::thread rowThread;
    std::thread columnThread;
    if (long(w) * h >= pagePixels) {
        rowThread = std::thread(rowFilter);
        columnThread = std::thread(columnFilter);
    } else {
        rowFilter();
        columnFilter();
    }
    PixPtr squareArea(pixRankFilterGray(grey, across, down, 0.5f));
    if (rowThread.joinable()) {
        rowThread.join();
        columnThread.join();
    }
    PixPtr ink(pixCreate(w, h, 8));
    if (!squareArea || !rowArea || !columnArea || !ink)
        return nullptr;
    const l_uint32 *square = pixGetData(squareArea.get());
    const l_uint32 *row = pixGetData(rowArea.get());
    const l_uint32 *column = pixGetData(columnArea.get());
    const int wpl = pixGetWpl(grey);
    const l_uint32 *greyData = pixGetData(grey);
    l_uint32 *inkData = pixGetData(ink.get());
    // Below a row of letters the column's median, and the square's, may
    // take the letters' tone where the row meets one of another tone (a
    // table's alternate rows): a pixel in an even run as long as the row's
    // reach, in an area at least three rows high, is the area's own,
    // whatever the medians say. A rule across is thinner, and stays ink.
    const int flatRun = std::min(2 * size + 1, w);
    std::vector<bool> flat(static_cast<size_t>(w));
    const auto tone = [&](int x, int y) { return y < 0 || y >= h ? -255 : int(GET_DATA_BYTE(greyData + y * wpl, x)); };
    const auto deep = [&](int x, int y) {
        const auto same = [&](int dy) { return std::abs(tone(x, y + dy) - tone(x, y)) <= 2; };
        return (same(-1) && (same(1) || same(-2))) || (same(1) && same(2));
    };
    for (int y = 0; y < h; ++y) {
        for (int start = 0, x = 0; start < w; start = x) {
            for (x = start + 1; x < w && std::abs(tone(x, y) - tone(start, y)) <= 2; ++x) {
            }
            std::fill(flat.begin() + start, flat.begin() + x, x - start >= flatRun);
        }
        for (int x = 0; x < w; ++x) {
            const int value = tone(x, y);
            const auto apart = [&](const l_uint32 *area) {
                return std::abs(value - int(GET_DATA_BYTE(area + y * wpl, x)));
            };
            const int ink = flat[size_t(x)] && deep(x, y) ? 0 : std::min(apart(square), std::max(apart(row), apart(column)));
            SET_DATA_BYTE(inkData + y * wpl, x, 255 - ink);
        }
    }
    area.reset(squareArea.release());
    return ink;
}

} // namespace

int medianOf(std::vector<int> values)
{
    if (values.empty())
        return 0;
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

PreparedImage prepareImage(Pix *source, bool oneLine, Scaling scaling)
{
    PreparedImage prepared;
    PixPtr grey(pixConvertTo8(source, 0));
    if (!grey)
        return prepared;
    // Lines are counted, and a page laid out, on the ink alone, as it
    // stands out from its area before anything is made of the whole: one
    // tone for the whole image makes a light window on a dark desktop one
    // block of ink, and stretching the tones to one background drowns the
    // text on lighter rows.
    PixPtr area;
    PixPtr ink = inkOnWhite(grey.get(), area);
    if (!ink)
        return prepared;
    const LineStats lines = lineStats(ink.get(), greyStats(ink.get()));
    // A page is only laid out, at its own size; its lines are read from
    // crops of their own, each prepared as a single line is.
    if (!oneLine && lines.lines > 1) {
        prepared.layout = PageLayout::Auto;
        prepared.pix = std::move(ink);
        prepared.area = std::move(area);
        return prepared;
    }

    prepared.layout = PageLayout::SingleLine;
    prepared.scale = scaling == Scaling::ScreenSize ? 1 : scaleFor(lines, pixGetWidth(grey.get()), pixGetHeight(grey.get()));
    const bool onBar = fillAroundBar(grey.get());
    GreyStats stats = greyStats(grey.get());
    if (onBar ? lighterInk(grey.get(), stats.background) : stats.background < 128) {
        pixInvert(grey.get(), grey.get());
        stats = greyStats(grey.get());
    }
    // The recogniser reads dark text on a light page: a mid-tone background
    // (a selected row, either way round) is brought up to white.
    if (stats.background < 224 && stats.background - stats.darkest >= 32) {
        PixPtr stretched(pixGammaTRC(nullptr, grey.get(), 1.0f, stats.darkest, stats.background));
        if (stretched) {
            grey = std::move(stretched);
            stats = greyStats(grey.get());
        }
    }
    removeEdgeLines(grey.get(), stats);

    prepared.bitmap = isTwoTone(grey.get(), stats);
    PixPtr scaled;
    if (prepared.scale == 1)
        scaled.reset(pixCopy(nullptr, grey.get()));
    else if (prepared.bitmap)
        scaled = upscaleTwoTone(grey.get(), prepared.scale);
    else
        scaled.reset(pixScaleGrayLI(grey.get(), float(prepared.scale), float(prepared.scale)));
    if (!scaled)
        return prepared;
    const int margin = std::max(8, lines.textHeight * prepared.scale / 2);
    prepared.pix.reset(pixAddBorder(scaled.get(), margin, l_uint32(stats.background)));
    if (prepared.pix)
        pixSetResolution(prepared.pix.get(), screenDpi * prepared.scale, screenDpi * prepared.scale);
    return prepared;
}
