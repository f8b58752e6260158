/*
 * C interface of the OCR engine library (libNSOCR.so / NSOCR.dll).
 *
 * Every entry point returns a signed 32-bit result: a value greater than
 * NSOCR_ERROR_BASE is an error code, anything else success (or a count or
 * length where the call says so). Objects are 32-bit handles. Text crosses
 * the interface as UTF-16, zero-terminated on the way in; buffers on the way
 * out are sized in UTF-16 units.
 *
 * NSOCR_ENTRY_POINTS lists the whole interface, one line per entry point:
 * its name, its parameter list and the same parameters as an argument list.
 * Callers that load the library by path resolve the names from it; the
 * stand-in engine provides the calls the OCR plugin makes, and a library
 * that lacks a name simply does not export it.
 *
 * The calls the stand-in provides:
 *   Engine_Initialize, Engine_Uninitialize (destroys every object left),
 *   Engine_GetVersion (at most 64 units with the zero).
 *   Cfg_Create, Cfg_Destroy; Cfg_LoadOptions reads an options file (see
 *   ocroptions.h; a relative name is relative to the working directory, a
 *   missing file leaves the defaults); Cfg_SetOption sets one option.
 *   Ocr_Create, Ocr_Destroy; Img_Create, Img_Destroy (cancels and waits for
 *   the image's worker thread); Scan_Create, Scan_Destroy.
 *   Img_LoadFile, Img_LoadFromMemory: any image format Leptonica reads;
 *   PDF answers ERROR_GHOSTSCRIPT. Img_GetSize: the loaded image's size.
 *   Img_OCR: steps and flags below. Img_GetImgText: the recognised text's
 *   length in UTF-16 units; with a buffer of length n it also copies at
 *   most n - 1 units and a zero.
 */
#ifndef NSOCR_H
#define NSOCR_H

#include <stdint.h>

#if defined(_WIN32)
#  define NSOCR_CALL __stdcall
#else
#  define NSOCR_CALL
#endif

#if defined(_WIN32)
#  define NSOCR_EXPORT __declspec(dllexport)
#else
#  define NSOCR_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
#  define NSOCR_API extern "C" NSOCR_EXPORT
#else
#  define NSOCR_API NSOCR_EXPORT
#endif

typedef int32_t NSOCR_HANDLE; /* configuration, recognition, image, block, saver, scanner */
typedef uint16_t NSOCR_UTF16;

/* Img_OCR flags */
#define OCRFLAG_NONE      0 /* run the steps in the calling thread */
#define OCRFLAG_THREAD    1 /* run the steps on the engine's worker thread */
#define OCRFLAG_GETRESULT 2 /* state of the worker thread's job */
#define OCRFLAG_CANCEL    4 /* cancel the worker thread's job; the next Img_Load* or Img_OCR waits up to 2 s for it to end */

/* Img_OCR steps: 0 to 111 are the first pass over the loaded image, 112 to
   255 the recognition. */
#define OCRSTEP_FIRST        0
#define OCRSTEP_PREPARE_LAST 111
#define OCRSTEP_RECOGNIZE    112
#define OCRSTEP_LAST         255

/* Img_GetImgText flags */
#define IMGTEXT_LINEBREAKS 1 /* lines separated by "\n"; without it by a space */

/* Limits on what the engine reads, so that no input can take unbounded
   memory or time: an image file or image bytes of at most this size, and
   an image of at most this many pixels as its header states it. */
#define NSOCR_MAX_FILE_SIZE (128 * 1024 * 1024)
#define NSOCR_MAX_PIXELS    (25 * 1000 * 1000)

/* Results. Everything above NSOCR_ERROR_BASE is an error. */
#define NSOCR_ERROR_BASE          0x70000000
#define ERROR_INVALIDHANDLE       0x70000001 /* no object of that kind has this handle */
#define ERROR_INVALIDPARAMETER    0x70000002 /* null pointer, bad range or flags */
#define ERROR_CANNOTREADFILE      0x70000003 /* file missing or unreadable */
#define ERROR_CANNOTDECODE        0x70000004 /* the bytes are no image we can decode */
#define ERROR_NOIMAGE             0x70000005 /* no image loaded, or not prepared */
#define ERROR_UNKNOWNOPTION       0x70000006 /* option path or value not known */
#define ERROR_NOLANGUAGEDATA      0x70000007 /* language known, its data not installed */
#define ERROR_NOLANGUAGE          0x70000008 /* no language switched on */
#define ERROR_ENGINEINIT          0x70000009 /* the recogniser could not start */
#define ERROR_OPERATIONFAILED     0x7000000A /* the worker thread's job failed */
#define ERROR_BUSY                0x7000000B /* the image's worker thread job is running */
#define ERROR_NOTEXT              0x7000000C /* nothing recognised yet */
#define ERROR_NOTAFILE            0x7000000D /* a directory, device, FIFO: no regular file */
#define ERROR_FILETOOLARGE        0x7000000E /* more than NSOCR_MAX_FILE_SIZE bytes */
#define ERROR_IMAGETOOLARGE       0x7000000F /* more than NSOCR_MAX_PIXELS pixels */
#define ERROR_OUTOFMEMORY         0x70000010 /* memory ran out */
#define ERROR_GHOSTSCRIPT         0x70000011 /* PDF input needs Ghostscript, not present */
#define ERROR_INTERNAL            0x70000012 /* an unexpected failure inside the engine */
#define ERROR_JOBRUNNING          0x7000001B /* OCRFLAG_GETRESULT: still running */
#define ERROR_JOBCANCELLED        0x7000001C /* OCRFLAG_GETRESULT: cancelled */

