#include "fmodexaudioplayer.h"
#include "fmodexerrortexts.h"

#include <fmodex.h>

// The engine state of an initialised player.
struct FmodexHandles
{
    FMOD_SYSTEM *system;
    // The current sound; null when there is none.
    FMOD_SOUND *sound;
    // The channel of the last play call, handed back for reuse by the next.
    FMOD_CHANNEL *channel;
};

namespace {

const unsigned int requiredVersion = 0x00044464;
const int maxChannels = 1;
const FMOD_INITFLAGS initFlags = 0x00400001;
const FMOD_MODE memoryMode = FMOD_HARDWARE | FMOD_OPENMEMORY;
const FMOD_MODE fileMode = FMOD_SOFTWARE;
const FMOD_MODE soundMode = FMOD_LOOP_OFF;

} // namespace

FmodexAudioPlayer::FmodexAudioPlayer()
    : handles(nullptr)
{
}

FmodexAudioPlayer::~FmodexAudioPlayer()
{
    if (!handles)
        return;
    FmodexAudioPlayer::stop();
    if (handles->system)
        checkResult(FMOD_System_Release(handles->system));
    delete handles;
}

int FmodexAudioPlayer::type()
{
    return TypeCode;
}

QString FmodexAudioPlayer::name()
{
    return tr("Fmod Ex");
}

QString FmodexAudioPlayer::author()
{
    return QStringLiteral("zqp@zqplugins.org");
}

bool FmodexAudioPlayer::initial()
{
    // A second call keeps the running system rather than leak it.
    if (handles)
        return true;

    FMOD_SYSTEM *system = nullptr;
    if (checkResult(FMOD_System_Create(&system)))
        return false;

    unsigned int version = 0;
    if (checkResult(FMOD_System_GetVersion(system, &version))) {
        checkResult(FMOD_System_Release(system));
        return false;
    }
    if (version < requiredVersion) {
        checkResult(FMOD_System_Release(system));
        // The message's numbers are in printf notation.
        const QByteArray format =
                tr("FMOD ERR: You are using an old version of FMOD %08x. This program requires %08x.").toUtf8();
        Q_EMIT error(QString::asprintf(format.constData(), version, requiredVersion));
        return false;
    }
    if (checkResult(FMOD_System_Init(system, maxChannels, initFlags, nullptr))) {
        checkResult(FMOD_System_Release(system));
        return false;
    }

    handles = new FmodexHandles{system, nullptr, nullptr};
    return true;
}

QString FmodexAudioPlayer::playMemory(const QByteArray &data)
{
    if (!handles)
        return QString();
    stop();

    FMOD_CREATESOUNDEXINFO info = {};
    info.cbsize = sizeof(info);
    info.length = static_cast<unsigned int>(data.size());
    // The library copies the bytes, so none are kept here.
    if (checkResult(FMOD_System_CreateSound(handles->system, data.constData(), memoryMode, &info,
                                            &handles->sound)))
        return QString();
    play();
    return QString();
}

QString FmodexAudioPlayer::playFile(const QString &fileName)
{
    if (!handles)
        return QString();
    stop();

    FMOD_RESULT result;
    {
        const QByteArray path = fileName.toLocal8Bit();
        result = FMOD_System_CreateSound(handles->system, path.constData(), fileMode, nullptr, &handles->sound);
    }
    if (checkResult(result))
        return QString();
    play();
    return QString();
}

// Starts the sound just created; its failures are reported, the sound stays.
void FmodexAudioPlayer::play()
{
    checkResult(FMOD_Sound_SetMode(handles->sound, soundMode));
    const FMOD_CHANNELINDEX index = handles->channel ? FMOD_CHANNEL_REUSE : FMOD_CHANNEL_FREE;
    checkResult(FMOD_System_PlaySound(handles->system, index, handles->sound, 0, &handles->channel));
}

void FmodexAudioPlayer::stop()
{
    if (!handles || !handles->sound)
        return;

    if (handles->channel) {
        FMOD_BOOL playing = 0;
        FMOD_RESULT result = FMOD_Channel_IsPlaying(handles->channel, &playing);
        if (playing)
            result = FMOD_Channel_Stop(handles->channel);
        checkResult(result);
    }
    checkResult(FMOD_Sound_Release(handles->sound));
    handles->sound = nullptr;
}

bool FmodexAudioPlayer::checkResult(int result)
{
    if (result == FMOD_OK)
        return false;
    Q_EMIT error(tr("FMOD ERR: (%1) - %2").arg(QString::number(result), QString::fromLatin1(fmodexErrorText(result))));
    return true;
}
