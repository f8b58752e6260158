#include "bassdouble.h"

#include <QByteArray>
#include <QHash>

namespace {

struct MemoryStream
{
    const void *data;
    QByteArray bytes;
};

struct State
{
    QStringList calls;
    QHash<QByteArray, int> failures;
    QHash<QString, int> refusedAddOns;
    DWORD version = BASS_ENGINE_VERSION;
    int lastError = BASS_OK;
    DWORD lastStream = 0;
    DWORD lastAddOn = 0;
    QHash<DWORD, MemoryStream> memoryStreams;
    const void *lastMemory = nullptr;
    bool lastFreedMemoryIntact = false;
};

State &state()
{
    static State s;
    return s;
}

QString boolText(BOOL value)
{
    return value ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
}

QString hex(DWORD value)
{
    return QStringLiteral("0x") + QString::number(value, 16);
}

QString pointer(const void *value)
{
    return value ? QStringLiteral("ptr") : QStringLiteral("null");
}

void record(const QString &call)
{
    state().calls.append(call);
}

// Applies the script to a call: true when it is to fail (the error code is
// then set), false when it succeeds.
bool scriptedFailure(const char *function)
{
    State &s = state();
    const auto failure = s.failures.constFind(function);
    s.lastError = failure == s.failures.constEnd() ? BASS_OK : failure.value();
    return failure != s.failures.constEnd();
}

} // namespace

namespace BassDouble {

void reset()
{
    state() = State();
}

void setFailure(const char *function, int errorCode)
{
    state().failures.insert(function, errorCode);
}

void setVersion(DWORD version)
{
    state().version = version;
}

void refuseAddOn(const QString &fileName, int errorCode)
{
    state().refusedAddOns.insert(fileName, errorCode);
}

QStringList calls()
{
    return state().calls;
}

const void *lastMemory()
{
    return state().lastMemory;
}

bool lastFreedMemoryIntact()
{
    return state().lastFreedMemoryIntact;
}

} // namespace BassDouble

DWORD BASSAPI BASS_GetVersion(void)
{
    record(QStringLiteral("BASS_GetVersion()"));
    return state().version;
}

BOOL BASSAPI BASS_Init(int device, DWORD freq, DWORD flags, void *win, const void *clsid)
{
    record(QStringLiteral("BASS_Init(%1, %2, %3, %4, %5)")
               .arg(device).arg(freq).arg(hex(flags), pointer(win), pointer(clsid)));
    return scriptedFailure("BASS_Init") ? FALSE : TRUE;
}

BOOL BASSAPI BASS_Free(void)
{
    record(QStringLiteral("BASS_Free()"));
    return scriptedFailure("BASS_Free") ? FALSE : TRUE;
}

int BASSAPI BASS_ErrorGetCode(void)
{
    record(QStringLiteral("BASS_ErrorGetCode()"));
    return state().lastError;
}

HSTREAM BASSAPI BASS_StreamCreateFile(BOOL mem, const void *file, QWORD offset, QWORD length, DWORD flags)
{
    State &s = state();
    QString what;
    if (mem)
        what = QStringLiteral("<%1 bytes>").arg(length);
    else if (flags & BASS_UNICODE)
        what = QLatin1Char('"') + QString::fromUtf16(static_cast<const char16_t *>(file)) + QLatin1Char('"');
    else
        what = QLatin1Char('"') + QString::fromUtf8(static_cast<const char *>(file)) + QLatin1Char('"');
    record(QStringLiteral("BASS_StreamCreateFile(%1, %2, %3, %4, %5)")
               .arg(boolText(mem), what, QString::number(offset), QString::number(length), hex(flags)));
    if (mem)
        s.lastMemory = file;
    if (scriptedFailure("BASS_StreamCreateFile"))
        return 0;
    const HSTREAM handle = ++s.lastStream;
    if (mem) {
        const auto *bytes = static_cast<const char *>(file) + offset;
        s.memoryStreams.insert(handle, MemoryStream{bytes, QByteArray(bytes, int(length))});
    }
    return handle;
}

BOOL BASSAPI BASS_StreamFree(HSTREAM handle)
{
    State &s = state();
    record(QStringLiteral("BASS_StreamFree(%1)").arg(handle));
    const auto stream = s.memoryStreams.constFind(handle);
    if (stream != s.memoryStreams.constEnd()) {
        s.lastFreedMemoryIntact =
            QByteArray::fromRawData(static_cast<const char *>(stream->data), stream->bytes.size()) == stream->bytes;
        s.memoryStreams.erase(stream);
    }
    return scriptedFailure("BASS_StreamFree") ? FALSE : TRUE;
}

BOOL BASSAPI BASS_ChannelPlay(DWORD handle, BOOL restart)
{
    record(QStringLiteral("BASS_ChannelPlay(%1, %2)").arg(handle).arg(boolText(restart)));
    return scriptedFailure("BASS_ChannelPlay") ? FALSE : TRUE;
}

HPLUGIN BASSAPI BASS_PluginLoad(const char *file, DWORD flags)
{
    State &s = state();
    const QString path = QString::fromUtf8(file);
    record(QStringLiteral("BASS_PluginLoad(\"%1\", %2)").arg(path, hex(flags)));
    if (scriptedFailure("BASS_PluginLoad"))
        return 0;
    for (auto refused = s.refusedAddOns.constBegin(); refused != s.refusedAddOns.constEnd(); ++refused) {
        if (path.endsWith(refused.key())) {
            s.lastError = refused.value();
            return 0;
        }
    }
    return ++s.lastAddOn;
}

BOOL BASSAPI BASS_PluginFree(HPLUGIN handle)
{
    record(QStringLiteral("BASS_PluginFree(%1)").arg(handle));
    return scriptedFailure("BASS_PluginFree") ? FALSE : TRUE;
}
