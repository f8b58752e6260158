#ifndef PAGELAYOUT_H
#define PAGELAYOUT_H

#include <utility>
#include <vector>

struct PreparedImage;

// A text line's box in the pixels of the source image, sides included.
struct LineBox
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int baseline = 0; // where its letters stand
    int letter = 0;   // the height of its capitals and ascenders
    // The columns between the cells of a table's row or the buttons joined
    // into it, first and last: they hold none of its letters, only what
    // parts the cells (a rule, a button's frame).
    std::vector<std::pair<int, int>> gaps;
    int height() const { return bottom - top + 1; }
};

// The text lines of a prepared page, its ink dark on white, in reading
// order: columns one after the other, top to bottom in each, and the cells
// of a table row by row. Each box holds its line with the blank margin
// round it, in the page's pixels.
std::vector<LineBox> findLines(const PreparedImage &page);

#endif // PAGELAYOUT_H
