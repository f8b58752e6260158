#ifndef FIRSTPASS_H
#define FIRSTPASS_H

#include <memory>
#include <vector>

struct Pix;

struct PixDeleter
{
    void operator()(Pix *pix) const;
};
using PixPtr = std::unique_ptr<Pix, PixDeleter>;

enum class PageLayout {
    SingleLine, // one line of text, as in a tight crop of a label or a field
    Auto        // anything else: let the recogniser find blocks and lines
};

struct PreparedImage
{
    PixPtr pix;      // 8-bit grey, dark text on a light background, padded
    PageLayout layout = PageLayout::Auto;
    int scale = 1;   // linear upscale applied to the source
    bool bitmap = false; // drawn by a bitmap font, without antialiasing
    PixPtr area;     // a page's: the tone of the area round each pixel
};

// The first pass over a decoded image. Screen text is small (11 to 16 px)
// and often light on dark; the recogniser reads it best as dark text of
// about 35 to 50 px height with some margin, and a crop holding one line is
// best read as exactly that line (the page layout analysis drops short
// lines such as "OK"). A caller that knows the image holds one line says so,
// and one whose recogniser reads best at the screen's own size asks for it.
enum class Scaling { Upscale, ScreenSize };
PreparedImage prepareImage(Pix *source, bool oneLine = false, Scaling scaling = Scaling::Upscale);

// The median of the values; 0 for none.
int medianOf(std::vector<int> values);

#endif // FIRSTPASS_H
