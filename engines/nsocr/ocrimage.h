#ifndef OCRIMAGE_H
#define OCRIMAGE_H

#include "firstpass.h"
#include "nsocr.h"
#include "recogniser.h"

#include <atomic>
#include <string>
#include <thread>

// The engine's image object: one decoded image, its first pass, its
// recognised text and at most one recognition job on a worker thread.
// Calls come from one thread at a time; only the job runs on another.
// While the job runs, every call that would touch its data answers
// ERROR_BUSY.
class OcrImage
{
public:
    OcrImage() = default;
    ~OcrImage();
    OcrImage(const OcrImage &) = delete;
    OcrImage &operator=(const OcrImage &) = delete;

    int32_t loadFile(const std::u16string &fileName);
    int32_t loadMemory(const uint8_t *bytes, size_t size);
    int32_t size(int32_t *width, int32_t *height) const;

    // Steps 0..111 prepare, 112..255 recognise (preparing first if needed);
    // with OCRFLAG_THREAD the recognition runs on the worker thread.
    int32_t ocr(const RecogniserSetup &setup, int32_t firstStep, int32_t lastStep, int32_t flags);
    // 0 when the job is done (or there is none), ERROR_JOBRUNNING,
    // ERROR_JOBCANCELLED or ERROR_OPERATIONFAILED.
    int32_t jobResult();
    int32_t cancelJob();

    // The text's length in UTF-16 units; copies at most length - 1 units
    // and a terminating zero into a given buffer.
    int32_t text(NSOCR_UTF16 *buffer, int32_t length, int32_t flags);

private:
    bool busy() const { return m_job.load() == ERROR_JOBRUNNING; }
    void finishJob();
    int32_t prepare();
    int32_t recognise(const RecogniserSetup &setup);

    PixPtr m_source;
    PreparedImage m_prepared;
    Recogniser m_recogniser;
    std::u16string m_text; // lines separated by "\n"
    bool m_recognised = false;

    std::thread m_worker;
    std::atomic<int32_t> m_job{0};
    std::atomic<bool> m_cancel{false};
};

#endif // OCRIMAGE_H
