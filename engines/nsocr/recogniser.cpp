#include "recogniser.h"

#include "linetext.h"
#include "nsocr.h"

#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include <cstdlib>

#ifdef _OPENMP
#include <omp.h>
#endif

namespace {

bool cancelRequested(void *cancel, int)
{
    return static_cast<const std::atomic<bool> *>(cancel)->load();
}

} // namespace

Recogniser::Recogniser()
    : m_api(new tesseract::TessBaseAPI)
{
}

Recogniser::~Recogniser()
{
    m_api->End();
}

int32_t Recogniser::start(const RecogniserSetup &setup)
{
    if (m_started && setup.dataDirectory == m_setup.dataDirectory
        && setup.languages == m_setup.languages)
        return 0;
    if (setup.languages.empty())
        return ERROR_NOLANGUAGE;
    m_api->End();
    m_started = m_api->Init(setup.dataDirectory.c_str(), setup.languages.c_str(),
                            tesseract::OEM_LSTM_ONLY) == 0;
    if (!m_started)
        return ERROR_ENGINEINIT;
    // Tesseract's shared caches come to life with the first start, so they
    // die at exit before the engine's objects, which would then release
    // into them. A host may well exit with the engine still running: release
    // its objects first.
    [[maybe_unused]] static const int releaseAtExit = std::atexit([] { Engine_Uninitialize(); });
    m_setup = setup;
    // The first pass has made the text dark on light already; a second try
    // on the inverted line would only cost time.
    m_api->SetVariable("tessedit_do_invert", "0");
    return 0;
}

int32_t Recogniser::recognise(const RecogniserSetup &setup, const PreparedImage &image,
                              const std::atomic<bool> &cancel, std::string &text)
{
    // The recogniser's OpenMP loops would otherwise spin up a team per call
    // and fight over the cores, several times slower than one thread.
    // Settings made through the environment come too late once the process
    // runs, and they are per thread: set them in every recognising thread.
#ifdef _OPENMP
    omp_set_dynamic(1);
#endif
    const int32_t started = start(setup);
    if (started != 0)
        return started;

    std::vector<GlyphLine> lines;
    PixPtr binary;
    const auto read = [&](tesseract::PageSegMode mode) -> int32_t {
        m_api->SetPageSegMode(mode);
        m_api->SetImage(image.pix.get());
        tesseract::ETEXT_DESC monitor;
        monitor.cancel = cancelRequested;
        monitor.cancel_this = const_cast<std::atomic<bool> *>(&cancel);
        const int recognised = m_api->Recognize(&monitor);
        if (cancel)
            return ERROR_JOBCANCELLED;
        if (recognised != 0)
            return ERROR_OPERATIONFAILED;
        binary.reset(m_api->GetThresholdedImage());
        const std::unique_ptr<tesseract::ResultIterator> it(m_api->GetIterator());
        lines = readGlyphs(it.get());
        m_api->Clear();
        return 0;
    };
    const bool singleLine = image.layout == PageLayout::SingleLine;
    if (const int32_t result = read(singleLine ? tesseract::PSM_SINGLE_LINE : tesseract::PSM_AUTO))
        return result;
    // The line finder may take all of a short line's letters for noise,
    // most often beside a frame: read such a line once more as one word.
    if (singleLine && lines.empty()) {
        if (const int32_t result = read(tesseract::PSM_SINGLE_WORD))
            return result;
    }
    text.clear();
    for (const GlyphLine &line : lines) {
        if (!text.empty())
            text += '\n';
        text += lineText(line, binary.get(), image);
    }
    return 0;
}

void Recogniser::warmUp(const RecogniserSetup &setup)
{
    // A line of strokes of screen-text size, prepared like any image, so
    // that the recogniser allocates what a real line needs.
    PixPtr line(pixCreate(60, 16, 8));
    if (!line)
        return;
    pixSetAll(line.get());
    for (int x = 4; x < 56; x += 7)
        pixRasterop(line.get(), x, 3, 2, x % 3 ? 10 : 7, PIX_CLR, nullptr, 0, 0);
    const PreparedImage prepared = prepareImage(line.get());
    const std::atomic<bool> never(false);
    std::string text;
    if (prepared.pix)
        recognise(setup, prepared, never, text);
}
