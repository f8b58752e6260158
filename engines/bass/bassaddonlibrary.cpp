#include "bassaddonlibrary.h"

#include "zqaudiosource.h"

#ifdef _WIN32
#  include <windows.h>
#else
#  include "addoncheck.h"

#  include <dlfcn.h>
#endif

namespace {

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
