#include "utf16.h"

std::u16string fromUtf16z(const NSOCR_UTF16 *text)
{
    std::u16string result;
    for (; text && *text; ++text)
        result += char16_t(*text);
    return result;
}
