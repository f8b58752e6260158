#include "pagelayout.h"

#include "firstpass.h"

#include <leptonica/allheaders.h>
#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <memory>

namespace {

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

// The tone of the area round a point.
int toneAt(Pix *area, int x, int y)
{
    l_uint32 tone = 0;
    pixGetPixel(area, x, y, &tone);
    return int(tone);
}

// The tone of the area round a line's letters: most of its length's, as
// dense letters at the page's edge may outvote the area at any one point.
int toneOf(Pix *area, const LineBox &line)
{
    std::vector<int> tones;
    for (int x = line.left; x <= line.right; x += std::max(1, line.letter))
        tones.push_back(toneAt(area, x, line.baseline));
    return medianOf(tones);
}

// Whether the area round a point has that tone.
bool sameTone(Pix *area, int tone, int x, int y)
{
    constexpr int near = 24;
    return std::abs(toneAt(area, x, y) - tone) <= near;
}

// How many pixels of a 1-bit image are set in each row and each column.
void countInk(Pix *pix, std::vector<int> &rows, std::vector<int> &columns)
{
    const int width = int(pixGetWidth(pix));
    const int height = int(pixGetHeight(pix));
    const l_uint32 *data = pixGetData(pix);
    const int wpl = pixGetWpl(pix);
    rows.assign(size_t(height), 0);
    columns.assign(size_t(width), 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int on = int(GET_DATA_BIT(data + y * wpl, x));
            rows[size_t(y)] += on;
            columns[size_t(x)] += on;
        }
    }
}

// Whether a count of inked pixels covers most of a length, as a frame's
// side or a rule does, and a line of letters does not.
bool mostOf(int inked, int length)
{
    return inked * 10 >= length * 6;
}

// The cells of a table's row, and a row of buttons, stand apart like
// columns, but their letters stand on one baseline and are as high: such
// short lines are one, read from left to right, where no other line stands
// between them, the background's tone holds between them and no edge runs
// down past them both ways, as a window's does (a button's frame reaches
// little above and below its text).
std::vector<LineBox> joinedRows(std::vector<LineBox> lines, Pix *binary, Pix *area)
{
    // A button's face ends a little above and below its text, a window's
    // far from it. A line joined from buttons already is told by its end.
    const auto onButton = [&](const LineBox &line, int x) {
        const int reach = 2 * line.height();
        const int tone = toneAt(area, x, line.baseline);
        const auto ends = [&](int from, int step) {
            for (int y = from, d = 0; d < reach; y += step, ++d) {
                if (y < 0 || y >= int(pixGetHeight(area)) || !sameTone(area, tone, x, y))
                    return true;
            }
            return false;
        };
        return ends(line.top, -1) && ends(line.bottom, 1);
    };
    const auto toneChanges = [&](const LineBox &a, const LineBox &b) {
        const int y = a.baseline - a.letter / 2;
        const int tone = toneAt(area, a.right, y);
        for (int x = a.right + 1; x < b.left; ++x) {
            if (!sameTone(area, tone, x, y))
                return !onButton(a, a.right) || !onButton(b, b.left);
        }
        return false;
    };
    const auto edgeBetween = [binary](const LineBox &a, const LineBox &b) {
        const int reach = 3 * std::max(a.height(), b.height()) / 2;
        const int top = std::max(0, std::min(a.top, b.top) - reach);
        const int bottom = std::min(int(pixGetHeight(binary)) - 1, std::max(a.bottom, b.bottom) + reach);
        for (int x = a.right + 1; x < b.left; ++x) {
            int inked = 0;
            for (int y = top; y <= bottom; ++y) {
                l_uint32 value = 0;
                pixGetPixel(binary, x, y, &value);
                inked += value != 0;
            }
            if (inked * 10 >= (bottom - top + 1) * 9)
                return true;
        }
        return false;
    };
    for (bool joined = true; joined;) {
        joined = false;
        for (size_t i = 0; i < lines.size() && !joined; ++i) {
            for (size_t j = 0; j < lines.size() && !joined; ++j) {
                LineBox &a = lines[i];
                const LineBox &b = lines[j];
                if (i == j || b.left <= a.right || verticalOverlap(a, b) * 2 < std::min(a.height(), b.height()))
                    continue;
                // A cell of small letters only stands as high as the
                // x-height, a cell with capitals a half higher.
                const int lower = std::min(a.letter, b.letter);
                if (std::abs(a.baseline - b.baseline) * 8 > lower || std::abs(a.letter - b.letter) * 2 > lower)
                    continue;
                // A cell or a button holds a few words; lines of windows
                // side by side may stand on one baseline too.
                constexpr int cellLetters = 20;
                if (std::min(a.right - a.left, b.right - b.left) > cellLetters * lower)
                    continue;
                const bool between = std::any_of(lines.begin(), lines.end(), [&](const LineBox &c) {
                    return &c != &a && &c != &b && c.right > a.right && c.left < b.left
                            && c.bottom >= std::max(a.top, b.top) && c.top <= std::min(a.bottom, b.bottom);
                });
                if (between || edgeBetween(a, b) || toneChanges(a, b))
                    continue;
                // The letters' antialiased edges stay.
                if (b.left - a.right > 3)
                    a.gaps.emplace_back(a.right + 2, b.left - 2);
                a.gaps.insert(a.gaps.end(), b.gaps.begin(), b.gaps.end());
                include(a, b);
                lines.erase(lines.begin() + std::ptrdiff_t(j));
                joined = true;
            }
        }
    }
    return lines;
}

