#ifndef LINETEXT_H
#define LINETEXT_H

#include <string>
#include <vector>

struct Pix;
struct PreparedImage;

namespace tesseract {
class ResultIterator;
}

// One recognised character with its ink box, in the pixels of the image
// the recogniser read.
struct Glyph
{
    std::string text; // UTF-8, usually one character
    int left = 0;
    int top = 0;
    int right = 0; // inclusive
    int bottom = 0;
    bool wordStart = false; // the recogniser began a word here
    int wordLeft = 0; // the ink box of the recogniser's word, whose
    int wordRight = 0; // sides are surer than those of its characters
};

using GlyphLine = std::vector<Glyph>;

// The recogniser's characters, line by line.
std::vector<GlyphLine> readGlyphs(tesseract::ResultIterator *it);

// A line's text, decided from the pixels where the recogniser's own
// choices are known to go wrong on screen text:
// - the characters' boxes, which may slip onto a neighbour's ink, are
//   set on the ink's own columns where a word's columns and characters
//   are as many, and a backslash read once more beside an "@" goes;
// - no space stands between two words closer than a space's width on
//   this line ("notes. txt");
// - ink lying flat on the baseline under such a gap is an underscore;
// - a quote mark whose strokes are straight is a straight quote;
// - a plain upright bar is "l", "I" or "|", told apart by its height and
//   depth against the line's capitals, figures and ascenders (or its
//   taller fellow bars), else by its neighbours, and never "1", "!" or
//   "\", nor an "i" without a dot; an "L" with hardly any foot, or a "|"
//   standing on the baseline with a tail, is an "l" with a tail; a bracket
//   standing on the baseline is a serifed "l" or "I"; a "1" beside other
//   figures stays a "1";
// - in a bitmap face, an "l" and a "1" are told apart by the serif or the
//   flag at their top;
// - a round dot on the baseline is a full stop, never a comma; a mark
//   hanging below it and swinging left is a comma;
// - a "J" or an "f" leaning forward all the way down is a slash;
// - a "t" whose top is an arm reaching right of its stem is an "r";
// - a dash as short as a hyphen is a hyphen.
// `binary` is the recogniser's 1-bit image (ink = 1) of `image`, the
// prepared image it read.
std::string lineText(const GlyphLine &line, Pix *binary, const PreparedImage &image);

#endif // LINETEXT_H
