// The bytes as the zero-terminated UTF-16 text that the OCR engine's entry
// points take (paths, option names and values), converted to the UTF-8
// used inside and back.

#include "unicodeform.h"
#include "utf16.h"

#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::vector<NSOCR_UTF16> units(size / sizeof(NSOCR_UTF16) + 1, 0);
    if (size >= sizeof(NSOCR_UTF16))
        std::memcpy(units.data(), data, size - size % sizeof(NSOCR_UTF16));
    const std::u16string text = fromUtf16z(units.data());
    if (text.size() >= units.size() || units[text.size()] != 0
        || std::memcmp(text.data(), units.data(), text.size() * sizeof(NSOCR_UTF16)) != 0)
        std::abort();
    // Valid UTF-8 either way; a well-formed text comes back unchanged, an
    // unpaired surrogate as a replacement character.
    const std::string utf8 = toUtf8(text);
    const std::u16string back = fromUtf8(utf8);
    if (!isWellFormed(utf8) || back.size() > text.size() || (isWellFormed(text) && back != text))
        std::abort();
    return 0;
}