#define NSOCR_ENTRY_POINTS(X) \
    X(Engine_Initialize, (void), ()) \
    X(Engine_InitializeAdvanced, (NSOCR_HANDLE *cfg, NSOCR_HANDLE *ocr, NSOCR_HANDLE *img), (cfg, ocr, img)) \
    X(Engine_Uninitialize, (void), ()) \
    X(Engine_SetDataDirectory, (const NSOCR_UTF16 *dir), (dir)) \
    X(Engine_GetVersion, (NSOCR_UTF16 *version), (version)) \
    X(Cfg_Create, (NSOCR_HANDLE *cfg), (cfg)) \
    X(Cfg_Destroy, (NSOCR_HANDLE cfg), (cfg)) \
    X(Cfg_LoadOptions, (NSOCR_HANDLE cfg, const NSOCR_UTF16 *fileName), (cfg, fileName)) \
    X(Cfg_SaveOptions, (NSOCR_HANDLE cfg, const NSOCR_UTF16 *fileName), (cfg, fileName)) \
    X(Cfg_LoadOptionsFromString, (NSOCR_HANDLE cfg, const NSOCR_UTF16 *text), (cfg, text)) \
    X(Cfg_SaveOptionsToString, (NSOCR_HANDLE cfg, NSOCR_UTF16 *buffer, int32_t length), (cfg, buffer, length)) \
    X(Cfg_GetOption, (NSOCR_HANDLE cfg, int32_t blockType, const NSOCR_UTF16 *path, NSOCR_UTF16 *value, int32_t length), (cfg, blockType, path, value, length)) \
    X(Cfg_SetOption, (NSOCR_HANDLE cfg, int32_t blockType, const NSOCR_UTF16 *path, const NSOCR_UTF16 *value), (cfg, blockType, path, value)) \
    X(Cfg_DeleteOption, (NSOCR_HANDLE cfg, int32_t blockType, const NSOCR_UTF16 *path), (cfg, blockType, path)) \
    X(Ocr_Create, (NSOCR_HANDLE cfg, NSOCR_HANDLE *ocr), (cfg, ocr)) \
    X(Ocr_Destroy, (NSOCR_HANDLE ocr), (ocr)) \
    X(Ocr_ProcessPages, (NSOCR_HANDLE img, NSOCR_HANDLE svr, int32_t firstPage, int32_t lastPage, int32_t workers, int32_t flags), (img, svr, firstPage, lastPage, workers, flags)) \
    X(Img_Create, (NSOCR_HANDLE ocr, NSOCR_HANDLE *img), (ocr, img)) \
    X(Img_Destroy, (NSOCR_HANDLE img), (img)) \
    X(Img_LoadFile, (NSOCR_HANDLE img, const NSOCR_UTF16 *fileName), (img, fileName)) \
    X(Img_LoadFromMemory, (NSOCR_HANDLE img, const uint8_t *bytes, int32_t size), (img, bytes, size)) \
    X(Img_LoadBmpData, (NSOCR_HANDLE img, const void *bits, int32_t width, int32_t height, int32_t flags, int32_t stride), (img, bits, width, height, flags, stride)) \
    X(Img_Unload, (NSOCR_HANDLE img), (img)) \
    X(Img_GetPageCount, (NSOCR_HANDLE img), (img)) \
    X(Img_SetPage, (NSOCR_HANDLE img, int32_t page), (img, page)) \
    X(Img_GetSize, (NSOCR_HANDLE img, int32_t *width, int32_t *height), (img, width, height)) \
    X(Img_DrawToDC, (NSOCR_HANDLE img, int32_t dc, int32_t x, int32_t y, int32_t *width, int32_t *height, int32_t flags), (img, dc, x, y, width, height, flags)) \
    X(Img_GetBmpData, (NSOCR_HANDLE img, void *bits, int32_t *width, int32_t *height, int32_t flags), (img, bits, width, height, flags)) \
    X(Img_DeleteAllBlocks, (NSOCR_HANDLE img), (img)) \
    X(Img_AddBlock, (NSOCR_HANDLE img, int32_t x, int32_t y, int32_t width, int32_t height, NSOCR_HANDLE *blk), (img, x, y, width, height, blk)) \
    X(Img_DeleteBlock, (NSOCR_HANDLE img, NSOCR_HANDLE blk), (img, blk)) \
    X(Img_GetBlockCnt, (NSOCR_HANDLE img), (img)) \
    X(Img_GetBlock, (NSOCR_HANDLE img, int32_t index, NSOCR_HANDLE *blk), (img, index, blk)) \
    X(Img_GetImgText, (NSOCR_HANDLE img, NSOCR_UTF16 *text, int32_t length, int32_t flags), (img, text, length, flags)) \
    X(Img_OCR, (NSOCR_HANDLE img, int32_t firstStep, int32_t lastStep, int32_t flags), (img, firstStep, lastStep, flags)) \
    X(Img_LoadBlocks, (NSOCR_HANDLE img, const NSOCR_UTF16 *fileName), (img, fileName)) \
    X(Img_SaveBlocks, (NSOCR_HANDLE img, const NSOCR_UTF16 *fileName), (img, fileName)) \
    X(Img_GetSkewAngle, (NSOCR_HANDLE img), (img)) \
    X(Img_GetPixLineCnt, (NSOCR_HANDLE img), (img)) \
    X(Img_GetPixLine, (NSOCR_HANDLE img, int32_t index, int32_t *x1, int32_t *y1, int32_t *x2, int32_t *y2, int32_t *width), (img, index, x1, y1, x2, y2, width)) \
    X(Img_GetScaleFactor, (NSOCR_HANDLE img), (img)) \
    X(Img_CalcPointPosition, (NSOCR_HANDLE img, int32_t *x, int32_t *y, int32_t mode), (img, x, y, mode)) \
    X(Img_CopyCurrentPage, (NSOCR_HANDLE img, NSOCR_HANDLE target, int32_t flags), (img, target, flags)) \
    X(Img_GetProperty, (NSOCR_HANDLE img, int32_t property), (img, property)) \
    X(Img_SaveToFile, (NSOCR_HANDLE img, const NSOCR_UTF16 *fileName, int32_t format, int32_t flags), (img, fileName, format, flags)) \
    X(Img_SaveToMemory, (NSOCR_HANDLE img, void *buffer, int32_t size, int32_t format, int32_t flags), (img, buffer, size, format, flags)) \
    X(Blk_GetType, (NSOCR_HANDLE blk), (blk)) \
    X(Blk_SetType, (NSOCR_HANDLE blk, int32_t type), (blk, type)) \
    X(Blk_GetRect, (NSOCR_HANDLE blk, int32_t *x, int32_t *y, int32_t *width, int32_t *height), (blk, x, y, width, height)) \
    X(Blk_GetText, (NSOCR_HANDLE blk, NSOCR_UTF16 *text, int32_t length, int32_t flags), (blk, text, length, flags)) \
    X(Blk_GetLineCnt, (NSOCR_HANDLE blk), (blk)) \
    X(Blk_GetLineText, (NSOCR_HANDLE blk, int32_t line, NSOCR_UTF16 *text, int32_t length), (blk, line, text, length)) \
    X(Blk_GetWordCnt, (NSOCR_HANDLE blk, int32_t line), (blk, line)) \
    X(Blk_GetWordText, (NSOCR_HANDLE blk, int32_t line, int32_t word, NSOCR_UTF16 *text, int32_t length), (blk, line, word, text, length)) \
    X(Blk_SetWordText, (NSOCR_HANDLE blk, int32_t line, int32_t word, const NSOCR_UTF16 *text), (blk, line, word, text)) \
    X(Blk_GetCharCnt, (NSOCR_HANDLE blk, int32_t line, int32_t word), (blk, line, word)) \
    X(Blk_GetCharRect, (NSOCR_HANDLE blk, int32_t line, int32_t word, int32_t ch, int32_t *x, int32_t *y, int32_t *width, int32_t *height), (blk, line, word, ch, x, y, width, height)) \
    X(Blk_GetCharText, (NSOCR_HANDLE blk, int32_t line, int32_t word, int32_t ch, int32_t candidate, NSOCR_UTF16 *text, int32_t length), (blk, line, word, ch, candidate, text, length)) \
    X(Blk_GetCharQual, (NSOCR_HANDLE blk, int32_t line, int32_t word, int32_t ch, int32_t candidate), (blk, line, word, ch, candidate)) \
    X(Blk_GetTextRect, (NSOCR_HANDLE blk, int32_t line, int32_t word, int32_t *x, int32_t *y, int32_t *width, int32_t *height), (blk, line, word, x, y, width, height)) \
    X(Blk_Inversion, (NSOCR_HANDLE blk, int32_t mode), (blk, mode)) \
    X(Blk_Rotation, (NSOCR_HANDLE blk, int32_t mode), (blk, mode)) \
    X(Blk_Mirror, (NSOCR_HANDLE blk, int32_t mode), (blk, mode)) \
    X(Blk_IsWordInDictionary, (NSOCR_HANDLE blk, int32_t line, int32_t word), (blk, line, word)) \
    X(Blk_SetRect, (NSOCR_HANDLE blk, int32_t x, int32_t y, int32_t width, int32_t height), (blk, x, y, width, height)) \
    X(Blk_GetWordQual, (NSOCR_HANDLE blk, int32_t line, int32_t word), (blk, line, word)) \
    X(Blk_GetWordFontColor, (NSOCR_HANDLE blk, int32_t line, int32_t word), (blk, line, word)) \
    X(Blk_GetWordFontSize, (NSOCR_HANDLE blk, int32_t line, int32_t word), (blk, line, word)) \
    X(Blk_GetWordFontStyle, (NSOCR_HANDLE blk, int32_t line, int32_t word), (blk, line, word)) \
    X(Blk_GetBackgroundColor, (NSOCR_HANDLE blk), (blk)) \
    X(Blk_SetWordRegEx, (NSOCR_HANDLE blk, int32_t line, int32_t word, const NSOCR_UTF16 *regEx, int32_t flags), (blk, line, word, regEx, flags)) \
    X(Blk_GetBarcodeCnt, (NSOCR_HANDLE blk), (blk)) \
    X(Blk_GetBarcodeText, (NSOCR_HANDLE blk, int32_t index, NSOCR_UTF16 *text, int32_t length), (blk, index, text, length)) \
    X(Blk_GetBarcodeRect, (NSOCR_HANDLE blk, int32_t index, int32_t *x, int32_t *y, int32_t *width, int32_t *height), (blk, index, x, y, width, height)) \
    X(Blk_GetBarcodeType, (NSOCR_HANDLE blk, int32_t index), (blk, index)) \
    X(Svr_Create, (NSOCR_HANDLE cfg, int32_t format, NSOCR_HANDLE *svr), (cfg, format, svr)) \
    X(Svr_Destroy, (NSOCR_HANDLE svr), (svr)) \
    X(Svr_NewDocument, (NSOCR_HANDLE svr), (svr)) \
    X(Svr_AddPage, (NSOCR_HANDLE svr, NSOCR_HANDLE img, int32_t flags), (svr, img, flags)) \
    X(Svr_SaveToFile, (NSOCR_HANDLE svr, const NSOCR_UTF16 *fileName), (svr, fileName)) \
    X(Svr_SaveToMemory, (NSOCR_HANDLE svr, void *buffer, int32_t size), (svr, buffer, size)) \
    X(Svr_GetText, (NSOCR_HANDLE svr, int32_t page, NSOCR_UTF16 *text, int32_t length), (svr, page, text, length)) \
    X(Svr_SetDocumentInfo, (NSOCR_HANDLE svr, int32_t info, const NSOCR_UTF16 *value), (svr, info, value)) \
    X(Scan_Create, (NSOCR_HANDLE cfg, NSOCR_HANDLE *scan), (cfg, scan)) \
    X(Scan_Enumerate, (NSOCR_HANDLE scan, NSOCR_UTF16 *names, int32_t length, int32_t flags), (scan, names, length, flags)) \
    X(Scan_ScanToImg, (NSOCR_HANDLE scan, NSOCR_HANDLE img, int32_t scanner, int32_t flags), (scan, img, scanner, flags)) \
    X(Scan_ScanToFile, (NSOCR_HANDLE scan, const NSOCR_UTF16 *fileName, int32_t scanner, int32_t flags), (scan, fileName, scanner, flags)) \
    X(Scan_Destroy, (NSOCR_HANDLE scan), (scan))

#define NSOCR_DECLARE_ENTRY_POINT(name, params, args) NSOCR_API int32_t NSOCR_CALL name params;
NSOCR_ENTRY_POINTS(NSOCR_DECLARE_ENTRY_POINT)
#undef NSOCR_DECLARE_ENTRY_POINT

#endif /* NSOCR_H */
