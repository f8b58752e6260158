// The BASS engine's entry points: a facade over the audio core.
#include "bass.h"

#include "bassaddonlibrary.h"
#include "handletable.h"
#include "utf8.h"

#include "zqaudiodecoderlist.h"
#include "zqaudiodevice.h"
#include "zqaudiosndfile.h"
#include "zqaudiosource.h"
#include "zqaudiostream.h"

#include <mutex>
#include <string>

namespace {

thread_local int lastError = BASS_OK;

struct AddOn
{
    std::shared_ptr<BassAddOnLibrary> library;
    zqaudio::DecoderList::Id decoderId;
};

struct Engine
{
    Engine() { decoders.add(zqaudio::openSndfileDecoder); }

    std::mutex mutex;
    std::unique_ptr<zqaudio::Device> device;
    zqaudio::DecoderList decoders;
    HandleTable<HSTREAM, zqaudio::Stream> streams;
    HSTREAM lastStream = 0;
    HandleTable<HPLUGIN, AddOn> addOns;
    HPLUGIN lastAddOn = 0;
};

Engine &engine()
{
    static Engine instance;
    return instance;
}

template<typename T>
T fail(int code, T result = 0)
{
    lastError = code;
    return result;
}

template<typename T>
T succeed(T result)
{
    lastError = BASS_OK;
    return result;
}

int errorCode(zqaudio::Error error)
{
    switch (error) {
    case zqaudio::Error::None:
        return BASS_OK;
    case zqaudio::Error::NoServer:
        return BASS_ERROR_DRIVER;
    case zqaudio::Error::FileOpen:
    case zqaudio::Error::NotAFile:
        return BASS_ERROR_FILEOPEN;
    case zqaudio::Error::Format:
        return BASS_ERROR_FILEFORM;
    case zqaudio::Error::Output:
        return BASS_ERROR_START;
    case zqaudio::Error::Memory:
        return BASS_ERROR_MEM;
    }
    return BASS_ERROR_UNKNOWN;
}

std::string pathArgument(const void *file, DWORD flags)
{
    return (flags & BASS_UNICODE) ? toUtf8(static_cast<const char16_t *>(file))
                                  : std::string(static_cast<const char *>(file));
}

} // namespace

BASSDEF(DWORD) BASS_GetVersion(void)
{
    return BASS_ENGINE_VERSION;
}

BASSDEF(BOOL) BASS_Init(int device, DWORD freq, DWORD, void *, const void *)
{
    Engine &e = engine();
    std::lock_guard<std::mutex> lock(e.mutex);
    if (e.device)
        return fail(BASS_ERROR_ALREADY, FALSE);
    if (device != -1 && device != 1)
        return fail(BASS_ERROR_DEVICE, FALSE);
    if (freq == 0)
        return fail(BASS_ERROR_ILLPARAM, FALSE);
    zqaudio::Error error = zqaudio::Error::None;
    e.device = zqaudio::Device::open("BASS", &error);
    if (!e.device)
        return fail(errorCode(error), FALSE);
    return succeed(TRUE);
}

BASSDEF(BOOL) BASS_Free(void)
{
    Engine &e = engine();
    std::lock_guard<std::mutex> lock(e.mutex);
    if (!e.device)
        return fail(BASS_ERROR_INIT, FALSE);
    e.streams.takeAll();
    e.device.reset();
    return succeed(TRUE);
}

BASSDEF(int) BASS_ErrorGetCode(void)
{
    return lastError;
}

BASSDEF(HSTREAM) BASS_StreamCreateFile(BOOL mem, const void *file, QWORD offset, QWORD length, DWORD flags)
{
    Engine &e = engine();
    std::lock_guard<std::mutex> lock(e.mutex);
    if (!e.device)
        return fail<HSTREAM>(BASS_ERROR_INIT);
    if (!file)
        return fail<HSTREAM>(BASS_ERROR_ILLPARAM);
    std::shared_ptr<const zqaudio::Source> source;
    if (mem) {
        if (length == 0 || offset + length < offset)
            return fail<HSTREAM>(BASS_ERROR_ILLPARAM);
        source = zqaudio::Source::fromMemory(static_cast<const unsigned char *>(file) + offset, size_t(length),
                                             zqaudio::Source::Memory::Borrow);
    } else {
        if (offset != 0 || length != 0)
            return fail<HSTREAM>(BASS_ERROR_ILLPARAM);
        source = zqaudio::Source::fromPath(pathArgument(file, flags));
    }
    zqaudio::Error error = zqaudio::Error::None;
    std::unique_ptr<zqaudio::Stream> stream = zqaudio::Stream::create(*e.device, e.decoders, source, &error);
    if (!stream)
        return fail<HSTREAM>(errorCode(error));
    return succeed(e.streams.add(std::move(stream), e.streams.unusedAfter(e.lastStream)));
}

BASSDEF(BOOL) BASS_StreamFree(HSTREAM handle)
{
    Engine &e = engine();
    std::lock_guard<std::mutex> lock(e.mutex);
    if (!e.streams.take(handle))
        return fail(BASS_ERROR_HANDLE, FALSE);
    return succeed(TRUE);
}

BASSDEF(BOOL) BASS_ChannelPlay(DWORD handle, BOOL restart)
{
    Engine &e = engine();
    std::lock_guard<std::mutex> lock(e.mutex);
    const std::shared_ptr<zqaudio::Stream> stream = e.streams.find(handle);
    if (!stream)
        return fail(BASS_ERROR_HANDLE, FALSE);
    zqaudio::Error error = zqaudio::Error::None;
    if (!stream->play(restart != FALSE, &error))
        return fail(errorCode(error), FALSE);
    return succeed(TRUE);
}

BASSDEF(HPLUGIN) BASS_PluginLoad(const char *file, DWORD flags)
{
    if (!file)
        return fail<HPLUGIN>(BASS_ERROR_ILLPARAM);
    std::shared_ptr<BassAddOnLibrary> library = BassAddOnLibrary::load(pathArgument(file, flags));
    if (!library)
        return fail<HPLUGIN>(BASS_ERROR_ADDON);
    Engine &e = engine();
    std::lock_guard<std::mutex> lock(e.mutex);
    for (const auto &entry : e.addOns) {
        if (entry.second->library->nativeHandle() == library->nativeHandle())
            return fail<HPLUGIN>(BASS_ERROR_ALREADY);
    }
    const HPLUGIN handle = e.addOns.unusedAfter(e.lastAddOn);
    return succeed(e.addOns.add(std::make_shared<AddOn>(AddOn{library, e.decoders.add(library->decoderFactory())}),
                                handle));
}

BASSDEF(BOOL) BASS_PluginFree(HPLUGIN handle)
{
    Engine &e = engine();
    std::lock_guard<std::mutex> lock(e.mutex);
    if (handle == 0) {
        for (const auto &entry : e.addOns.takeAll())
            e.decoders.remove(entry.second->decoderId);
        return succeed(TRUE);
    }
    const std::shared_ptr<AddOn> addOn = e.addOns.take(handle);
    if (!addOn)
        return fail(BASS_ERROR_HANDLE, FALSE);
    e.decoders.remove(addOn->decoderId);
    return succeed(TRUE);
}
