#include "pagelayout.h"

#include "firstpass.h"

#include <leptonica/allheaders.h>
#include <algorithm>
#include <memory>

namespace {

bool sameRow(const LineBox &a, const LineBox &b)
{
    const int overlap = std::min(a.bottom, b.bottom) - std::max(a.top, b.top) + 1;
    const int lower = std::min(a.height(), b.height());
    return overlap * 10 >= lower * 7 && std::max(a.height(), b.height()) * 10 <= lower * 13;
}

// The layout may split a line where the word spaces of neighbouring lines
// happen to stand one above the other, and take each part for a column of
// its own. Parts of one row closer than a few of their heights, with no
// other line between them, are one line again; so are the cells of a
// table's row, which is read row by row.
std::vector<LineBox> joinedRows(std::vector<LineBox> lines)
{
    for (bool joined = true; joined;) {
        joined = false;
        for (size_t i = 0; i < lines.size() && !joined; ++i) {
            for (size_t j = 0; j < lines.size() && !joined; ++j) {
                LineBox &a = lines[i];
                const LineBox &b = lines[j];
                if (i == j || b.left <= a.right || !sameRow(a, b))
                    continue;
                const int gap = b.left - a.right - 1;
                if (gap > 3 * std::max(a.height(), b.height()))
                    continue;
                const bool between = std::any_of(lines.begin(), lines.end(), [&](const LineBox &c) {
                    return &c != &a && &c != &b && c.right > a.right && c.left < b.left
                            && c.bottom >= std::max(a.top, b.top) && c.top <= std::min(a.bottom, b.bottom);
                });
                if (between)
                    continue;
                a.left = std::min(a.left, b.left);
                a.right = b.right;
                a.top = std::min(a.top, b.top);
                a.bottom = std::max(a.bottom, b.bottom);
                lines.erase(lines.begin() + std::ptrdiff_t(j));
                joined = true;
            }
        }
    }
    return lines;
}

// Reading order: where a gutter runs down all of the lines, the columns it
// parts are read one after the other, left first; else where a blank runs
// across all of them, the bands it parts top to bottom. Each part is
// ordered the same way again, and lines that overlap both ways are read
// top to bottom.
using LineIt = std::vector<LineBox>::iterator;

// The first line after a blank between the lines sorted by `before`, whose
// `end` tells how far each reaches; last where there is none.
template<typename Before, typename End, typename Start>
LineIt blankAfter(LineIt first, LineIt last, Before before, End end, Start start)
{
    std::sort(first, last, before);
    int reach = end(*first);
    for (auto it = first + 1; it != last; ++it) {
        if (start(*it) > reach)
            return it;
        reach = std::max(reach, end(*it));
    }
    return last;
}

void order(LineIt first, LineIt last)
{
    if (last - first < 2)
        return;
    LineIt cut = blankAfter(
            first, last, [](const LineBox &a, const LineBox &b) { return a.left < b.left; },
            [](const LineBox &a) { return a.right; }, [](const LineBox &a) { return a.left; });
    if (cut == last) {
        cut = blankAfter(
                first, last, [](const LineBox &a, const LineBox &b) { return a.top < b.top; },
                [](const LineBox &a) { return a.bottom; }, [](const LineBox &a) { return a.top; });
    }
    if (cut == last)
        return;
    order(first, cut);
    order(cut, last);
}

int medianOf(std::vector<int> values)
{
    if (values.empty())
        return 0;
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

LineBox boxOf(Boxa *boxes, int i)
{
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
    boxaGetBoxGeometry(boxes, i, &x, &y, &w, &h);
    return {x, y, x + w - 1, y + h - 1};
}

int verticalOverlap(const LineBox &a, const LineBox &b)
{
    return std::min(a.bottom, b.bottom) - std::max(a.top, b.top) + 1;
}

void include(LineBox &box, const LineBox &piece)
{
    box.left = std::min(box.left, piece.left);
    box.top = std::min(box.top, piece.top);
    box.right = std::max(box.right, piece.right);
    box.bottom = std::max(box.bottom, piece.bottom);
}

// The pieces of ink strung into lines. A letter's piece belongs to the
// line beside it that it overlaps most in height, as letters of one line
// do whatever their ascenders and descenders, and lines of a paragraph do
// not. Marks (dots, accents, commas) join the nearest line afterwards.
std::vector<LineBox> strung(Boxa *boxes)
{
    const int count = boxaGetCount(boxes);
    std::vector<LineBox> pieces;
    std::vector<int> heights;
    for (int i = 0; i < count; ++i) {
        pieces.push_back(boxOf(boxes, i));
        if (pieces.back().height() >= 3)
            heights.push_back(pieces.back().height());
    }
    const int letter = std::max(3, medianOf(heights));
    std::sort(pieces.begin(), pieces.end(), [](const LineBox &a, const LineBox &b) { return a.left < b.left; });

    std::vector<LineBox> lines;
    std::vector<LineBox> marks;
    for (const LineBox &piece : pieces) {
        // Frames, pictures and rules are no letters.
        const int width = piece.right - piece.left + 1;
        if (piece.height() > 4 * letter || (width > 8 * letter && piece.height() * 4 < letter))
            continue;
        if (piece.height() * 2 < letter) {
            marks.push_back(piece);
            continue;
        }
        LineBox *best = nullptr;
        double bestShare = 0.5;
        for (LineBox &line : lines) {
            if (piece.left - line.right > 2 * std::max(letter, piece.height()))
                continue;
            const double share = double(verticalOverlap(line, piece)) / std::min(line.height(), piece.height());
            if (share > bestShare) {
                best = &line;
                bestShare = share;
            }
        }
        if (best)
            include(*best, piece);
        else
            lines.push_back(piece);
    }
    // A line lower than a letter is marks that stand apart from the
    // letters they belong to, as a comma's tail under its line.
    std::vector<LineBox> result;
    for (const LineBox &line : lines)
        (line.height() * 4 < letter * 3 ? marks : result).push_back(line);
    for (const LineBox &mark : marks) {
        LineBox *nearest = nullptr;
        int distance = 0;
        for (LineBox &line : result) {
            const int reach = line.height() / 2;
            if (mark.right < line.left - reach || mark.left > line.right + reach
                || mark.bottom < line.top - reach || mark.top > line.bottom + reach)
                continue;
            const int d = std::max({0, line.top - mark.bottom, mark.top - line.bottom});
            if (!nearest || d < distance) {
                nearest = &line;
                distance = d;
            }
        }
        if (nearest)
            include(*nearest, mark);
    }
    return result;
}

// The line's box grown by the margin a person leaves round a line they
// mark, half its height, as far as the page is blank: no neighbouring
// line's ink, nor the edge of the window round it.
LineBox withMargin(const LineBox &line, Pix *binary)
{
    const int width = int(pixGetWidth(binary));
    const int height = int(pixGetHeight(binary));
    const auto blank = [&](int left, int top, int right, int bottom) {
        if (left < 0 || top < 0 || right >= width || bottom >= height)
            return false;
        for (int y = top; y <= bottom; ++y) {
            for (int x = left; x <= right; ++x) {
                l_uint32 value = 0;
                pixGetPixel(binary, x, y, &value);
                if (value)
                    return false;
            }
        }
        return true;
    };
    LineBox box = line;
    for (int step = 0; step < line.height() / 2; ++step) {
        if (blank(box.left - 1, box.top, box.left - 1, box.bottom))
            --box.left;
        if (blank(box.right + 1, box.top, box.right + 1, box.bottom))
            ++box.right;
        if (blank(box.left, box.top - 1, box.right, box.top - 1))
            --box.top;
        if (blank(box.left, box.bottom + 1, box.right, box.bottom + 1))
            ++box.bottom;
    }
    return box;
}

} // namespace

std::vector<LineBox> findLines(const PreparedImage &page)
{
    // Ink is what stands out from its area by a fifth of the full range.
    const PixPtr binary(pixThresholdToBinary(page.pix.get(), 204));
    Boxa *boxes = binary ? pixConnCompBB(binary.get(), 8) : nullptr;
    if (!boxes)
        return {};
    std::vector<LineBox> lines = strung(boxes);
    boxaDestroy(&boxes);
    lines = joinedRows(std::move(lines));
    order(lines.begin(), lines.end());
    for (LineBox &line : lines)
        line = withMargin(line, binary.get());
    return lines;
}
