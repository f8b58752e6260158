#include "zqaudiostream.h"
#include "zqaudiostream_p.h"

#include "zqaudiodecoder.h"
#include "zqaudiodecoderlist.h"
#include "zqaudiodevice_p.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace zqaudio {

namespace {

// The server-side buffer: small, so that play and stop act within a blink,
// and refilled in chunks of the decoding size.
constexpr pa_usec_t BufferUsec = 100 * PA_USEC_PER_MSEC;
constexpr pa_usec_t ChunkUsec = 20 * PA_USEC_PER_MSEC;

} // namespace

bool streamSampleSpec(const Decoder &decoder, pa_sample_spec &sampleSpec)
{
    sampleSpec.format = PA_SAMPLE_S16NE;
    sampleSpec.rate = uint32_t(decoder.sampleRate());
    sampleSpec.channels = uint8_t(decoder.channels());
    return decoder.channels() <= PA_CHANNELS_MAX && pa_sample_spec_valid(&sampleSpec);
}

long streamChunkFrames(const Decoder &decoder)
{
    return std::max(1L, long(decoder.sampleRate() * ChunkUsec / PA_USEC_PER_SEC));
}

struct Stream::Private
{
    Device::Private *device = nullptr;
    std::unique_ptr<Decoder> decoder;
    pa_stream *stream = nullptr;
    std::thread thread;
    std::atomic<bool> playing{false};
    std::atomic<bool> ended{false};
    // Guarded by the device's loop lock.
    bool stopRequested = false;
    bool drained = false;

    static void signalLoop(pa_stream *, void *user);
    static void signalLoopWritable(pa_stream *, size_t, void *user);
    static void drainDone(pa_stream *, int, void *user);

    bool connect(Error *error);
    void run();
    // Waits under the loop lock until the stream can take data; 0 when it
    // should end (stop requested or the stream failed).
    size_t waitWritable();
    void drain();
    void stopOutput();
};

void Stream::Private::signalLoop(pa_stream *, void *user)
{
    pa_threaded_mainloop_signal(static_cast<Private *>(user)->device->loop, 0);
}

void Stream::Private::signalLoopWritable(pa_stream *stream, size_t, void *user)
{
    signalLoop(stream, user);
}

void Stream::Private::drainDone(pa_stream *, int, void *user)
{
    auto *self = static_cast<Private *>(user);
    self->drained = true;
    pa_threaded_mainloop_signal(self->device->loop, 0);
}

bool Stream::Private::connect(Error *error)
{
    pa_sample_spec sampleSpec;
    if (!streamSampleSpec(*decoder, sampleSpec)) {
        if (error)
            *error = Error::Format;
        return false;
    }
    // The server's default order for more than two channels is not the one
    // the decoders deliver; a 5.1 file would send its right channel left.
    pa_channel_map channelMap;
    pa_channel_map_init_extend(&channelMap, sampleSpec.channels, PA_CHANNEL_MAP_WAVEEX);

    LoopLocker lock(device->loop);
    if (pa_context_get_state(device->context) != PA_CONTEXT_READY
        || !(stream = pa_stream_new(device->context, "playback", &sampleSpec, &channelMap))) {
        if (error)
            *error = Error::Output;
        return false;
    }
    pa_stream_set_state_callback(stream, signalLoop, this);
    pa_stream_set_write_callback(stream, signalLoopWritable, this);

    pa_buffer_attr attr;
    attr.maxlength = uint32_t(-1);
    attr.tlength = uint32_t(pa_usec_to_bytes(BufferUsec, &sampleSpec));
    attr.prebuf = uint32_t(-1);
    attr.minreq = uint32_t(pa_usec_to_bytes(ChunkUsec, &sampleSpec));
    attr.fragsize = uint32_t(-1);
    if (pa_stream_connect_playback(stream, nullptr, &attr, PA_STREAM_ADJUST_LATENCY, nullptr, nullptr) < 0) {
        pa_stream_unref(stream);
        stream = nullptr;
        if (error)
            *error = Error::Output;
        return false;
    }
    stopRequested = false;
    drained = false;
    return true;
}

