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
    CallRecorder recorder;
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

// Records the call and applies its script: true when it is to fail (the
// error code is then set), false when it succeeds.
bool recordFails(const char *function, const QStringList &arguments = {})
{
    State &s = state();
    s.lastError = int(s.recorder.record(function, arguments).value_or(BASS_OK));
    return s.lastError != BASS_OK;
}

} // namespace

namespace BassDouble {

void reset()
{
    state() = State();
}

void setVersion(DWORD version)
{
    state().version = version;
}

void refuseAddOn(const QString &fileName, int errorCode)
{
    state().refusedAddOns.insert(fileName, errorCode);
}

CallRecorder &recorder()
{
    return state().recorder;
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
    state().recorder.record(__func__, {});
    return state().version;
}

BOOL BASSAPI BASS_Init(int device, DWORD freq, DWORD flags, void *win, const void *clsid)
{
    return recordFails(__func__, {QString::number(device), QString::number(freq), hex(flags), pointer(win),
                                  pointer(clsid)}) ? FALSE : TRUE;
}

BOOL BASSAPI BASS_Free(void)
{
    return recordFails(__func__) ? FALSE : TRUE;
}

int BASSAPI BASS_ErrorGetCode(void)
{
    state().recorder.record(__func__, {});
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
    if (mem)
        s.lastMemory = file;
    if (recordFails(__func__, {boolText(mem), what, QString::number(offset), QString::number(length), hex(flags)}))
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
    const auto stream = s.memoryStreams.constFind(handle);
    if (stream != s.memoryStreams.constEnd()) {
        s.lastFreedMemoryIntact =
            QByteArray::fromRawData(static_cast<const char *>(stream->data), stream->bytes.size()) == stream->bytes;
        s.memoryStreams.erase(stream);
    }
    return recordFails(__func__, {QString::number(handle)}) ? FALSE : TRUE;
}

BOOL BASSAPI BASS_ChannelPlay(DWORD handle, BOOL restart)
{
    return recordFails(__func__, {QString::number(handle), boolText(restart)}) ? FALSE : TRUE;
}

HPLUGIN BASSAPI BASS_PluginLoad(const char *file, DWORD flags)
{
    State &s = state();
    const QString path = QString::fromUtf8(file);
    if (recordFails(__func__, {QLatin1Char('"') + path + QLatin1Char('"'), hex(flags)}))
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
    return recordFails(__func__, {QString::number(handle)}) ? FALSE : TRUE;
}
