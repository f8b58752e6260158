#include "zqaudioffmpeg.h"

#include "zqaudiosource.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace zqaudio {

namespace {

// Below this probe score FFmpeg is guessing (random bytes often look like a
// few MPEG frames); such data is refused rather than played as noise.
constexpr int MinimumProbeScore = AVPROBE_SCORE_MAX / 4;
constexpr int IoBufferSize = 64 * 1024;

class FfmpegDecoder : public Decoder
{
public:
    explicit FfmpegDecoder(std::shared_ptr<const Source> source) : m_source(std::move(source)) {}
    ~FfmpegDecoder() override;

    bool open();

    int sampleRate() const override { return m_codec->sample_rate; }
    int channels() const override { return m_channels; }
    long read(std::int16_t *out, long frameCount) override;
    bool rewind() override;

private:
    static int readMemory(void *user, uint8_t *buffer, int size);
    static int64_t seekMemory(void *user, int64_t offset, int whence);

    // Decodes the next frame into m_pending; false at the end or on error.
    bool decodeFrame();
    bool convert(AVFrame *frame);

    std::shared_ptr<const Source> m_source;
    int64_t m_position = 0;
    AVIOContext *m_io = nullptr;
    AVFormatContext *m_format = nullptr;
    AVCodecContext *m_codec = nullptr;
    SwrContext *m_resampler = nullptr;
    AVPacket *m_packet = nullptr;
    AVFrame *m_frame = nullptr;
    int m_streamIndex = -1;
    int m_channels = 0;
    bool m_inputDone = false;
    bool m_outputDone = false;
    std::vector<std::int16_t> m_pending;
    size_t m_pendingOffset = 0;
};

FfmpegDecoder::~FfmpegDecoder()
{
    av_frame_free(&m_frame);
    av_packet_free(&m_packet);
    swr_free(&m_resampler);
    avcodec_free_context(&m_codec);
    avformat_close_input(&m_format);
    if (m_io) {
        av_freep(&m_io->buffer);
        avio_context_free(&m_io);
    }
}

int FfmpegDecoder::readMemory(void *user, uint8_t *buffer, int size)
{
    auto *self = static_cast<FfmpegDecoder *>(user);
    const int64_t left = int64_t(self->m_source->size()) - self->m_position;
    const int count = int(std::min<int64_t>(left, size));
    if (count <= 0)
        return AVERROR_EOF;
    std::memcpy(buffer, self->m_source->data() + self->m_position, size_t(count));
    self->m_position += count;
    return count;
}

int64_t FfmpegDecoder::seekMemory(void *user, int64_t offset, int whence)
{
    auto *self = static_cast<FfmpegDecoder *>(user);
    const int64_t size = int64_t(self->m_source->size());
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
        return size;
    case SEEK_SET:
        break;
    case SEEK_CUR:
        offset += self->m_position;
        break;
    case SEEK_END:
        offset += size;
        break;
    default:
        return -1;
    }
    if (offset < 0 || offset > size)
        return -1;
    self->m_position = offset;
    return offset;
}