size_t Stream::Private::waitWritable()
{
    LoopLocker lock(device->loop);
    for (;;) {
        if (stopRequested)
            return 0;
        const pa_stream_state_t state = pa_stream_get_state(stream);
        if (!PA_STREAM_IS_GOOD(state))
            return 0;
        if (state == PA_STREAM_READY) {
            const size_t writable = pa_stream_writable_size(stream);
            if (writable != size_t(-1) && writable > 0)
                return writable;
        }
        pa_threaded_mainloop_wait(device->loop);
    }
}

void Stream::Private::drain()
{
    LoopLocker lock(device->loop);
    pa_operation *operation = pa_stream_drain(stream, drainDone, this);
    while (operation && !stopRequested && !drained && PA_STREAM_IS_GOOD(pa_stream_get_state(stream)))
        pa_threaded_mainloop_wait(device->loop);
    if (operation) {
        // A pending drain must not call back into a stream that is gone.
        if (!drained)
            pa_operation_cancel(operation);
        pa_operation_unref(operation);
    }
    if (drained)
        ended = true;
}

void Stream::Private::run()
{
    const int channels = decoder->channels();
    const size_t frameBytes = size_t(channels) * sizeof(std::int16_t);
    const long chunkFrames = streamChunkFrames(*decoder);
    std::vector<std::int16_t> chunk(size_t(chunkFrames) * size_t(channels));

    for (;;) {
        const size_t writable = waitWritable();
        if (writable == 0)
            break;
        const long wanted = std::clamp(long(writable / frameBytes), 1L, chunkFrames);
        // Decoding happens outside the lock, so the server is never kept
        // waiting for us.
        const long frames = decoder->read(chunk.data(), wanted);
        if (frames <= 0) {
            drain();
            break;
        }
        LoopLocker lock(device->loop);
        if (stopRequested)
            break;
        pa_stream_write(stream, chunk.data(), size_t(frames) * frameBytes, nullptr, 0, PA_SEEK_RELATIVE);
    }
    playing = false;
}

void Stream::Private::stopOutput()
{
    if (thread.joinable()) {
        {
            LoopLocker lock(device->loop);
            stopRequested = true;
            pa_threaded_mainloop_signal(device->loop, 0);
        }
        thread.join();
    }
    if (stream) {
        LoopLocker lock(device->loop);
        pa_stream_set_state_callback(stream, nullptr, nullptr);
        pa_stream_set_write_callback(stream, nullptr, nullptr);
        pa_stream_disconnect(stream);
        pa_stream_unref(stream);
        stream = nullptr;
    }
    playing = false;
}

Stream::Stream(Device &device, std::unique_ptr<Decoder> decoder) : d(new Private)
{
    d->device = device.d.get();
    d->decoder = std::move(decoder);
}

Stream::~Stream()
{
    d->stopOutput();
}

std::unique_ptr<Stream> Stream::create(Device &device, const DecoderList &decoders,
                                       const std::shared_ptr<const Source> &source, Error *error)
{
    std::unique_ptr<Decoder> decoder = decoders.open(source, error);
    if (!decoder)
        return nullptr;
    return std::make_unique<Stream>(device, std::move(decoder));
}

bool Stream::play(bool restart, Error *error)
{
    if (d->playing && !restart) {
        if (error)
            *error = Error::None;
        return true;
    }
    d->stopOutput();
    if ((restart || d->ended) && !d->decoder->rewind()) {
        if (error)
            *error = Error::Format;
        return false;
    }
    d->ended = false;
    if (!d->connect(error))
        return false;
    d->playing = true;
    d->thread = std::thread(&Private::run, d.get());
    if (error)
        *error = Error::None;
    return true;
}

void Stream::stop()
{
    d->stopOutput();
}

bool Stream::isPlaying() const
{
    return d->playing;
}

} // namespace zqaudio
