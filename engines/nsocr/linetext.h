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
    float wordConfidence = 0; // the recogniser's, of its word
};

using GlyphLine = std::vector<Glyph>;

// The recogniser's characters, line by line.
std::vector<GlyphLine> readGlyphs(tesseract::ResultIterator *it);

// A line in another language of English's alphabet often holds words with
// English's marks (a path, an address, "#12", "50%"), which English's
// model reads better than the language's own. The line with each such word
// that `english`, the same line read by English's model, reads in the same
// place more surely, or where the line's own reading holds no letter, and
// where the line's own reading has no letter outside English's alphabet.
GlyphLine withEnglishWords(const GlyphLine &line, const std::vector<GlyphLine> &english);

// A line's text, decided from the pixels where the recogniser's own
// choices are known to go wrong on screen text. Each correction is a rule
// named in rulenames.h, for the scripts and characters it names, measured
// in the line's x-height and stroke width; NSOCR_RULES_OFF switches rules
// off by name:
// - a mark read where the line has no ink is none;
// - the characters' boxes, which may slip onto a neighbour's ink, are
//   set on the ink's own columns where a word's columns and characters
//   are as many;
// - the recogniser's word spaces stand, but Chinese and Japanese
//   characters stand without spaces, a space with a flat stroke under it
//   is an underscore, and a name parted at a full stop closer to the next
//   letter than half a word space is joined;
// - Latin glyph rules: a plain upright bar is "l", "I" or "|" by its
//   height against the line's capitals and ascenders, else by its
//   neighbours; an "L" with hardly any foot is an "l" with a tail; a round
//   dot on the baseline is a full stop and a mark hanging left below it a
//   comma; straight quote marks are straight quotes.
// `binary` is the recogniser's 1-bit image (ink = 1) of `image`, the
// prepared image it read.
std::string lineText(const GlyphLine &line, Pix *binary, const PreparedImage &image);

#endif // LINETEXT_H
