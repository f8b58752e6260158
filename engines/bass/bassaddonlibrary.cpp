#include "bassaddonlibrary.h"

#include "zqaudiosource.h"

#include <cstring>

#ifdef _WIN32
#  include <windows.h>
#else
#  include <dlfcn.h>
#  include <elf.h>
#  include <fcntl.h>
#  include <link.h>
#  include <sys/stat.h>
#  include <unistd.h>
#endif

namespace {

#ifndef _WIN32
// Reads exactly size bytes at offset; false if the file ends before.
bool readAt(int fd, void *buffer, size_t size, off_t offset)
{
    auto *bytes = static_cast<char *>(buffer);
    while (size > 0) {
        const ssize_t got = pread(fd, bytes, size, offset);
        if (got <= 0)
            return false;
        bytes += got;
        size -= size_t(got);
        offset += got;
    }
    return true;
}

// The loader maps a library's segments straight from the file, and touching
// a page past its end raises SIGBUS, so a cut library would crash the
// process inside dlopen. A library is opened only if it is a regular file,
// a shared object of our own class, byte order and machine, and every part
// the loader maps or reads lies inside it.
bool isWholeSharedObject(const std::string &path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat status;
    ElfW(Ehdr) header;
    bool whole = fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && readAt(fd, &header, sizeof(header), 0);
    if (whole) {
        // Our own ELF header, as the loader mapped it, tells what fits.
        Dl_info self = {};
        dladdr(reinterpret_cast<void *>(&isWholeSharedObject), &self);
        const auto *own = static_cast<const ElfW(Ehdr) *>(self.dli_fbase);
        const auto size = static_cast<unsigned long long>(status.st_size);
        auto inside = [size](unsigned long long offset, unsigned long long length) {
            return offset <= size && length <= size - offset;
        };
        whole = own && memcmp(header.e_ident, own->e_ident, EI_VERSION) == 0 && header.e_type == ET_DYN
            && header.e_machine == own->e_machine && header.e_phentsize == sizeof(ElfW(Phdr)) && header.e_phnum > 0
            && inside(header.e_phoff, 1ull * header.e_phnum * sizeof(ElfW(Phdr)))
            && (header.e_shoff == 0 || inside(header.e_shoff, 1ull * header.e_shnum * header.e_shentsize));
        for (int i = 0; whole && i < header.e_phnum; ++i) {
            ElfW(Phdr) segment;
            whole = readAt(fd, &segment, sizeof(segment), off_t(header.e_phoff + i * sizeof(segment)))
                && ((segment.p_type != PT_LOAD && segment.p_type != PT_DYNAMIC)
                    || inside(segment.p_offset, segment.p_filesz));
        }
    }
    close(fd);
    return whole;
}
#endif

void *openLibrary(const std::string &utf8Path)
{
#ifdef _WIN32
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8Path.c_str(), -1, nullptr, 0);
    std::wstring wide(size_t(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8Path.c_str(), -1, &wide[0], length);
    return LoadLibraryW(wide.c_str());
#else
    if (!isWholeSharedObject(utf8Path))
        return nullptr;
    return dlopen(utf8Path.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
}

void *findSymbol(void *handle, const char *name)
{
#ifdef _WIN32
    return reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(handle), name));
#else
    return dlsym(handle, name);
#endif
}

void closeLibrary(void *handle)
{
#ifdef _WIN32
    FreeLibrary(static_cast<HMODULE>(handle));
#else
    dlclose(handle);
#endif
}

class AddOnDecoder : public zqaudio::Decoder
{
public:
    AddOnDecoder(std::shared_ptr<BassAddOnLibrary> library, const BASSADDON *api,
                 std::shared_ptr<const zqaudio::Source> source, BASSADDON_DECODER *decoder,
                 const BASSADDON_FORMAT &format)
        : m_library(std::move(library)), m_api(api), m_source(std::move(source)), m_decoder(decoder),
          m_format(format)
    {
    }
    ~AddOnDecoder() override { m_api->close(m_decoder); }

    int sampleRate() const override { return int(m_format.rate); }
    int channels() const override { return int(m_format.channels); }
    long read(std::int16_t *out, long frameCount) override { return long(m_api->read(m_decoder, out, frameCount)); }
    bool rewind() override { return m_api->rewind(m_decoder) != 0; }

private:
    std::shared_ptr<BassAddOnLibrary> m_library;
    const BASSADDON *m_api;
    std::shared_ptr<const zqaudio::Source> m_source;
    BASSADDON_DECODER *m_decoder;
    BASSADDON_FORMAT m_format;
};

} // namespace

std::shared_ptr<BassAddOnLibrary> BassAddOnLibrary::load(const std::string &utf8Path)
{
    void *handle = openLibrary(utf8Path);
    if (!handle)
        return nullptr;
    const auto describe = reinterpret_cast<BASSADDON_DescribeProc>(findSymbol(handle, BASSADDON_ENTRY));
    const BASSADDON *api = describe ? describe() : nullptr;
    if (!api || api->abiVersion != BASSADDON_ABI_VERSION || !api->open || !api->read || !api->rewind
        || !api->close) {
        closeLibrary(handle);
        return nullptr;
    }
    return std::shared_ptr<BassAddOnLibrary>(new BassAddOnLibrary(handle, api));
}

BassAddOnLibrary::~BassAddOnLibrary()
{
    closeLibrary(m_handle);
}

zqaudio::DecoderFactory BassAddOnLibrary::decoderFactory()
{
    std::shared_ptr<BassAddOnLibrary> self = shared_from_this();
    return [self](const std::shared_ptr<const zqaudio::Source> &source) -> std::unique_ptr<zqaudio::Decoder> {
        BASSADDON_SOURCE addOnSource = {};
        if (source->isMemory()) {
            addOnSource.data = source->data();
            addOnSource.size = source->size();
        } else {
            addOnSource.path = source->path().c_str();
        }
        BASSADDON_FORMAT format = {};
        BASSADDON_DECODER *decoder = self->m_api->open(&addOnSource, &format);
        if (!decoder)
            return nullptr;
        if (format.rate == 0 || format.channels == 0) {
            self->m_api->close(decoder);
            return nullptr;
        }
        return std::make_unique<AddOnDecoder>(self, self->m_api, source, decoder, format);
    };
}
