#include "ocrimage.h"

#include "imageheader.h"
#include "regularfile.h"
#include "utf16.h"

#include <leptonica/allheaders.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <new>
#include <vector>

namespace {

// Drops empty lines and trailing blanks of the recogniser's output.
std::u16string cleanLines(const std::string &utf8)
{
    std::u16string result;
    size_t start = 0;
    while (start < utf8.size()) {
        size_t end = utf8.find('\n', start);
        if (end == std::string::npos)
            end = utf8.size();
        std::string line = utf8.substr(start, end - start);
        line.erase(line.find_last_not_of(" \t\r") + 1);
        if (!line.empty()) {
            if (!result.empty())
                result += u'\n';
            result += fromUtf8(line);
        }
        start = end + 1;
    }
    return result;
}

} // namespace

OcrImage::~OcrImage()
{
    m_cancel = true;
    finishJob();
}

bool OcrImage::waitUntilFree()
{
    if (!busy())
        return true;
    if (!m_cancel)
        return false;
    // Long enough for a worker that was cancelled in its layout analysis,
    // where the recogniser does not look at the cancellation, on a loaded
    // machine; short enough for a caller's event loop.
    std::unique_lock<std::mutex> lock(m_jobMutex);
    return m_jobEnded.wait_for(lock, std::chrono::seconds(2), [this] { return !busy(); });
}

void OcrImage::endJob(int32_t result)
{
    {
        const std::lock_guard<std::mutex> lock(m_jobMutex);
        m_job = result;
    }
    m_jobEnded.notify_all();
}

void OcrImage::finishJob()
{
    if (m_worker.joinable())
        m_worker.join();
}

void OcrImage::warmUp(const RecogniserSetup &setup)
{
    std::thread([&] { m_recogniser.warmUp(setup); }).join();
}

int32_t OcrImage::loadFile(const std::u16string &fileName)
{
    if (!waitUntilFree())
        return ERROR_BUSY;
    std::vector<uint8_t> bytes;
    const int32_t read = fileName.empty() ? ERROR_CANNOTREADFILE : readRegularFile(std::filesystem::path(fileName), NSOCR_MAX_FILE_SIZE, bytes);
    if (read != 0) {
        loadMemory(nullptr, 0); // a failed load leaves no image behind
        return read;
    }
    const int32_t result = loadMemory(bytes.data(), bytes.size());
    return result == ERROR_INVALIDPARAMETER ? ERROR_CANNOTREADFILE : result;
}

int32_t OcrImage::loadMemory(const uint8_t *bytes, size_t size)
{
    if (!waitUntilFree())
        return ERROR_BUSY;
    // A failed load leaves no image behind, not the previous one.
    finishJob();
    m_encoded.clear();
    m_text.clear();
    m_recognised = false;
    m_job = 0;
    if (!bytes || size == 0)
        return ERROR_INVALIDPARAMETER;
    if (size > NSOCR_MAX_FILE_SIZE)
        return ERROR_FILETOOLARGE;
    if (isPdf(bytes, size))
        return ERROR_GHOSTSCRIPT;
    const int32_t result = readSize(bytes, size, m_width, m_height);
    if (result != 0)
        return result;
    m_encoded.assign(bytes, bytes + size);
    return 0;
}

int32_t OcrImage::size(int32_t *width, int32_t *height) const
{
    if (!width || !height)
        return ERROR_INVALIDPARAMETER;
    if (m_encoded.empty())
        return ERROR_NOIMAGE;
    *width = m_width;
    *height = m_height;
    return 0;
}

int32_t OcrImage::recognise(const RecogniserSetup &setup)
{
    m_text.clear();
    m_recognised = false;
    PixPtr source(pixReadMem(m_encoded.data(), m_encoded.size()));
    if (!source)
        return ERROR_CANNOTDECODE;
    // The decoder may have been given a header it did not follow.
    if (int64_t(pixGetWidth(source.get())) * pixGetHeight(source.get()) > NSOCR_MAX_PIXELS)
        return ERROR_IMAGETOOLARGE;
    if (m_cancel)
        return ERROR_JOBCANCELLED;
    std::string utf8;
    const int32_t result = m_recogniser.recognise(setup, source.get(), m_cancel, utf8);
    // A cancelled run's partial text is discarded.
    if (result == 0) {
        m_text = cleanLines(utf8);
        m_recognised = true;
    }
    return result;
}

int32_t OcrImage::ocr(const RecogniserSetup &setup, int32_t firstStep, int32_t lastStep, int32_t flags)
{
    if (firstStep < OCRSTEP_FIRST || lastStep > OCRSTEP_LAST || firstStep > lastStep
        || (flags & ~OCRFLAG_THREAD) != 0)
        return ERROR_INVALIDPARAMETER;
    if (!waitUntilFree())
        return ERROR_BUSY;
    finishJob();
    if (m_encoded.empty())
        return ERROR_NOIMAGE;
    if (lastStep < OCRSTEP_RECOGNIZE)
        return 0;

    m_cancel = false;
    if (!(flags & OCRFLAG_THREAD)) {
        m_job = 0;
        return recognise(setup);
    }
    m_job = ERROR_JOBRUNNING;
    // The worker runs at the caller's priority. Below it, a host whose event
    // loop never sleeps, beside any CPU-bound process, left a job of 0.1 s
    // running into the time-out; the caller's event loop keeps running all
    // the same, on a core of its own or in its fair share of one.
    m_worker = std::thread([this, setup] {
        // The job's result is that of the same work in the calling thread.
        int32_t result = ERROR_INTERNAL;
        try {
            result = recognise(setup);
        } catch (const std::bad_alloc &) {
            result = ERROR_OUTOFMEMORY;
        } catch (...) {
        }
        endJob(result);
    });
    return 0;
}

int32_t OcrImage::jobResult()
{
    const int32_t result = m_job.load();
    if (result != ERROR_JOBRUNNING)
        finishJob();
    return result;
}

int32_t OcrImage::cancelJob()
{
    if (busy())
        m_cancel = true;
    return 0;
}

int32_t OcrImage::text(NSOCR_UTF16 *buffer, int32_t length, int32_t flags)
{
    if (busy())
        return ERROR_BUSY;
    if (!m_recognised)
        return ERROR_NOTEXT;
    if (buffer && length <= 0)
        return ERROR_INVALIDPARAMETER;
    const int32_t textLength = int32_t(m_text.size());
    if (buffer) {
        const int32_t copied = std::min(textLength, length - 1);
        for (int32_t i = 0; i < copied; ++i) {
            const char16_t c = m_text[i];
            buffer[i] = c == u'\n' && !(flags & IMGTEXT_LINEBREAKS) ? u' ' : c;
        }
        buffer[copied] = 0;
    }
    return textLength;
}
