#ifndef RECOGNISER_H
#define RECOGNISER_H

#include "firstpass.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace tesseract {
class TessBaseAPI;
}

// Languages and language data a recognition runs with.
struct RecogniserSetup
{
    std::string dataDirectory;
    std::string languages; // "eng+deu"
};

// One Tesseract instance. It is started on first use and restarted only
// when the setup changes, since starting costs far more than recognising a
// line. Not thread-safe: one recognition at a time.
class Recogniser
{
public:
    Recogniser();
    ~Recogniser();

    // Recognises a prepared image into UTF-8 text, lines separated by "\n".
    // Returns 0, ERROR_JOBCANCELLED when *cancel became true, or an error.
    int32_t recognise(const RecogniserSetup &setup, const PreparedImage &image,
                      const std::atomic<bool> &cancel, std::string &text);
    // Starts the recogniser and runs it once over a small line, so that
    // the first real recognition costs no more than a later one.
    void warmUp(const RecogniserSetup &setup);

private:
    int32_t start(const RecogniserSetup &setup);

    std::unique_ptr<tesseract::TessBaseAPI> m_api;
    RecogniserSetup m_setup;
    bool m_started = false;
};

#endif // RECOGNISER_H
