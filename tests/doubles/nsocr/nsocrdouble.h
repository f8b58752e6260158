#ifndef NSOCRDOUBLE_H
#define NSOCRDOUBLE_H

#include "nsocr.h"

// Scripting and inspection of the recording engine double.

// Forgets the recorded calls and every script.
NSOCR_API void NsDouble_Reset(void);
// Forgets the recorded calls only.
NSOCR_API void NsDouble_ClearCalls(void);
// Results of the calls whose recorded text starts with callPrefix, in turn;
// the last one answers every further call. Earlier scripts win.
NSOCR_API void NsDouble_SetResults(const char *callPrefix, const int32_t *results, int32_t count);
// What Img_GetSize reports (default 100 x 20).
NSOCR_API void NsDouble_SetImageSize(int32_t width, int32_t height);
// The text Img_GetImgText answers where no result is scripted (default "text").
NSOCR_API void NsDouble_SetText(const NSOCR_UTF16 *text);
NSOCR_API int32_t NsDouble_CallCount(void);
NSOCR_API const char *NsDouble_Call(int32_t index);

#endif // NSOCRDOUBLE_H
