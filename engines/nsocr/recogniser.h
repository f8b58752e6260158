#ifndef RECOGNISER_H
#define RECOGNISER_H

#include "firstpass.h"
#include "pagelayout.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tesseract {
class TessBaseAPI;
}

// Languages and language data a recognition runs with.
struct RecogniserSetup
{
    std::string dataDirectory;
    std::string languages; // "eng+deu"
};

// Reads an image line by line: the layout gives its lines in reading order,
// and each line is prepared and read on its own as a crop of that line
// would be, so a paragraph reads as well as its lines one by one.
//
// Each language group the setup names runs in a Tesseract instance of its
// own, started on first use and kept while the setup names it, since
// starting costs far more than recognising a line. The lines of a page are
// read by as many readers as there are cores (up to four), each with
// instances of its own: a line's recognition runs in one thread. Not
// thread-safe: one recognition at a time.
class Recogniser
{
public:
    Recogniser();
    ~Recogniser();

    // Recognises a decoded image into UTF-8 text, lines separated by "\n".
    // Returns 0, ERROR_JOBCANCELLED when *cancel became true, or an error.
    int32_t recognise(const RecogniserSetup &setup, Pix *source, const std::atomic<bool> &cancel,
                      std::string &text);
    // Starts the recogniser and runs it once over a small line, so that
    // the first real recognition costs no more than a later one.
    void warmUp(const RecogniserSetup &setup);

private:
    struct Reading;
    using Api = std::unique_ptr<tesseract::TessBaseAPI, void (*)(tesseract::TessBaseAPI *)>;
    using Reader = std::map<std::string, Api>; // by group

    static bool readsAsIcon(const Reading &reading);
    int32_t start(const RecogniserSetup &setup);
    int32_t readLine(tesseract::TessBaseAPI *api, const PreparedImage &line, const std::atomic<bool> &cancel,
                     Reading &reading);
    // Reads a line prepared from `source`, with each group in turn.
    int32_t readBest(Reader &reader, Pix *source, const PreparedImage &line, const std::atomic<bool> &cancel,
                     Reading &best);
    int32_t readLines(Pix *source, const std::vector<LineBox> &lines, const std::atomic<bool> &cancel,
                      std::string &text);

    std::string m_dataDirectory;
    std::vector<std::string> m_groups; // the setup's languages, as Tesseract groups
    bool m_latinFirst = true; // the first group is written in English's alphabet
    std::vector<Reader> m_readers;
};

#endif // RECOGNISER_H
