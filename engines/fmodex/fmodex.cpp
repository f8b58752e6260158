// libfmodex: the FMOD Ex entry points over the shared audio core. A system
// owns an output device, a decoder list (libsndfile, then FFmpeg), its
// sounds and one channel. Handles are checked against the live objects, so
// a stale or foreign handle gives FMOD_ERR_INVALID_HANDLE, never a crash.

#include "fmodex.h"
#include "handletable.h"

#include "zqaudiodecoderlist.h"
#include "zqaudiodevice.h"
#include "zqaudioffmpeg.h"
#include "zqaudiosndfile.h"
#include "zqaudiosource.h"
#include "zqaudiostream.h"

#include <memory>
#include <mutex>
#include <new>
#include <string>

struct FMOD_SOUND
{
    FMOD_SYSTEM *system;
    std::shared_ptr<const zqaudio::Source> source;
    // Opened when the sound is created, to check its format; used by the
    // first play, later plays open their own.
    std::unique_ptr<zqaudio::Decoder> decoder;
};

struct FMOD_CHANNEL
{
    FMOD_SOUND *sound = nullptr;
    std::unique_ptr<zqaudio::Stream> stream;

    void stop()
    {
        stream.reset();
        sound = nullptr;
    }
};

struct FMOD_SYSTEM
{
    // Null until FMOD_System_Init.
    std::unique_ptr<zqaudio::Device> device;
    zqaudio::DecoderList decoders;
    FMOD_CHANNEL channel;
};

namespace {

// The live objects, guarded by one lock that every entry point holds: calls
// are short, and the streams play on their own threads.
// A handle is the object's own address.
std::mutex lock;
HandleTable<FMOD_SYSTEM *, FMOD_SYSTEM> systems;
HandleTable<FMOD_SOUND *, FMOD_SOUND> sounds;

// Channels are part of their system.
bool isLive(FMOD_CHANNEL *channel)
{
    for (const auto &entry : systems) {
        if (&entry.second->channel == channel)
            return true;
    }
    return false;
}

FMOD_RESULT resultOf(zqaudio::Error error)
{
    switch (error) {
    case zqaudio::Error::None:
        return FMOD_OK;
    case zqaudio::Error::NoServer:
        return FMOD_ERR_OUTPUT_INIT;
    case zqaudio::Error::FileOpen:
        return FMOD_ERR_FILE_NOTFOUND;
    case zqaudio::Error::NotAFile:
        return FMOD_ERR_FILE_BAD;
    case zqaudio::Error::Format:
        return FMOD_ERR_FORMAT;
    case zqaudio::Error::Output:
        return FMOD_ERR_OUTPUT_DRIVERCALL;
    case zqaudio::Error::Memory:
        return FMOD_ERR_MEMORY;
    }
    return FMOD_ERR_INTERNAL;
}

void releaseSound(FMOD_SOUND *sound)
{
    FMOD_CHANNEL &channel = sound->system->channel;
    if (channel.sound == sound)
        channel.stop();
    sounds.take(sound);
}

} // namespace

FMOD_RESULT FMOD_CALL FMOD_System_Create(FMOD_SYSTEM **system)
{
    if (!system)
        return FMOD_ERR_INVALID_PARAM;
    std::unique_ptr<FMOD_SYSTEM> created(new (std::nothrow) FMOD_SYSTEM);
    if (!created)
        return FMOD_ERR_MEMORY;
    created->decoders.add(zqaudio::openSndfileDecoder);
    created->decoders.add(zqaudio::openFfmpegDecoder);
    const std::lock_guard<std::mutex> guard(lock);
    *system = created.get();
    systems.add(std::move(created), *system);
    return FMOD_OK;
}

FMOD_RESULT FMOD_CALL FMOD_System_GetVersion(FMOD_SYSTEM *system, unsigned int *version)
{
    const std::lock_guard<std::mutex> guard(lock);
    if (!systems.find(system))
        return FMOD_ERR_INVALID_HANDLE;
    if (!version)
        return FMOD_ERR_INVALID_PARAM;
    *version = FMOD_VERSION;
    return FMOD_OK;
}

// The flags tune the original's mixer and have no counterpart here. Every
// system has exactly one channel, whatever maxChannels asks for above 0.
FMOD_RESULT FMOD_CALL FMOD_System_Init(FMOD_SYSTEM *system, int maxChannels, FMOD_INITFLAGS, void *)
{
    const std::lock_guard<std::mutex> guard(lock);
    if (!systems.find(system))
        return FMOD_ERR_INVALID_HANDLE;
    if (maxChannels < 1)
        return FMOD_ERR_INVALID_PARAM;
    if (system->device)
        return FMOD_ERR_INITIALIZED;
    zqaudio::Error error = zqaudio::Error::None;
    system->device = zqaudio::Device::open("fmodex", &error);
    return system->device ? FMOD_OK : resultOf(error);
}

FMOD_RESULT FMOD_CALL FMOD_System_Release(FMOD_SYSTEM *system)
{
    const std::lock_guard<std::mutex> guard(lock);
    if (!systems.find(system))
        return FMOD_ERR_INVALID_HANDLE;
    system->channel.stop();
    sounds.takeIf([system](const FMOD_SOUND &sound) { return sound.system == system; });
    systems.take(system);
    return FMOD_OK;
}

