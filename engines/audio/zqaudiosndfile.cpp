#include "zqaudiosndfile.h"

#include "zqaudiompg123.h"
#include "zqaudiosource.h"

#ifdef _WIN32
// sf_wchar_open: sf_open takes the ANSI code page there, not UTF-8.
#  include <windows.h>
#  define ENABLE_SNDFILE_WINDOWS_PROTOTYPES 1
#endif
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

namespace zqaudio {

namespace {

// Reads a memory source in place through libsndfile's virtual I/O.
struct MemoryReader
{
    std::shared_ptr<const Source> source;
    sf_count_t position = 0;

    static sf_count_t length(void *user) { return static_cast<MemoryReader *>(user)->source->size(); }

    static sf_count_t seek(sf_count_t offset, int whence, void *user)
    {
        auto *self = static_cast<MemoryReader *>(user);
        const sf_count_t size = self->source->size();
        sf_count_t target = offset;
        if (whence == SEEK_CUR)
            target += self->position;
        else if (whence == SEEK_END)
            target += size;
        if (target < 0 || target > size)
            return -1;
        self->position = target;
        return target;
    }

    static sf_count_t read(void *ptr, sf_count_t count, void *user)
    {
        auto *self = static_cast<MemoryReader *>(user);
        const sf_count_t left = sf_count_t(self->source->size()) - self->position;
        if (count > left)
            count = left;
        if (count <= 0)
            return 0;
        std::copy(self->source->data() + self->position, self->source->data() + self->position + count,
                  static_cast<unsigned char *>(ptr));
        self->position += count;
        return count;
    }

    static sf_count_t write(const void *, sf_count_t, void *) { return 0; }

    static sf_count_t tell(void *user) { return static_cast<MemoryReader *>(user)->position; }
};

// Copies count bytes at offset of a sound file to out; false when the file
// has fewer.
using ReadAt = std::function<bool(std::uint64_t offset, unsigned char *out, std::size_t count)>;

// RIFF ids are four printable ASCII characters.
bool isFourCc(const unsigned char *id)
{
    return std::all_of(id, id + 4, [](unsigned char c) { return c >= 0x20 && c < 0x7f; });
}

std::uint32_t chunkSize(const unsigned char *field, bool bigEndian)
{
    std::uint32_t size = 0;
    for (int i = 0; i < 4; ++i)
        size = size << 8 | field[bigEndian ? i : 3 - i];
    return size;
}

// Whether the list chunk between begin and end holds a list type and then
// sub-chunks with RIFF ids, each within the list. Zeros where an id belongs
// end it: some writers pad their lists so.
bool listFits(const ReadAt &readAt, std::uint64_t begin, std::uint64_t end, bool bigEndian)
{
    unsigned char chunk[8];
    if (end - begin < 4)
        return true;
    if (!readAt(begin, chunk, 4) || !isFourCc(chunk))
        return false;
    for (std::uint64_t at = begin + 4; at + 8 <= end && readAt(at, chunk, 8); ) {
        static const unsigned char noId[4] = {};
        if (std::memcmp(chunk, noId, 4) == 0)
            break;
        const std::uint64_t size = chunkSize(chunk + 4, bigEndian);
        if (!isFourCc(chunk) || std::memcmp(chunk, "data", 4) == 0 || size > end - at - 8)
            return false;
        at += 8 + size + (size & 1);
    }
    return true;
}

// libsndfile reads a list chunk's type as a sub-chunk when it does not know
// the type, and a sub-chunk size that wraps its 32-bit byte count round to a
// few bytes back makes it read the same bytes for ever. A WAVE file whose
// lists do not hold what they say is refused before libsndfile sees it;
// other formats pass.
bool wavListsFit(const ReadAt &readAt, std::uint64_t fileSize)
{
    unsigned char chunk[12];
    if (!readAt(0, chunk, 12) || (std::memcmp(chunk, "RIFF", 4) != 0 && std::memcmp(chunk, "RIFX", 4) != 0)
        || std::memcmp(chunk + 8, "WAVE", 4) != 0)
        return true;
    const bool bigEndian = chunk[3] == 'X';
    // Past an id that is none, libsndfile stops or looks for the next one
    // itself: the walk stops there as well.
    for (std::uint64_t at = 12; readAt(at, chunk, 8) && isFourCc(chunk); ) {
        const std::uint64_t size = chunkSize(chunk + 4, bigEndian);
        const bool list = std::memcmp(chunk, "LIST", 4) == 0 || std::memcmp(chunk, "INFO", 4) == 0;
        if (list && !listFits(readAt, at + 8, std::min(at + 8 + size, fileSize), bigEndian))
            return false;
        at += 8 + size + (size & 1);
    }
    return true;
}

bool wavListsFit(const std::shared_ptr<const Source> &memory)
{
    return wavListsFit(
            [&memory](std::uint64_t offset, unsigned char *out, std::size_t count) {
                if (offset > memory->size() || count > memory->size() - offset)
                    return false;
                std::memcpy(out, memory->data() + offset, count);
                return true;
            },
            memory->size());
}

bool wavListsFit(const std::filesystem::path &path)
{
    std::ifstream stream(path, std::ios::binary);
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (!stream || error)
        return false;
    return wavListsFit(
            [&stream](std::uint64_t offset, unsigned char *out, std::size_t count) {
                stream.clear();
                stream.seekg(std::streamoff(offset));
                stream.read(reinterpret_cast<char *>(out), std::streamsize(count));
                return stream.gcount() == std::streamsize(count);
            },
            size);
}

class SndfileDecoder : public Decoder
{
public:
    SndfileDecoder(SNDFILE *file, const SF_INFO &info, std::unique_ptr<MemoryReader> reader,
                   std::shared_ptr<const Source> source)
        : m_file(file), m_info(info), m_reader(std::move(reader)), m_source(std::move(source))
    {
    }

