#include "fmodexdouble.h"

#include <QHash>

#include <algorithm>
#include <iterator>

namespace {

struct State
{
    CallRecorder recorder;
    unsigned int version = FMOD_VERSION;
    bool playing = true;
    const void *lastMemory = nullptr;
    QHash<const void *, QString> names;
    QHash<QString, int> counts;
};

State &state()
{
    static State s;
    return s;
}

// Handles point into this block, so that each is a distinct address.
char handleSpace[1024];

template<typename T>
T *newHandle(const QString &kind)
{
    State &s = state();
    const int number = ++s.counts[kind];
    Q_ASSERT(size_t(s.names.size()) < sizeof(handleSpace));
    char *handle = handleSpace + s.names.size();
    s.names.insert(handle, kind + QString::number(number));
    return reinterpret_cast<T *>(handle);
}

QString name(const void *handle)
{
    if (!handle)
        return QStringLiteral("null");
    return state().names.value(handle, QStringLiteral("unknown"));
}

template<typename T>
QString out(T *const *handle)
{
    return handle ? QLatin1Char('&') + name(*handle) : QStringLiteral("null");
}

// A number's output argument.
template<typename T>
QString out(const T *value)
{
    return value ? QLatin1Char('&') + QString::number(*value) : QStringLiteral("null");
}

QString hex(unsigned int value)
{
    return QStringLiteral("0x%1").arg(value, 8, 16, QLatin1Char('0'));
}

QString exinfo(const FMOD_CREATESOUNDEXINFO *info)
{
    if (!info)
        return QStringLiteral("null");
    const bool clean = std::all_of(std::begin(info->reserved), std::end(info->reserved),
                                   [](unsigned char byte) { return byte == 0; });
    return QStringLiteral("exinfo{%1, %2%3}").arg(info->cbsize).arg(info->length)
            .arg(clean ? QString() : QStringLiteral(", dirty"));
}

FMOD_RESULT record(const char *function, const QStringList &arguments)
{
    return FMOD_RESULT(state().recorder.record(function, arguments).value_or(FMOD_OK));
}

} // namespace

void FmodexDouble::reset()
{
    state() = State();
}

void FmodexDouble::setVersion(unsigned int version)
{
    state().version = version;
}

void FmodexDouble::setPlaying(bool playing)
{
    state().playing = playing;
}

CallRecorder &FmodexDouble::recorder()
{
    return state().recorder;
}

const void *FmodexDouble::lastMemory()
{
    return state().lastMemory;
}

FMOD_RESULT FMOD_CALL FMOD_System_Create(FMOD_SYSTEM **system)
{
    const FMOD_RESULT result = record(__func__, {out(system)});
    if (result == FMOD_OK)
        *system = newHandle<FMOD_SYSTEM>(QStringLiteral("system"));
    return result;
}

FMOD_RESULT FMOD_CALL FMOD_System_GetVersion(FMOD_SYSTEM *system, unsigned int *version)
{
    const FMOD_RESULT result = record(__func__, {name(system), out(version)});
    if (result == FMOD_OK)
        *version = state().version;
    return result;
}

FMOD_RESULT FMOD_CALL FMOD_System_Init(FMOD_SYSTEM *system, int maxChannels, FMOD_INITFLAGS flags,
                                      void *extraDriverData)
{
    return record(__func__, {name(system), QString::number(maxChannels), hex(flags),
                             extraDriverData ? QStringLiteral("data") : QStringLiteral("null")});
}

FMOD_RESULT FMOD_CALL FMOD_System_Release(FMOD_SYSTEM *system)
{
    return record(__func__, {name(system)});
}

FMOD_RESULT FMOD_CALL FMOD_System_CreateSound(FMOD_SYSTEM *system, const char *nameOrData, FMOD_MODE mode,
                                             FMOD_CREATESOUNDEXINFO *info, FMOD_SOUND **sound)
{
    const bool memory = mode & FMOD_OPENMEMORY;
    const QString source = memory ? QStringLiteral("memory")
                                  : QLatin1Char('"') + QString::fromLocal8Bit(nameOrData) + QLatin1Char('"');
    const FMOD_RESULT result = record(__func__, {name(system), source, hex(mode), exinfo(info), out(sound)});
    if (memory)
        state().lastMemory = nameOrData;
    if (result == FMOD_OK)
        *sound = newHandle<FMOD_SOUND>(QStringLiteral("sound"));
    return result;
}

FMOD_RESULT FMOD_CALL FMOD_System_PlaySound(FMOD_SYSTEM *system, FMOD_CHANNELINDEX channelIndex,
                                           FMOD_SOUND *sound, FMOD_BOOL paused, FMOD_CHANNEL **channel)
{
    const FMOD_RESULT result = record(__func__, {name(system), QString::number(channelIndex), name(sound),
                                                 QString::number(paused), out(channel)});
    if (result == FMOD_OK && !(channelIndex == FMOD_CHANNEL_REUSE && *channel))
        *channel = newHandle<FMOD_CHANNEL>(QStringLiteral("channel"));
    return result;
}

FMOD_RESULT FMOD_CALL FMOD_Sound_SetMode(FMOD_SOUND *sound, FMOD_MODE mode)
{
    return record(__func__, {name(sound), hex(mode)});
}

FMOD_RESULT FMOD_CALL FMOD_Sound_Release(FMOD_SOUND *sound)
{
    return record(__func__, {name(sound)});
}

FMOD_RESULT FMOD_CALL FMOD_Channel_IsPlaying(FMOD_CHANNEL *channel, FMOD_BOOL *isPlaying)
{
    const FMOD_RESULT result = record(__func__, {name(channel), out(isPlaying)});
    if (result == FMOD_OK)
        *isPlaying = state().playing;
    return result;
}

FMOD_RESULT FMOD_CALL FMOD_Channel_Stop(FMOD_CHANNEL *channel)
{
    return record(__func__, {name(channel)});
}
