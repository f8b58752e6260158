#ifndef SCRIPT_H
#define SCRIPT_H

#include <string>

// The writing system of a character, by its Unicode range. Figures,
// punctuation and symbols that many scripts share are Common; the
// fullwidth forms and the ideographic punctuation that Chinese and
// Japanese set between their characters are CjkSymbol.
enum class Script : unsigned {
    Common = 1u << 0,
    Latin = 1u << 1,
    Greek = 1u << 2,
    Cyrillic = 1u << 3,
    Arabic = 1u << 4,
    Han = 1u << 5,
    Kana = 1u << 6,
    Hangul = 1u << 7,
    CjkSymbol = 1u << 8,
    Other = 1u << 9
};

// A set of scripts, as the bits of its members.
using Scripts = unsigned;

constexpr Scripts scripts(Script script)
{
    return unsigned(script);
}
template<typename... More>
constexpr Scripts scripts(Script script, More... more)
{
    return unsigned(script) | scripts(more...);
}

// Scripts that set a space between words and whose words the line's gaps
// tell apart.
inline constexpr Scripts alphabeticScripts = scripts(Script::Latin, Script::Greek, Script::Cyrillic);
// Scripts set without spaces between their characters.
inline constexpr Scripts wideScripts = scripts(Script::Han, Script::Kana, Script::CjkSymbol);

// The script of the first character of `utf8` that has one of its own,
// else Common.
Script scriptOf(const std::string &utf8);

// How many code points `utf8` holds.
int codePoints(const std::string &utf8);

#endif // SCRIPT_H
