#include "script.h"

#include "utf8.h"

namespace {

// The code points of `utf8`.
std::u32string codePointsOf(const std::string &utf8)
{
    const std::u16string units = fromUtf8(utf8);
    std::u32string points;
    for (size_t i = 0; i < units.size(); ++i) {
        const char32_t unit = units[i];
        if (unit >= 0xd800 && unit <= 0xdbff && i + 1 < units.size()) {
            points += 0x10000 + ((unit - 0xd800) << 10) + (char32_t(units[i + 1]) - 0xdc00);
            ++i;
        } else {
            points += unit;
        }
    }
    return points;
}

Script scriptOfPoint(char32_t c)
{
    const auto in = [c](char32_t from, char32_t to) { return c >= from && c <= to; };
    if (in('A', 'Z') || in('a', 'z') || (in(0xc0, 0x24f) && c != 0xd7 && c != 0xf7) || in(0x1e00, 0x1eff))
        return Script::Latin;
    if (in(0x370, 0x3ff) || in(0x1f00, 0x1fff))
        return Script::Greek;
    if (in(0x400, 0x52f))
        return Script::Cyrillic;
    if (in(0x600, 0x6ff) || in(0x750, 0x77f) || in(0xfb50, 0xfdff) || in(0xfe70, 0xfeff))
        return Script::Arabic;
    if (in(0x3400, 0x4dbf) || in(0x4e00, 0x9fff) || in(0xf900, 0xfaff) || in(0x20000, 0x2ffff))
        return Script::Han;
    if (in(0x3040, 0x30ff) || in(0x31f0, 0x31ff) || in(0xff66, 0xff9f))
        return Script::Kana;
    if (in(0xac00, 0xd7af) || in(0x1100, 0x11ff) || in(0x3130, 0x318f))
        return Script::Hangul;
    if (in(0x3000, 0x303f) || in(0xff00, 0xff65) || in(0xffe0, 0xffef))
        return Script::CjkSymbol;
    // Combining marks belong to the letter before them.
    if (c < 0x370 || in(0x2000, 0x2bff) || in(0xfe00, 0xfe6f))
        return Script::Common;
    return Script::Other;
}

} // namespace

Script scriptOf(const std::string &utf8)
{
    for (const char32_t c : codePointsOf(utf8)) {
        const Script script = scriptOfPoint(c);
        if (script != Script::Common)
            return script;
    }
    return Script::Common;
}

int codePoints(const std::string &utf8)
{
    return int(codePointsOf(utf8).size());
}
