#ifndef OCRIMAGE_H
#define OCRIMAGE_H

#include "firstpass.h"
#include "nsocr.h"
#include "recogniser.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The engine's image object: one loaded image, its recognised text and at
// most one recognition job on a worker thread. Calls come from one thread
// at a time; only the job runs on another. While the job runs, every call
// that would touch its data answers ERROR_BUSY.
//
// Loading reads the image's header only and keeps the encoded bytes. The
// pixel work (decoding, the first pass's grey conversion, upscaling and
// padding) runs with the recognition, on the thread that recognises: a
// full-screen capture costs the calling thread of a background job about
// a millisecond instead of 20 to 40.
//
// A cancelled job's worker may still be on its way out when the caller
// moves on to the next image: the calls that need the image wait a bounded
// time for it to end before they answer ERROR_BUSY.
class OcrImage
{
public:
    OcrImage() = default;
    ~OcrImage();
    OcrImage(const OcrImage &) = delete;
    OcrImage &operator=(const OcrImage &) = delete;

    // Warms the recogniser up and returns when it is done, so that the
    // first recognition is as quick as a later one. It runs on a worker
    // thread, as jobs do: recognising in the caller's thread would leave a
    // team of the recogniser's parallel threads bound to it, which made
    // later background jobs several times slower. Call it before any job.
    void warmUp(const RecogniserSetup &setup);

    int32_t loadFile(const std::u16string &fileName);
    int32_t loadMemory(const uint8_t *bytes, size_t size);
    int32_t size(int32_t *width, int32_t *height) const;

    // Steps 0..111 check that an image is loaded, 112..255 prepare and
    // recognise it; with OCRFLAG_THREAD on the worker thread.
    int32_t ocr(const RecogniserSetup &setup, int32_t firstStep, int32_t lastStep, int32_t flags);
    // 0 when the job is done (or there is none), ERROR_JOBRUNNING,
    // ERROR_JOBCANCELLED, or the error that ended the job: the same result
    // as the same work in the calling thread.
    int32_t jobResult();
    int32_t cancelJob();

    // The text's length in UTF-16 units; copies at most length - 1 units
    // and a terminating zero into a given buffer.
    int32_t text(NSOCR_UTF16 *buffer, int32_t length, int32_t flags);

private:
    bool busy() const { return m_job.load() == ERROR_JOBRUNNING; }
    bool waitUntilFree();
    void endJob(int32_t result);
    void finishJob();
    int32_t recognise(const RecogniserSetup &setup);

    std::vector<uint8_t> m_encoded; // empty: no image
    int32_t m_width = 0;
    int32_t m_height = 0;
    Recogniser m_recogniser;
    std::u16string m_text; // lines separated by "\n"
    bool m_recognised = false;

    std::thread m_worker;
    std::atomic<int32_t> m_job{0};
    std::atomic<bool> m_cancel{false};
    std::mutex m_jobMutex;
    std::condition_variable m_jobEnded;
};

#endif // OCRIMAGE_H
