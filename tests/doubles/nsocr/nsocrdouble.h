#ifndef NSOCRDOUBLE_H
#define NSOCRDOUBLE_H

#include "nsocr.h"

// Scripting and inspection of the recording engine double.

// Forgets the recorded calls and every script.
NSOCR_API void NsDouble_Reset(void);
// Forgets the recorded calls only.
NSOCR_API void NsDouble_ClearCalls(void);
// The results of the calls that key names, as CallRecorder scripts them.
NSOCR_API void NsDouble_SetResults(const char *key, const int32_t *results, int32_t count);
// What Img_GetSize reports (default 100 x 20).
NSOCR_API void NsDouble_SetImageSize(int32_t width, int32_t height);
// The text Img_GetImgText answers where no result is scripted (default "text").
NSOCR_API void NsDouble_SetText(const NSOCR_UTF16 *text);
// The recorded calls, one a line; valid until the next call of it.
NSOCR_API const char *NsDouble_Calls(void);

#endif // NSOCRDOUBLE_H
