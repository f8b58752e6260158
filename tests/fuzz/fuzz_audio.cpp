// The bytes as a sound file held in memory, opened and played out as the
// players do it, without a sound server: the decoder list of the FMOD Ex
// engine (libsndfile with libmpg123, then FFmpeg; BASS has the first two)
// picks a decoder, whose output is read in the stream's chunks to the end,
// then rewound and read again.

#include "zqaudiodecoderlist.h"
#include "zqaudioffmpeg.h"
#include "zqaudiosndfile.h"
#include "zqaudiosource.h"
#include "zqaudiostream_p.h"

#include <cstdlib>
#include <vector>

namespace {

// A second: enough for every decoder to reach its steady state. A short
// input can expand to minutes of sound, which would only make runs slow.
constexpr long maxChunks = 50;

// Reads like the stream's decoding thread; false when the decoder breaks
// its contract.
bool playOut(zqaudio::Decoder &decoder, long chunks)
{
    const long chunkFrames = zqaudio::streamChunkFrames(decoder);
    // Exactly a chunk, so that the sanitizer sees a decoder write past it.
    std::vector<std::int16_t> chunk(size_t(chunkFrames) * size_t(decoder.channels()));
    for (long i = 0; i < chunks; ++i) {
        const long frames = decoder.read(chunk.data(), chunkFrames);
        if (frames > chunkFrames)
            return false;
        if (frames <= 0)
            break;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const zqaudio::DecoderList &decoders = *[] {
        auto *list = new zqaudio::DecoderList;
        list->add(zqaudio::openSndfileDecoder);
        list->add(zqaudio::openFfmpegDecoder);
        return list;
    }();
    zqaudio::Error error = zqaudio::Error::None;
    const std::unique_ptr<zqaudio::Decoder> decoder = decoders.open(
        zqaudio::Source::fromMemory(data, size, zqaudio::Source::Memory::Borrow), &error);
    if (!decoder) {
        if (error != zqaudio::Error::Format)
            std::abort();
        return 0;
    }
    // A decoder announces a format of its own; the stream refuses the ones
    // the server cannot play before it decodes anything.
    if (decoder->sampleRate() <= 0 || decoder->channels() <= 0)
        std::abort();
    pa_sample_spec sampleSpec;
    if (!zqaudio::streamSampleSpec(*decoder, sampleSpec))
        return 0;
    if (!playOut(*decoder, maxChunks) || (decoder->rewind() && !playOut(*decoder, 1)))
        std::abort();
    return 0;
}
