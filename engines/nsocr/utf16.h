#ifndef UTF16_H
#define UTF16_H

#include "nsocr.h"

#include <string>

// Conversions between the interface's UTF-16 and the UTF-8 used inside.
std::u16string fromUtf16z(const NSOCR_UTF16 *text); // zero-terminated; null gives ""
std::string toUtf8(const std::u16string &text);
std::u16string fromUtf8(const std::string &text);

#endif // UTF16_H