    ~SndfileDecoder() override { sf_close(m_file); }

    int sampleRate() const override { return m_info.samplerate; }
    int channels() const override { return m_info.channels; }

    // Read as normalised floats: libsndfile's own conversion of float and
    // double data to 16 bits does not scale it, turning it into silence.
    // 16-bit data comes back unchanged, since x / 32768 is exact in a float.
    long read(std::int16_t *out, long frameCount) override
    {
        m_buffer.resize(size_t(frameCount) * size_t(m_info.channels));
        const sf_count_t frames = sf_readf_float(m_file, m_buffer.data(), frameCount);
        if (frames == 0 && sf_error(m_file) != SF_ERR_NO_ERROR)
            return -1;
        std::transform(m_buffer.begin(), m_buffer.begin() + long(frames) * m_info.channels, out, [](float value) {
            return std::int16_t(std::lrint(std::clamp(value * 32768.0f, -32768.0f, 32767.0f)));
        });
        return long(frames);
    }

    bool rewind() override { return sf_seek(m_file, 0, SEEK_SET) == 0; }

private:
    SNDFILE *m_file;
    SF_INFO m_info;
    std::unique_ptr<MemoryReader> m_reader;
    std::shared_ptr<const Source> m_source;
    std::vector<float> m_buffer;
};

} // namespace

std::unique_ptr<Decoder> openSndfileDecoder(const std::shared_ptr<const Source> &source)
{
    SF_INFO info = {};
    std::unique_ptr<MemoryReader> reader;
    SNDFILE *file = nullptr;
    if (source->isMemory()) {
        if (source->size() == 0 || !wavListsFit(source))
            return nullptr;
        static SF_VIRTUAL_IO io = {&MemoryReader::length, &MemoryReader::seek, &MemoryReader::read,
                                   &MemoryReader::write, &MemoryReader::tell};
        reader.reset(new MemoryReader{source});
        file = sf_open_virtual(&io, SFM_READ, &info, reader.get());
    } else {
        const std::filesystem::path path = std::filesystem::u8path(source->path());
        if (!wavListsFit(path))
            return nullptr;
#ifdef _WIN32
        file = sf_wchar_open(path.c_str(), SFM_READ, &info);
#else
        file = sf_open(source->path().c_str(), SFM_READ, &info);
#endif
    }
    if (!file)
        return nullptr;
    if (info.channels <= 0 || info.samplerate <= 0) {
        sf_close(file);
        return nullptr;
    }
    // libsndfile ends MPEG audio at a length estimated from the first
    // frame's bit rate, which cuts short a VBR stream without a Xing/Info
    // header; libmpg123 reads it to its real end.
    if ((info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG) {
        sf_close(file);
        return openMpg123Decoder(source);
    }
    return std::make_unique<SndfileDecoder>(file, info, std::move(reader), source);
}

} // namespace zqaudio
