#include "utf8.h"

namespace {

// The smallest code point that needs a sequence of each length.
const char32_t smallestOfLength[] = {0, 0, 0x80, 0x800, 0x10000};

} // namespace

std::string toUtf8(const std::u16string &text)
{
    std::string result;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()
            && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        else if (c >= 0xD800 && c < 0xE000)
            c = 0xFFFD; // unpaired surrogate
        if (c < 0x80) {
            result += char(c);
        } else if (c < 0x800) {
            result += char(0xC0 | (c >> 6));
            result += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            result += char(0xE0 | (c >> 12));
            result += char(0x80 | ((c >> 6) & 0x3F));
            result += char(0x80 | (c & 0x3F));
        } else {
            result += char(0xF0 | (c >> 18));
            result += char(0x80 | ((c >> 12) & 0x3F));
            result += char(0x80 | ((c >> 6) & 0x3F));
            result += char(0x80 | (c & 0x3F));
        }
    }
    return result;
}

std::u16string fromUtf8(const std::string &text)
{
    std::u16string result;
    for (size_t i = 0; i < text.size();) {
        const unsigned char lead = text[i];
        const int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3
                                                                  : (lead >> 3) == 0x1E ? 4 : 0;
        char32_t c = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
        bool valid = length > 0 && i + length <= text.size();
        for (int k = 1; valid && k < length; ++k) {
            const unsigned char next = text[i + k];
            valid = (next & 0xC0) == 0x80;
            c = (c << 6) | (next & 0x3F);
        }
        // An overlong form could pass for another text (a "/" in a path);
        // a surrogate or anything past U+10FFFF has no UTF-16 form.
        valid = valid && c >= smallestOfLength[length] && (c < 0xD800 || c >= 0xE000) && c <= 0x10FFFF;
        if (!valid) {
            result += u'\xFFFD';
            ++i;
            continue;
        }
        i += length;
        if (c >= 0x10000) {
            c -= 0x10000;
            result += char16_t(0xD800 + (c >> 10));
            result += char16_t(0xDC00 + (c & 0x3FF));
        } else {
            result += char16_t(c);
        }
    }
    return result;
}
