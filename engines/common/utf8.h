#ifndef UTF8_H
#define UTF8_H

#include <string>

// Conversions between UTF-16, in which the engines' C interfaces take text,
// and the UTF-8 used inside them. Malformed input becomes U+FFFD.
std::string toUtf8(const std::u16string &text);
std::u16string fromUtf8(const std::string &text);

#endif // UTF8_H
