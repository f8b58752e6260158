// The bytes as an image file held in memory, loaded and asked for its size
// as a caller does before recognising: the PDF sniffing and the header
// readers run on them, the recogniser does not.

#include "imageheader.h"
#include "nsocr.h"

#include <cstdlib>

namespace {

NSOCR_HANDLE image = 0;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    NSOCR_HANDLE cfg = 0;
    NSOCR_HANDLE ocr = 0;
    if (Cfg_Create(&cfg) != 0 || Ocr_Create(cfg, &ocr) != 0 || Img_Create(ocr, &image) != 0)
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const int32_t loaded = Img_LoadFromMemory(image, data, int32_t(size));
    int32_t width = 0;
    int32_t height = 0;
    const int32_t sized = Img_GetSize(image, &width, &height);
    // A PDF is turned away before any header is read. An image that loads
    // has a size within the engine's bounds; one that does not leaves none.
    if (isPdf(data, size) && loaded != ERROR_GHOSTSCRIPT)
        std::abort();
    if (loaded == 0
        && (sized != 0 || width <= 0 || height <= 0 || int64_t(width) * height > NSOCR_MAX_PIXELS))
        std::abort();
    if (loaded != 0 && sized != ERROR_NOIMAGE)
        std::abort();
    return 0;
}