bool FfmpegDecoder::open()
{
    m_format = avformat_alloc_context();
    if (!m_format)
        return false;
    // A path goes to FFmpeg as a file URL, so that a file whose name starts
    // like one of FFmpeg's protocols ("pipe:", "concat:", "http:") is still
    // read as the file it is.
    std::string url;
    if (m_source->isMemory()) {
        if (m_source->size() == 0)
            return false;
        auto *buffer = static_cast<unsigned char *>(av_malloc(IoBufferSize));
        m_io = buffer ? avio_alloc_context(buffer, IoBufferSize, 0, this, readMemory, nullptr, seekMemory) : nullptr;
        if (!m_io) {
            av_free(buffer);
            return false;
        }
        m_format->pb = m_io;
        m_format->flags |= AVFMT_FLAG_CUSTOM_IO;
    } else {
        url = "file:" + m_source->path();
    }
    // On failure avformat_open_input frees the context and nulls it.
    if (avformat_open_input(&m_format, url.empty() ? nullptr : url.c_str(), nullptr, nullptr) < 0)
        return false;
    if (m_format->probe_score < MinimumProbeScore || avformat_find_stream_info(m_format, nullptr) < 0)
        return false;

    const AVCodec *codec = nullptr;
    m_streamIndex = av_find_best_stream(m_format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (m_streamIndex < 0 || !codec)
        return false;
    m_codec = avcodec_alloc_context3(codec);
    if (!m_codec
        || avcodec_parameters_to_context(m_codec, m_format->streams[m_streamIndex]->codecpar) < 0
        || avcodec_open2(m_codec, codec, nullptr) < 0)
        return false;
    m_channels = m_codec->ch_layout.nb_channels;
    if (m_channels <= 0 || m_codec->sample_rate <= 0)
        return false;
    m_packet = av_packet_alloc();
    m_frame = av_frame_alloc();
    // Data that yields no sound at all is no sound file.
    return m_packet && m_frame && decodeFrame();
}

bool FfmpegDecoder::convert(AVFrame *frame)
{
    if (frame->ch_layout.nb_channels != m_channels || frame->sample_rate != m_codec->sample_rate)
        return false;
    if (!m_resampler) {
        AVChannelLayout outLayout;
        av_channel_layout_default(&outLayout, m_channels);
        const int result = swr_alloc_set_opts2(&m_resampler, &outLayout, AV_SAMPLE_FMT_S16, frame->sample_rate,
                                               &frame->ch_layout, AVSampleFormat(frame->format),
                                               frame->sample_rate, 0, nullptr);
        av_channel_layout_uninit(&outLayout);
        if (result < 0 || swr_init(m_resampler) < 0)
            return false;
    }
    const int capacity = swr_get_out_samples(m_resampler, frame->nb_samples);
    if (capacity < 0)
        return false;
    // Drop what has been read already, then append the new frame.
    m_pending.erase(m_pending.begin(), m_pending.begin() + long(m_pendingOffset));
    m_pendingOffset = 0;
    const size_t used = m_pending.size();
    m_pending.resize(used + size_t(capacity) * size_t(m_channels));
    auto *out = reinterpret_cast<uint8_t *>(m_pending.data() + used);
    const int converted = swr_convert(m_resampler, &out, capacity,
                                      const_cast<const uint8_t **>(frame->extended_data), frame->nb_samples);
    m_pending.resize(used + size_t(std::max(converted, 0)) * size_t(m_channels));
    return converted >= 0;
}

bool FfmpegDecoder::decodeFrame()
{
    while (!m_outputDone) {
        const int received = avcodec_receive_frame(m_codec, m_frame);
        if (received == 0) {
            const bool ok = convert(m_frame);
            av_frame_unref(m_frame);
            if (!ok)
                m_outputDone = true;
            return ok;
        }
        if (received != AVERROR(EAGAIN)) {
            m_outputDone = true;
            break;
        }
        if (m_inputDone) {
            m_outputDone = true;
            break;
        }
        if (av_read_frame(m_format, m_packet) < 0) {
            m_inputDone = true;
            avcodec_send_packet(m_codec, nullptr);
            continue;
        }
        // A damaged packet is skipped; the decoder resynchronises.
        if (m_packet->stream_index == m_streamIndex)
            avcodec_send_packet(m_codec, m_packet);
        av_packet_unref(m_packet);
    }
    return false;
}

long FfmpegDecoder::read(std::int16_t *out, long frameCount)
{
    const size_t wanted = size_t(frameCount) * size_t(m_channels);
    while (m_pending.size() - m_pendingOffset < wanted && decodeFrame()) {
    }
    const size_t available = std::min(wanted, m_pending.size() - m_pendingOffset);
    std::copy_n(m_pending.begin() + long(m_pendingOffset), available, out);
    m_pendingOffset += available;
    return long(available / size_t(m_channels));
}

bool FfmpegDecoder::rewind()
{
    if (av_seek_frame(m_format, -1, 0, AVSEEK_FLAG_BACKWARD) < 0)
        return false;
    avcodec_flush_buffers(m_codec);
    if (m_resampler)
        swr_close(m_resampler);
    swr_free(&m_resampler);
    m_pending.clear();
    m_pendingOffset = 0;
    m_inputDone = false;
    m_outputDone = false;
    return true;
}

constexpr size_t maxAllocation = 64 * 1024 * 1024;

} // namespace

std::unique_ptr<Decoder> openFfmpegDecoder(const std::shared_ptr<const Source> &source)
{
    // The engine reports failures by its own codes; FFmpeg's console chatter
    // about undecodable data would only be noise. Its demuxers allocate and
    // clear some blocks at the size a header claims before reading them: a
    // WAVE file of a few hundred bytes whose INFO list claims 256 MB took
    // seconds and as much memory to be refused. No block of a sound we
    // decode comes near the limit.
    static std::once_flag setUp;
    std::call_once(setUp, [] {
        av_log_set_level(AV_LOG_FATAL);
        av_max_alloc(maxAllocation);
    });

    auto decoder = std::make_unique<FfmpegDecoder>(source);
    if (!decoder->open())
        return nullptr;
    return decoder;
}

} // namespace zqaudio
