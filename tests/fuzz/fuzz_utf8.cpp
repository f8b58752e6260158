// The bytes as UTF-8 text, converted to the UTF-16 of the engines'
// interfaces: the recogniser's output, the engine's version string.

#include "unicodeform.h"
#include "utf8.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    const std::u16string utf16 = fromUtf8(text);
    // Well-formed text comes through unchanged. Anything else is marked
    // with replacement characters, never read as other, valid text: an
    // overlong "/" must not become a path separator.
    if (!isWellFormed(utf16))
        std::abort();
    if (isWellFormed(text) ? toUtf8(utf16) != text : utf16.find(u'\xFFFD') == std::u16string::npos)
        std::abort();
    return 0;
}
