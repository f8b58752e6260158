// Recording double of the OCR engine library. It exports the entry points
// the OCR plugin calls, records every call as text ("Img_OCR(103, 0, 111, 0)")
// and answers what the test scripted through the NsDouble_ functions.
//
// Handles: configuration 101, recognition 102, image 103, scanner 104.
// UTF-16 arguments are recorded quoted, output buffers and pointers as
// "buf", "out" or "bytes", or "null". Built with NSOCR_DOUBLE_PARTIAL it
// lacks Img_GetSize and Scan_Create.

#include "nsocrdouble.h"

#include "callrecorder.h"

#include <algorithm>

namespace {

struct Script
{
    CallRecorder recorder;
    QByteArray calls; // the last NsDouble_Calls() answer
    int32_t width = 100;
    int32_t height = 20;
    std::u16string text = u"text";
};

Script &script()
{
    static Script instance;
    return instance;
}

QString describe(int32_t value)
{
    return QString::number(value);
}

QString describe(const NSOCR_UTF16 *text)
{
    if (!text)
        return QStringLiteral("null");
    QString result = QStringLiteral("\"");
    for (; *text; ++text)
        result += *text >= 0x20 && *text < 0x7F ? QString(QChar(*text)) : QString::asprintf("\\u%04x", unsigned(*text));
    return result + QLatin1Char('"');
}

QString describe(NSOCR_UTF16 *buffer)
{
    return QLatin1String(buffer ? "buf" : "null");
}

QString describe(int32_t *out)
{
    return QLatin1String(out ? "out" : "null");
}

QString describe(const uint8_t *bytes)
{
    return QLatin1String(bytes ? "bytes" : "null");
}

// Records the call and answers its scripted result, if any.
template<typename... Args>
std::optional<qint64> recordScripted(const char *name, Args... args)
{
    return script().recorder.record(name, {describe(args)...});
}

// The same, answering 0 where nothing is scripted.
template<typename... Args>
int32_t record(const char *name, Args... args)
{
    return int32_t(recordScripted(name, args...).value_or(0));
}

// Records a creation; one that succeeds hands out the kind's fixed handle.
template<typename... Parent>
int32_t create(const char *name, int32_t handle, NSOCR_HANDLE *out, Parent... parent)
{
    const int32_t result = record(name, parent..., out);
    if (out && result <= NSOCR_ERROR_BASE)
        *out = handle;
    return result;
}

} // namespace

NSOCR_API void NsDouble_Reset(void)
{
    script() = Script();
}

NSOCR_API void NsDouble_ClearCalls(void)
{
    script().recorder.clearCalls();
}

NSOCR_API void NsDouble_SetResults(const char *key, const int32_t *results, int32_t count)
{
    script().recorder.setResults(QString::fromUtf8(key), QVector<qint64>(results, results + std::max(count, 0)));
}

NSOCR_API void NsDouble_SetImageSize(int32_t width, int32_t height)
{
    script().width = width;
    script().height = height;
}

NSOCR_API void NsDouble_SetText(const NSOCR_UTF16 *text)
{
    script().text.clear();
    for (; text && *text; ++text)
        script().text += char16_t(*text);
}

NSOCR_API const char *NsDouble_Calls(void)
{
    script().calls = script().recorder.calls().join(QLatin1Char('\n')).toUtf8();
    return script().calls.constData();
}

NSOCR_API int32_t NSOCR_CALL Engine_Initialize(void)
{
    return record("Engine_Initialize");
}

NSOCR_API int32_t NSOCR_CALL Engine_Uninitialize(void)
{
    return record("Engine_Uninitialize");
}

NSOCR_API int32_t NSOCR_CALL Engine_GetVersion(NSOCR_UTF16 *version)
{
    const int32_t result = record("Engine_GetVersion", version);
    if (version)
        version[0] = 0;
    return result;
}

NSOCR_API int32_t NSOCR_CALL Cfg_Create(NSOCR_HANDLE *cfg)
{
    return create("Cfg_Create", 101, cfg);
}

NSOCR_API int32_t NSOCR_CALL Cfg_Destroy(NSOCR_HANDLE cfg)
{
    return record("Cfg_Destroy", cfg);
}

NSOCR_API int32_t NSOCR_CALL Cfg_LoadOptions(NSOCR_HANDLE cfg, const NSOCR_UTF16 *fileName)
{
    return record("Cfg_LoadOptions", cfg, fileName);
}

NSOCR_API int32_t NSOCR_CALL Cfg_SetOption(NSOCR_HANDLE cfg, int32_t blockType, const NSOCR_UTF16 *path,
                                           const NSOCR_UTF16 *value)
{
    return record("Cfg_SetOption", cfg, blockType, path, value);
}

NSOCR_API int32_t NSOCR_CALL Ocr_Create(NSOCR_HANDLE cfg, NSOCR_HANDLE *ocr)
{
    return create("Ocr_Create", 102, ocr, cfg);
}

NSOCR_API int32_t NSOCR_CALL Ocr_Destroy(NSOCR_HANDLE ocr)
{
    return record("Ocr_Destroy", ocr);
}

NSOCR_API int32_t NSOCR_CALL Img_Create(NSOCR_HANDLE ocr, NSOCR_HANDLE *img)
{
    return create("Img_Create", 103, img, ocr);
}

NSOCR_API int32_t NSOCR_CALL Img_Destroy(NSOCR_HANDLE img)
{
    return record("Img_Destroy", img);
}

NSOCR_API int32_t NSOCR_CALL Img_LoadFile(NSOCR_HANDLE img, const NSOCR_UTF16 *fileName)
{
    return record("Img_LoadFile", img, fileName);
}

NSOCR_API int32_t NSOCR_CALL Img_LoadFromMemory(NSOCR_HANDLE img, const uint8_t *bytes, int32_t size)
{
    return record("Img_LoadFromMemory", img, bytes, size);
}

NSOCR_API int32_t NSOCR_CALL Img_OCR(NSOCR_HANDLE img, int32_t firstStep, int32_t lastStep, int32_t flags)
{
    return record("Img_OCR", img, firstStep, lastStep, flags);
}

NSOCR_API int32_t NSOCR_CALL Img_GetImgText(NSOCR_HANDLE img, NSOCR_UTF16 *text, int32_t length, int32_t flags)
{
    if (const auto scripted = recordScripted("Img_GetImgText", img, text, length, flags))
        return int32_t(*scripted);
    const int32_t textLength = int32_t(script().text.size());
    if (text && length > 0) {
        const int32_t copied = std::min(textLength, length - 1);
        for (int32_t i = 0; i < copied; ++i)
            text[i] = script().text[i];
        text[copied] = 0;
    }
    return textLength;
}

#ifndef NSOCR_DOUBLE_PARTIAL
NSOCR_API int32_t NSOCR_CALL Img_GetSize(NSOCR_HANDLE img, int32_t *width, int32_t *height)
{
    const int32_t result = record("Img_GetSize", img, width, height);
    if (width && height) {
        *width = script().width;
        *height = script().height;
    }
    return result;
}

NSOCR_API int32_t NSOCR_CALL Scan_Create(NSOCR_HANDLE cfg, NSOCR_HANDLE *scan)
{
    return create("Scan_Create", 104, scan, cfg);
}
#endif

NSOCR_API int32_t NSOCR_CALL Scan_Destroy(NSOCR_HANDLE scan)
{
    return record("Scan_Destroy", scan);
}
