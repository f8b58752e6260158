// The entry points of the stand-in engine over Tesseract and Leptonica.
//
// Objects live in handle tables guarded by one lock; an entry point looks
// its object up under the lock and works on it outside, so that a long
// recognition in the calling thread blocks no other call.

#include "nsocr.h"
#include "handletable.h"
#include "ocrimage.h"
#include "ocroptions.h"
#include "utf16.h"

#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>

#include <memory>
#include <mutex>
#include <new>

namespace {

struct Configuration
{
    OcrOptions options;
};

struct Recognition
{
    std::shared_ptr<Configuration> cfg;
};

struct Image
{
    std::shared_ptr<Recognition> ocr;
    OcrImage image;
};

struct Scanner
{
    std::shared_ptr<Configuration> cfg;
};

struct Engine
{
    std::mutex lock;
    NSOCR_HANDLE lastHandle = 0;
    HandleTable<NSOCR_HANDLE, Configuration> configurations;
    HandleTable<NSOCR_HANDLE, Recognition> recognitions;
    HandleTable<NSOCR_HANDLE, Image> images;
    HandleTable<NSOCR_HANDLE, Scanner> scanners;

    // One count for every kind, so that no handle names two objects.
    NSOCR_HANDLE nextHandle() { return ++lastHandle; }
};

// Never destroyed: the release at exit may be registered late, by a
// worker thread while the process already exits, and then runs after
// every static object is gone.
Engine &engine()
{
    static Engine *const instance = new Engine;
    return *instance;
}

std::shared_ptr<Image> findImage(NSOCR_HANDLE img)
{
    std::lock_guard<std::mutex> guard(engine().lock);
    return engine().images.find(img);
}

template<typename T>
int32_t destroy(HandleTable<NSOCR_HANDLE, T> &table, NSOCR_HANDLE handle)
{
    std::shared_ptr<T> object;
    {
        std::lock_guard<std::mutex> guard(engine().lock);
        object = table.take(handle);
    }
    // Released outside the lock: an image waits for its worker thread.
    return object ? 0 : ERROR_INVALIDHANDLE;
}

void copyText(const std::u16string &text, NSOCR_UTF16 *buffer)
{
    for (char16_t c : text)
        *buffer++ = c;
    *buffer = 0;
}

// No C++ exception may leave an entry point: its caller is C, and an
// exception crossing into it ends the process. Called in a handler.
int32_t caughtFailure() noexcept
{
    try {
        throw;
    } catch (const std::bad_alloc &) {
        return ERROR_OUTOFMEMORY;
    } catch (...) {
        return ERROR_INTERNAL;
    }
}

} // namespace

NSOCR_API int32_t NSOCR_CALL Engine_Initialize(void)
try {
    setMsgSeverity(L_SEVERITY_NONE); // undecodable input is reported by result
    return 0;
} catch (...) {
    return caughtFailure();
}

NSOCR_API int32_t NSOCR_CALL Engine_Uninitialize(void)
try {
    HandleTable<NSOCR_HANDLE, Image>::Objects images;
    {
        std::lock_guard<std::mutex> guard(engine().lock);
        images = engine().images.takeAll();
        engine().recognitions.takeAll();
        engine().configurations.takeAll();
        engine().scanners.takeAll();
    }
    return 0;
} catch (...) {
    return caughtFailure();
}

NSOCR_API int32_t NSOCR_CALL Engine_GetVersion(NSOCR_UTF16 *version)
try {
    if (!version)
        return ERROR_INVALIDPARAMETER;
    // At most 64 units with the terminating zero.
    copyText(fromUtf8(std::string("1.0 Tesseract ") + tesseract::TessBaseAPI::Version()).substr(0, 63),
             version);
    return 0;
} catch (...) {
    return caughtFailure();
}

NSOCR_API int32_t NSOCR_CALL Cfg_Create(NSOCR_HANDLE *cfg)
try {
    if (!cfg)
        return ERROR_INVALIDPARAMETER;
    std::lock_guard<std::mutex> guard(engine().lock);
    *cfg = engine().configurations.add(std::make_shared<Configuration>(), engine().nextHandle());
    return 0;
} catch (...) {
    return caughtFailure();
}

NSOCR_API int32_t NSOCR_CALL Cfg_Destroy(NSOCR_HANDLE cfg)
try {
    return destroy(engine().configurations, cfg);
} catch (...) {
    return caughtFailure();
}

NSOCR_API int32_t NSOCR_CALL Cfg_LoadOptions(NSOCR_HANDLE cfg, const NSOCR_UTF16 *fileName)
try {
    if (!fileName)
        return ERROR_INVALIDPARAMETER;
    std::lock_guard<std::mutex> guard(engine().lock);
    const auto configuration = engine().configurations.find(cfg);
    if (!configuration)
        return ERROR_INVALIDHANDLE;
    return configuration->options.load(toUtf8(fromUtf16z(fileName)));
} catch (...) {
    return caughtFailure();
}

NSOCR_API int32_t NSOCR_CALL Cfg_SetOption(NSOCR_HANDLE cfg, int32_t, const NSOCR_UTF16 *path,
                                           const NSOCR_UTF16 *value)
try {
    if (!path || !value)
        return ERROR_INVALIDPARAMETER;
    std::lock_guard<std::mutex> guard(engine().lock);
    const auto configuration = engine().configurations.find(cfg);
    if (!configuration)
        return ERROR_INVALIDHANDLE;
    return configuration->options.set(toUtf8(fromUtf16z(path)), toUtf8(fromUtf16z(value)));
} catch (...) {
    return caughtFailure();
}

