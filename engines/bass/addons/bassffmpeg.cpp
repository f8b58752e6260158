// Decoder add-on over FFmpeg: AAC/M4A and the other formats that the
// engine's built-in decoder lacks.
#include "bassaddon.h"

#include "zqaudioffmpeg.h"
#include "zqaudiosource.h"

struct BASSADDON_DECODER
{
    std::unique_ptr<zqaudio::Decoder> decoder;
};

namespace {

BASSADDON_DECODER *BASSADDONAPI openDecoder(const BASSADDON_SOURCE *source, BASSADDON_FORMAT *format)
{
    // The engine keeps memory alive until close(), so it is read in place.
    const std::shared_ptr<const zqaudio::Source> zqSource = source->path
        ? zqaudio::Source::fromPath(source->path)
        : zqaudio::Source::fromMemory(source->data, size_t(source->size), zqaudio::Source::Memory::Borrow);
    std::unique_ptr<zqaudio::Decoder> decoder = zqaudio::openFfmpegDecoder(zqSource);
    if (!decoder)
        return nullptr;
    format->rate = uint32_t(decoder->sampleRate());
    format->channels = uint32_t(decoder->channels());
    return new BASSADDON_DECODER{std::move(decoder)};
}

int64_t BASSADDONAPI readDecoder(BASSADDON_DECODER *decoder, int16_t *out, int64_t frames)
{
    return decoder->decoder->read(out, long(frames));
}

int BASSADDONAPI rewindDecoder(BASSADDON_DECODER *decoder)
{
    return decoder->decoder->rewind() ? 1 : 0;
}

void BASSADDONAPI closeDecoder(BASSADDON_DECODER *decoder)
{
    delete decoder;
}

const BASSADDON addOn = {BASSADDON_ABI_VERSION, "FFmpeg", openDecoder, readDecoder, rewindDecoder, closeDecoder};

} // namespace

extern "C" BASSADDON_EXPORT const BASSADDON *BASSADDONAPI BASSADDON_Describe(void)
{
    return &addOn;
}
