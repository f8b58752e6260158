#ifndef UNICODEFORM_H
#define UNICODEFORM_H

#include <string>

// Unicode's rules for well-formed text, written from its tables of
// well-formed code unit sequences, to judge the engines' conversions by.

// The length of the well-formed UTF-8 sequence at text[i]; 0 if none starts
// there.
inline size_t utf8SequenceLength(const std::string &text, size_t i)
{
    const auto byte = [&](size_t k) { return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0u; };
    const unsigned lead = byte(0);
    const auto inRange = [](unsigned b, unsigned low, unsigned high) { return b >= low && b <= high; };
    if (lead < 0x80)
        return 1;
    if (inRange(lead, 0xC2, 0xDF))
        return inRange(byte(1), 0x80, 0xBF) ? 2 : 0;
    if (inRange(lead, 0xE0, 0xEF)) {
        const unsigned low = lead == 0xE0 ? 0xA0 : 0x80; // no overlong form
        const unsigned high = lead == 0xED ? 0x9F : 0xBF; // no surrogate
        return inRange(byte(1), low, high) && inRange(byte(2), 0x80, 0xBF) ? 3 : 0;
    }
    if (inRange(lead, 0xF0, 0xF4)) {
        const unsigned low = lead == 0xF0 ? 0x90 : 0x80; // no overlong form
        const unsigned high = lead == 0xF4 ? 0x8F : 0xBF; // nothing past U+10FFFF
        return inRange(byte(1), low, high) && inRange(byte(2), 0x80, 0xBF) && inRange(byte(3), 0x80, 0xBF) ? 4 : 0;
    }
    return 0;
}

inline bool isWellFormed(const std::string &utf8)
{
    for (size_t i = 0, length = 0; i < utf8.size(); i += length) {
        length = utf8SequenceLength(utf8, i);
        if (length == 0)
            return false;
    }
    return true;
}

inline bool isWellFormed(const std::u16string &utf16)
{
    for (size_t i = 0; i < utf16.size(); ++i) {
        const char16_t c = utf16[i];
        if (c >= 0xDC00 && c < 0xE000)
            return false;
        if (c >= 0xD800 && c < 0xDC00 && (++i == utf16.size() || utf16[i] < 0xDC00 || utf16[i] >= 0xE000))
            return false;
    }
    return true;
}

#endif // UNICODEFORM_H