// A message's icon before its text reads as a letter or two: a line no
// wider than a few letters left of a longer one, apart by more than a
// word's space, and not on its baseline, as a table's cells and a code
// view's line numbers are.
bool isIcon(const LineBox &line, const std::vector<LineBox> &lines)
{
    return std::any_of(lines.begin(), lines.end(), [&](const LineBox &text) {
        const int width = line.right - line.left + 1;
        return verticalOverlap(line, text) > 0 && width <= 3 * text.letter && text.right - text.left + 1 > 3 * width
                && text.left - line.right > text.letter && std::abs(line.baseline - text.baseline) * 4 > text.letter;
    });
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

LineBox boxOf(Boxa *boxes, int i)
{
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
    boxaGetBoxGeometry(boxes, i, &x, &y, &w, &h);
    return {x, y, x + w - 1, y + h - 1};
}

// How high most pieces of ink are: letters outnumber the rest.
int letterHeight(Boxa *boxes)
{
    std::vector<int> heights;
    for (int i = 0; i < boxaGetCount(boxes); ++i) {
        const int height = boxOf(boxes, i).height();
        if (height >= 3)
            heights.push_back(height);
    }
    return std::max(3, medianOf(heights));
}

// Where a line's letters stand. Between the baseline and the x-height
// every letter has ink, below the baseline only descenders do, and touching
// letters or a broken stroke cannot move that: the baseline is the lowest
// row about as full of the letters' ink as the line's rows are, and that
// about as many of the letters ink as its fullest row: a serif descender's
// foot is as wide as a letter, and a short word may have more descenders
// than not.
int baselineOf(const LineBox &line, const std::vector<LineBox> &letters, Pix *binary)
{
    const l_uint32 *data = pixGetData(binary);
    const int wpl = pixGetWpl(binary);
    std::vector<int> rowInk(size_t(line.height()));
    std::vector<int> rowLetters(size_t(line.height()));
    for (const LineBox &letter : letters) {
        for (int y = letter.top; y <= letter.bottom; ++y) {
            int ink = 0;
            for (int x = letter.left; x <= letter.right; ++x)
                ink += int(GET_DATA_BIT(data + y * wpl, x));
            rowInk[size_t(y - line.top)] += ink;
            rowLetters[size_t(y - line.top)] += ink > 0;
        }
    }
    std::vector<int> inked;
    std::copy_if(rowInk.begin(), rowInk.end(), std::back_inserter(inked), [](int ink) { return ink > 0; });
    const int fullInk = medianOf(inked);
    const int fullLetters = *std::max_element(rowLetters.begin(), rowLetters.end());
    int row = int(rowInk.size()) - 1;
    while (row > 0 && (rowInk[size_t(row)] * 3 < fullInk * 2 || rowLetters[size_t(row)] * 3 < fullLetters * 2))
        --row;
    return line.top + row;
}

// The pieces of ink strung into lines. A letter's piece belongs to the
// line beside it that it overlaps most in height, as letters of one line
// do whatever their ascenders and descenders, and lines of a paragraph do
// not. Marks (dots, accents, commas) join the nearest line afterwards.
std::vector<LineBox> strung(Boxa *boxes, Pix *binary, Pix *area)
{
    const int count = boxaGetCount(boxes);
    std::vector<LineBox> pieces;
    for (int i = 0; i < count; ++i)
        pieces.push_back(boxOf(boxes, i));
    const int letter = letterHeight(boxes);
    std::sort(pieces.begin(), pieces.end(), [](const LineBox &a, const LineBox &b) { return a.left < b.left; });
    // A frame round a button or a field holds its text; a letter as high
    // as two holds no other.
    const auto framing = [&](size_t i) {
        const LineBox &frame = pieces[i];
        if (frame.height() <= 2 * letter)
            return false;
        for (size_t j = i + 1; j < pieces.size() && pieces[j].left < frame.right; ++j) {
            const LineBox &inner = pieces[j];
            if (inner.right < frame.right && inner.top > frame.top && inner.bottom < frame.bottom)
                return true;
        }
        return false;
    };

    // A frame's side runs down most of the page, which lines of text
    // break off; where the text's medians weaken its ink, its pieces
    // between the lines are as high as letters.
    std::vector<int> rowInk;
    std::vector<int> columnInk;
    countInk(binary, rowInk, columnInk);
    const auto frameColumns = [&](const LineBox &piece) {
        return std::all_of(columnInk.begin() + piece.left, columnInk.begin() + piece.right + 1,
                           [&](int inked) { return mostOf(inked, int(rowInk.size())); });
    };

    std::vector<LineBox> lines;
    std::vector<std::vector<LineBox>> letters; // of each line
    std::vector<LineBox> marks;
    std::vector<LineBox> strokes;
    // Where a line reaches: strokes set aside that stand beside it within
    // its height, as "l" and "i" do, bridge the blank as other letters do.
    const auto reachOf = [&](const LineBox &line) {
        int right = line.right;
        auto stroke = std::upper_bound(strokes.begin(), strokes.end(), right,
                                       [](int x, const LineBox &piece) { return x < piece.left; });
        for (; stroke != strokes.end() && stroke->left - right <= 2 * letter; ++stroke) {
            if (stroke->height() <= 2 * letter && stroke->top * 2 >= line.top * 2 - letter
                && stroke->bottom * 2 <= line.bottom * 2 + letter)
                right = std::max(right, stroke->right);
        }
        return right;
    };
    for (size_t i = 0; i < pieces.size(); ++i) {
        const LineBox &piece = pieces[i];
        // Frames, pictures and rules are no letters.
        const int width = piece.right - piece.left + 1;
        if (piece.height() > 4 * letter || (width > 2 * letter && piece.height() * 4 < letter) || framing(i)
            || (width * 3 <= letter && frameColumns(piece)))
            continue;
        if (piece.height() * 2 < letter) {
            marks.push_back(piece);
            continue;
        }
        // A thin stroke taller than most letters may be one ("l", "|"),
        // or the side of a button's frame round a line: which, the line
        // tells once its letters are known.
        if (width * 3 <= letter && piece.height() * 4 > letter * 5) {
            strokes.push_back(piece);
            continue;
        }
        size_t best = lines.size();
        double bestShare = 0.5;
        for (size_t l = 0; l < lines.size(); ++l) {
            const LineBox &line = lines[l];
            if (piece.left - reachOf(line) > 2 * std::max(letter, piece.height()))
                continue;
            const double share = double(verticalOverlap(line, piece)) / std::min(line.height(), piece.height());
            if (share > bestShare) {
                best = l;
                bestShare = share;
            }
        }
        if (best < lines.size()) {
            include(lines[best], piece);
            letters[best].push_back(piece);
        } else {
            lines.push_back(piece);
            letters.push_back({piece});
        }
    }
    // A low piece (a serif font's comma) may start a line of its own that
    // takes the letters after it: lines whose boxes cross are one.
    for (size_t i = 0; i < lines.size(); ++i) {
        for (size_t j = i + 1; j < lines.size(); ++j) {
            const LineBox &a = lines[i];
            const LineBox &b = lines[j];
            if (a.left > b.right || b.left > a.right
                || verticalOverlap(a, b) * 2 <= std::min(a.height(), b.height()))
                continue;
            include(lines[i], b);
            letters[i].insert(letters[i].end(), letters[j].begin(), letters[j].end());
            lines.erase(lines.begin() + std::ptrdiff_t(j));
            letters.erase(letters.begin() + std::ptrdiff_t(j));
            j = i;
        }
    }
    // A line lower than a letter is marks that stand apart from the
    // letters they belong to, as a comma's tail under its line.
    std::vector<LineBox> result;
    for (size_t i = 0; i < lines.size(); ++i) {
        LineBox line = lines[i];
        line.baseline = baselineOf(line, letters[i], binary);
        line.letter = line.baseline - line.top + 1;
        (line.height() * 4 < letter * 3 ? marks : result).push_back(line);
    }
    // A letter reaches little above the line's tallest letters, and below
    // its baseline no further than a descender; a frame's side reaches
    // past both.
    for (const LineBox &stroke : strokes) {
        for (LineBox &line : result) {
            const int reach = 2 * line.letter;
            if (stroke.top * 3 >= line.top * 3 - line.letter && stroke.bottom * 2 <= line.baseline * 2 + line.letter
                && stroke.right >= line.left - reach && stroke.left <= line.right + reach) {
                include(line, stroke);
                break;
            }
        }
    }
    // A mark on another background (a row or a window beside) is none of
    // the line's.
    std::vector<int> tones;
    for (const LineBox &line : result)
        tones.push_back(toneOf(area, line));
    for (const LineBox &mark : marks) {
        LineBox *nearest = nullptr;
        int distance = 0;
        for (size_t l = 0; l < result.size(); ++l) {
            LineBox &line = result[l];
            // A letter's width along the line (dots of an ellipsis, one to
            // a cell of a fixed-width font), half its height across.
            const int along = line.height();
            const int reach = line.height() / 2;
            if (mark.right < line.left - along || mark.left > line.right + along
                || mark.bottom < line.top - reach || mark.top > line.bottom + reach
                || !sameTone(area, tones[l], (mark.left + mark.right) / 2, (mark.top + mark.bottom) / 2))
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
// line's ink, nor the edge of the window or the row round it, where the
// area's tone changes.
LineBox withMargin(const LineBox &line, Pix *binary, Pix *area)
{
    const int width = int(pixGetWidth(binary));
    const int height = int(pixGetHeight(binary));
    const int tone = toneOf(area, line);
    const auto blank = [&](int left, int top, int right, int bottom) {
        if (left < 0 || top < 0 || right >= width || bottom >= height)
            return false;
        for (int y = top; y <= bottom; ++y) {
            for (int x = left; x <= right; ++x) {
                l_uint32 value = 0;
                pixGetPixel(binary, x, y, &value);
                if (value || !sameTone(area, tone, x, y))
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

// Text drawn faintly (grey on the lighter rows of a table in a dark theme)
// stands out by less than that. Its letters are the pieces of fainter ink
// no bigger than letters, away from the rest of the ink and from where the
// area's tone changes, at the edges of rows and windows. They touch none
// of the ink's pieces: their boxes join those.
void addFaintLetters(Pix *binary, Boxa *boxes, const PreparedImage &page)
{
    const int letter = letterHeight(boxes);
    const PixPtr faint(pixThresholdToBinary(page.pix.get(), 246));
    const PixPtr nearInk(pixDilateBrick(nullptr, binary, 7, 7));
    const PixPtr highest(pixDilateGray(page.area.get(), 7, 7));
    const PixPtr lowest(pixErodeGray(page.area.get(), 7, 7));
    const PixPtr range(highest && lowest ? pixSubtractGray(nullptr, highest.get(), lowest.get()) : nullptr);
    const PixPtr flat(range ? pixThresholdToBinary(range.get(), 9) : nullptr);
    if (!faint || !nearInk || !flat)
        return;
    // A frame's side or a rule across, drawn faintly, runs on over most
    // of the page, as no line of letters does.
    std::vector<int> rowCount;
    std::vector<int> columnCount;
    countInk(faint.get(), rowCount, columnCount);
    const int width = int(columnCount.size());
    const int height = int(rowCount.size());
    for (int x = 0; x < width; ++x) {
        if (mostOf(columnCount[size_t(x)], height))
            pixRasterop(faint.get(), x, 0, 1, height, PIX_CLR, nullptr, 0, 0);
    }
    for (int y = 0; y < height; ++y) {
        if (mostOf(rowCount[size_t(y)], width))
            pixRasterop(faint.get(), 0, y, width, 1, PIX_CLR, nullptr, 0, 0);
    }
    pixSubtract(faint.get(), faint.get(), nearInk.get());
    pixAnd(faint.get(), faint.get(), flat.get());
    const PixPtr letters(pixSelectBySize(faint.get(), 3 * letter, 3 * letter, 8, L_SELECT_IF_BOTH,
                                         L_SELECT_IF_LTE, nullptr));
    Boxa *letterBoxes = letters ? pixConnCompBB(letters.get(), 8) : nullptr;
    if (!letterBoxes)
        return;
    pixOr(binary, binary, letters.get());
    boxaJoin(boxes, letterBoxes, 0, -1);
    boxaDestroy(&letterBoxes);
}

} // namespace

std::vector<LineBox> findLines(const PreparedImage &page)
{
    // Ink is what stands out from its area by a fifth of the full range.
    const PixPtr binary(pixThresholdToBinary(page.pix.get(), 204));
    Boxa *boxes = binary ? pixConnCompBB(binary.get(), 8) : nullptr;
    if (!boxes)
        return {};
    addFaintLetters(binary.get(), boxes, page);
    std::vector<LineBox> lines = strung(boxes, binary.get(), page.area.get());
    boxaDestroy(&boxes);
    lines = joinedRows(std::move(lines), binary.get(), page.area.get());
    lines.erase(std::remove_if(lines.begin(), lines.end(), [&](const LineBox &line) { return isIcon(line, lines); }),
                lines.end());
    order(lines.begin(), lines.end());
    for (LineBox &line : lines)
        line = withMargin(line, binary.get(), page.area.get());
    return lines;
}
