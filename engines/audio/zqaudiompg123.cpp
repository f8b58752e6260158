#include "zqaudiompg123.h"

#include "zqaudiosource.h"

#include <mpg123.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace zqaudio {

namespace {

class Mpg123Decoder : public Decoder
{
public:
    explicit Mpg123Decoder(std::shared_ptr<const Source> source) : m_source(std::move(source)) {}
    ~Mpg123Decoder() override { mpg123_delete(m_handle); }

    bool open();

    int sampleRate() const override { return int(m_rate); }
    int channels() const override { return m_channels; }
    long read(std::int16_t *out, long frameCount) override;
    bool rewind() override;

private:
    static mpg123_ssize_t readMemory(void *user, void *buffer, size_t size);
    static off_t seekMemory(void *user, off_t offset, int whence);

    std::shared_ptr<const Source> m_source;
    off_t m_position = 0;
    mpg123_handle *m_handle = nullptr;
    long m_rate = 0;
    int m_channels = 0;
    bool m_failed = false;
};

mpg123_ssize_t Mpg123Decoder::readMemory(void *user, void *buffer, size_t size)
{
    auto *self = static_cast<Mpg123Decoder *>(user);
    const size_t left = self->m_source->size() - size_t(self->m_position);
    const size_t count = std::min(left, size);
    std::memcpy(buffer, self->m_source->data() + self->m_position, count);
    self->m_position += off_t(count);
    return mpg123_ssize_t(count);
}

off_t Mpg123Decoder::seekMemory(void *user, off_t offset, int whence)
{
    auto *self = static_cast<Mpg123Decoder *>(user);
    const off_t size = off_t(self->m_source->size());
    if (whence == SEEK_CUR)
        offset += self->m_position;
    else if (whence == SEEK_END)
        offset += size;
    else if (whence != SEEK_SET)
        return -1;
    if (offset < 0 || offset > size)
        return -1;
    self->m_position = offset;
    return offset;
}

bool Mpg123Decoder::open()
{
    m_handle = mpg123_new(nullptr, nullptr);
    if (!m_handle)
        return false;
    mpg123_param(m_handle, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0);
    // 16-bit output at the stream's own rate and channel count.
    mpg123_format_none(m_handle);
    const long *rates = nullptr;
    size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (size_t i = 0; i < rateCount; ++i)
        mpg123_format(m_handle, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);

    int opened;
    if (m_source->isMemory()) {
        if (m_source->size() == 0
            || mpg123_replace_reader_handle(m_handle, readMemory, seekMemory, nullptr) != MPG123_OK)
            return false;
        opened = mpg123_open_handle(m_handle, this);
    } else {
        opened = mpg123_open(m_handle, m_source->path().c_str());
    }
    int encoding = 0;
    return opened == MPG123_OK && mpg123_getformat(m_handle, &m_rate, &m_channels, &encoding) == MPG123_OK
        && encoding == MPG123_ENC_SIGNED_16 && m_rate > 0 && m_channels > 0;
}

long Mpg123Decoder::read(std::int16_t *out, long frameCount)
{
    if (m_failed)
        return -1;
    const size_t frameBytes = size_t(m_channels) * sizeof(std::int16_t);
    auto *bytes = reinterpret_cast<unsigned char *>(out);
    const size_t wanted = size_t(frameCount) * frameBytes;
    size_t filled = 0;
    while (filled < wanted) {
        size_t done = 0;
        const int result = mpg123_read(m_handle, bytes + filled, wanted - filled, &done);
        filled += done;
        if (result == MPG123_DONE)
            break;
        // A stream whose format changes midway cannot go on into the same
        // output; it ends there, like one that cannot be decoded further.
        if (result != MPG123_OK) {
            m_failed = true;
            return filled >= frameBytes ? long(filled / frameBytes) : -1;
        }
    }
    return long(filled / frameBytes);
}

bool Mpg123Decoder::rewind()
{
    if (mpg123_seek(m_handle, 0, SEEK_SET) != 0)
        return false;
    m_failed = false;
    return true;
}

} // namespace

std::unique_ptr<Decoder> openMpg123Decoder(const std::shared_ptr<const Source> &source)
{
    // Needed by libmpg123 before 1.27; later ones ignore it.
    static std::once_flag initialised;
    static bool ready = false;
    std::call_once(initialised, [] { ready = mpg123_init() == MPG123_OK; });
    if (!ready)
        return nullptr;
    auto decoder = std::make_unique<Mpg123Decoder>(source);
    if (!decoder->open())
        return nullptr;
    return decoder;
}

} // namespace zqaudio
