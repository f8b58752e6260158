#include "imageheader.h"

#include "nsocr.h"

#include <leptonica/allheaders.h>

#include <algorithm>

namespace {

int32_t littleEndian(const uint8_t *bytes, int count)
{
    uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = (value << 8) | bytes[i];
    return count == 2 ? int16_t(value) : int32_t(value);
}

} // namespace

bool isPdf(const uint8_t *bytes, size_t size)
{
    // Readers accept the header anywhere in the first kilobyte.
    static const char header[] = "%PDF-";
    const uint8_t *end = bytes + std::min<size_t>(size, 1024);
    return std::search(bytes, end, header, header + sizeof(header) - 1) != end;
}

// Leptonica's header reader decodes a whole BMP or GIF for their size, so
// those two are read here.
int32_t readSize(const uint8_t *bytes, size_t size, int32_t &width, int32_t &height)
{
    l_int32 format = IFF_UNKNOWN;
    if (size < 12 || findFileFormatBuffer(bytes, &format) != 0)
        return ERROR_CANNOTDECODE;
    int64_t w = 0;
    int64_t h = 0;
    const size_t fileHeader = 14;
    if (format == IFF_GIF) {
        w = littleEndian(bytes + 6, 2) & 0xffff; // the logical screen
        h = littleEndian(bytes + 8, 2) & 0xffff;
    } else if (format != IFF_BMP) {
        l_int32 lw = 0;
        l_int32 lh = 0;
        if (pixReadHeaderMem(bytes, size, &format, &lw, &lh, nullptr, nullptr, nullptr) != 0)
            return ERROR_CANNOTDECODE;
        w = lw;
        h = lh;
    } else if (size < fileHeader + 12) {
        return ERROR_CANNOTDECODE;
    } else if (littleEndian(bytes + fileHeader, 4) == 12) { // the old core header: 16-bit sizes
        w = littleEndian(bytes + fileHeader + 4, 2);
        h = littleEndian(bytes + fileHeader + 6, 2);
    } else if (littleEndian(bytes + fileHeader, 4) >= 40) {
        w = littleEndian(bytes + fileHeader + 4, 4);
        h = littleEndian(bytes + fileHeader + 8, 4);
        h = h < 0 ? -h : h; // negative: stored top-down; 64 bits hold -INT_MIN
    } else {
        return ERROR_CANNOTDECODE;
    }
    if (w <= 0 || h <= 0)
        return ERROR_CANNOTDECODE;
    if (w * h > NSOCR_MAX_PIXELS)
        return ERROR_IMAGETOOLARGE;
    width = int32_t(w);
    height = int32_t(h);
    return 0;
}
