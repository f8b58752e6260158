#ifndef UTF16_H
#define UTF16_H

#include "nsocr.h"
#include "utf8.h"

// The interface's zero-terminated UTF-16 text; null gives "".
std::u16string fromUtf16z(const NSOCR_UTF16 *text);

#endif // UTF16_H