NSOCR_API int32_t NSOCR_CALL Ocr_Create(NSOCR_HANDLE cfg, NSOCR_HANDLE *ocr)
try {
    if (!ocr)
        return ERROR_INVALIDPARAMETER;
    std::lock_guard<std::mutex> guard(engine().lock);
    auto configuration = engine().configurations.find(cfg);
    if (!configuration)
        return ERROR_INVALIDHANDLE;
    auto recognition = std::make_shared<Recognition>();
    recognition->cfg = std::move(configuration);
    *ocr = engine().recognitions.add(std::move(recognition), engine().nextHandle());
    return 0;
} catch (...) {
    return caughtFailure();
}

NSOCR_API int32_t NSOCR_CALL Ocr_Destroy(NSOCR_HANDLE ocr)
try {
    return destroy(engine().recognitions, ocr);
} catch (...) {
    return caughtFailure();
}

NSOCR_API int32_t NSOCR_CALL Img_Create(NSOCR_HANDLE ocr, NSOCR_HANDLE *img)
try {
    if (!img)
        return ERROR_INVALIDPARAMETER;
    std::shared_ptr<Recognition> recognition;
    RecogniserSetup setup;
    {
        std::lock_guard<std::mutex> guard(engine().lock);
        recognition = engine().recognitions.find(ocr);
        if (!recognition)
            return ERROR_INVALIDHANDLE;
        const OcrOptions &options = recognition->cfg->options;
        setup = {options.dataDirectory(), options.languageCodes()};
    }
    // Starting the recogniser costs many recognitions. It belongs to the
    // engine's start-up, so the caller's first job is as quick as a later
    // one; outside the lock, so that other handles' calls do not wait.
    auto image = std::make_shared<Image>();
    image->image.warmUp(setup);
    image->ocr = std::move(recognition);
    std::lock_guard<std::mutex> guard(engine().lock);
    *img = engine().images.add(std::move(image), engine().nextHandle());
    return 0;
} catch (...) {
    return caughtFailure();
}

NSOCR_API int32_t NSOCR_CALL Img_Destroy(NSOCR_HANDLE img)
try {
    return destroy(engine().images, img);
} catch (...) {
    return caughtFailure();
}

NSOCR_API int32_t NSOCR_CALL Img_LoadFile(NSOCR_HANDLE img, const NSOCR_UTF16 *fileName)
try {
    const auto image = findImage(img);
    if (!image)
        return ERROR_INVALIDHANDLE;
    if (!fileName)
        return ERROR_INVALIDPARAMETER;
    return image->image.loadFile(fromUtf16z(fileName));
} catch (...) {
    return caughtFailure();
}

NSOCR_API int32_t NSOCR_CALL Img_LoadFromMemory(NSOCR_HANDLE img, const uint8_t *bytes, int32_t size)
try {
    const auto image = findImage(img);
    if (!image)
        return ERROR_INVALIDHANDLE;
    if (size < 0)
        return ERROR_INVALIDPARAMETER;
    return image->image.loadMemory(bytes, size_t(size));
} catch (...) {
    return caughtFailure();
}

NSOCR_API int32_t NSOCR_CALL Img_GetSize(NSOCR_HANDLE img, int32_t *width, int32_t *height)
try {
    const auto image = findImage(img);
    return image ? image->image.size(width, height) : ERROR_INVALIDHANDLE;
} catch (...) {
    return caughtFailure();
}

NSOCR_API int32_t NSOCR_CALL Img_OCR(NSOCR_HANDLE img, int32_t firstStep, int32_t lastStep, int32_t flags)
try {
    const auto image = findImage(img);
    if (!image)
        return ERROR_INVALIDHANDLE;
    if (flags & OCRFLAG_GETRESULT)
        return image->image.jobResult();
    if (flags & OCRFLAG_CANCEL)
        return image->image.cancelJob();
    RecogniserSetup setup;
    {
        // A snapshot: options may change while a worker thread recognises.
        std::lock_guard<std::mutex> guard(engine().lock);
        const OcrOptions &options = image->ocr->cfg->options;
        setup.dataDirectory = options.dataDirectory();
        setup.languages = options.languageCodes();
    }
    return image->image.ocr(setup, firstStep, lastStep, flags);
} catch (...) {
    return caughtFailure();
}

NSOCR_API int32_t NSOCR_CALL Img_GetImgText(NSOCR_HANDLE img, NSOCR_UTF16 *text, int32_t length, int32_t flags)
try {
    const auto image = findImage(img);
    return image ? image->image.text(text, length, flags) : ERROR_INVALIDHANDLE;
} catch (...) {
    return caughtFailure();
}

NSOCR_API int32_t NSOCR_CALL Scan_Create(NSOCR_HANDLE cfg, NSOCR_HANDLE *scan)
try {
    if (!scan)
        return ERROR_INVALIDPARAMETER;
    std::lock_guard<std::mutex> guard(engine().lock);
    auto configuration = engine().configurations.find(cfg);
    if (!configuration)
        return ERROR_INVALIDHANDLE;
    auto scanner = std::make_shared<Scanner>();
    scanner->cfg = std::move(configuration);
    *scan = engine().scanners.add(std::move(scanner), engine().nextHandle());
    return 0;
} catch (...) {
    return caughtFailure();
}

NSOCR_API int32_t NSOCR_CALL Scan_Destroy(NSOCR_HANDLE scan)
try {
    return destroy(engine().scanners, scan);
} catch (...) {
    return caughtFailure();
}