FMOD_RESULT FMOD_CALL FMOD_System_CreateSound(FMOD_SYSTEM *system, const char *nameOrData, FMOD_MODE mode,
                                             FMOD_CREATESOUNDEXINFO *exinfo, FMOD_SOUND **sound)
{
    const std::lock_guard<std::mutex> guard(lock);
    if (!systems.find(system))
        return FMOD_ERR_INVALID_HANDLE;
    if (!nameOrData || !sound || (exinfo && exinfo->cbsize != int(sizeof(FMOD_CREATESOUNDEXINFO))))
        return FMOD_ERR_INVALID_PARAM;
    if (!system->device)
        return FMOD_ERR_UNINITIALIZED;

    std::unique_ptr<FMOD_SOUND> created(new (std::nothrow) FMOD_SOUND{system, nullptr, nullptr});
    if (!created)
        return FMOD_ERR_MEMORY;
    if (mode & FMOD_OPENMEMORY) {
        if (!exinfo)
            return FMOD_ERR_INVALID_PARAM;
        // Copied: the caller may free its bytes as soon as this returns.
        created->source = zqaudio::Source::fromMemory(nameOrData, exinfo->length, zqaudio::Source::Memory::Copy);
    } else {
        // File names are byte strings here, so the caller's local 8-bit
        // text is the name itself.
        created->source = zqaudio::Source::fromPath(nameOrData);
    }
    zqaudio::Error error = zqaudio::Error::None;
    created->decoder = system->decoders.open(created->source, &error);
    if (!created->decoder)
        return resultOf(error);

    *sound = created.get();
    sounds.add(std::move(created), *sound);
    return FMOD_OK;
}

// A paused channel could never be resumed through this interface, so only
// paused = 0 is accepted.
FMOD_RESULT FMOD_CALL FMOD_System_PlaySound(FMOD_SYSTEM *system, FMOD_CHANNELINDEX channelIndex,
                                           FMOD_SOUND *sound, FMOD_BOOL paused, FMOD_CHANNEL **channel)
{
    const std::lock_guard<std::mutex> guard(lock);
    if (!systems.find(system) || !sounds.find(sound) || sound->system != system)
        return FMOD_ERR_INVALID_HANDLE;
    if (channelIndex == FMOD_CHANNEL_REUSE && channel && *channel && *channel != &system->channel)
        return FMOD_ERR_INVALID_HANDLE;
    if (channelIndex != FMOD_CHANNEL_FREE && channelIndex != FMOD_CHANNEL_REUSE && channelIndex != 0)
        return FMOD_ERR_INVALID_PARAM;
    if (paused)
        return FMOD_ERR_UNIMPLEMENTED;

    // The one channel is free, or is taken over from the sound it plays.
    FMOD_CHANNEL &target = system->channel;
    target.stop();
    zqaudio::Error error = zqaudio::Error::None;
    std::unique_ptr<zqaudio::Stream> stream;
    if (sound->decoder)
        stream.reset(new (std::nothrow) zqaudio::Stream(*system->device, std::move(sound->decoder)));
    else
        stream = zqaudio::Stream::create(*system->device, system->decoders, sound->source, &error);
    if (!stream)
        return error == zqaudio::Error::None ? FMOD_ERR_MEMORY : resultOf(error);
    if (!stream->play(true, &error))
        return resultOf(error);

    target.stream = std::move(stream);
    target.sound = sound;
    if (channel)
        *channel = &target;
    return FMOD_OK;
}

// Only the loop setting has a meaning here, and sounds play once whatever
// it is; the mode is checked for a live sound and otherwise accepted.
FMOD_RESULT FMOD_CALL FMOD_Sound_SetMode(FMOD_SOUND *sound, FMOD_MODE)
{
    const std::lock_guard<std::mutex> guard(lock);
    return sounds.find(sound) ? FMOD_OK : FMOD_ERR_INVALID_HANDLE;
}

FMOD_RESULT FMOD_CALL FMOD_Sound_Release(FMOD_SOUND *sound)
{
    const std::lock_guard<std::mutex> guard(lock);
    if (!sounds.find(sound))
        return FMOD_ERR_INVALID_HANDLE;
    releaseSound(sound);
    return FMOD_OK;
}

FMOD_RESULT FMOD_CALL FMOD_Channel_IsPlaying(FMOD_CHANNEL *channel, FMOD_BOOL *isPlaying)
{
    const std::lock_guard<std::mutex> guard(lock);
    if (!isLive(channel))
        return FMOD_ERR_INVALID_HANDLE;
    if (!isPlaying)
        return FMOD_ERR_INVALID_PARAM;
    *isPlaying = channel->stream && channel->stream->isPlaying();
    return FMOD_OK;
}

FMOD_RESULT FMOD_CALL FMOD_Channel_Stop(FMOD_CHANNEL *channel)
{
    const std::lock_guard<std::mutex> guard(lock);
    if (!isLive(channel))
        return FMOD_ERR_INVALID_HANDLE;
    channel->stop();
    return FMOD_OK;
}
