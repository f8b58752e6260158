#include "basspluginsplayer.h"
#include "zqpplatform.h"

#include <bass.h>

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>

namespace {

const DWORD requiredVersion = 0x0204;
const int defaultDevice = -1;
const DWORD outputRate = 44100;

} // namespace

BassPluginsPlayer::BassPluginsPlayer()
    : streamHandle(nullptr)
{
}

BassPluginsPlayer::~BassPluginsPlayer()
{
    if (streamHandle) {
        BASS_Free();
        BASS_PluginFree(0);
        delete streamHandle;
    }
}

int BassPluginsPlayer::type()
{
    return TypeCode;
}

QString BassPluginsPlayer::name()
{
    return tr("Bass plugins");
}

QString BassPluginsPlayer::author()
{
    return QStringLiteral("zqp@zqplugins.org");
}

bool BassPluginsPlayer::initial()
{
    // Already initialised: the device is open and the add-ons are loaded.
    if (streamHandle)
        return true;
    if ((BASS_GetVersion() >> 16) != requiredVersion) {
        reportError(tr("An incorrect version of BASS.DLL was loaded"));
        return false;
    }
    if (!BASS_Init(defaultDevice, outputRate, 0, nullptr, nullptr)) {
        reportError(tr("Can't initialize device"));
        return false;
    }
    streamHandle = new quint32(0);
    loadAddOns(QCoreApplication::applicationDirPath() + QDir::separator() + QLatin1String("bass"));
    return true;
}

void BassPluginsPlayer::loadAddOns(const QString &dirPath)
{
    QDirIterator it(dirPath, QStringList(QLatin1String(ZQPPlatform::BassAddOnPattern)), QDir::Files | QDir::NoSymLinks);
    while (it.hasNext()) {
        const QString path = it.next();
        if (!BASS_PluginLoad(path.toUtf8().constData(), 0))
            reportError(tr("Loading %1 failed!").arg(path));
    }
}

QString BassPluginsPlayer::playMemory(const QByteArray &data)
{
    if (!streamHandle)
        return QString();
    stop();
    memoryData = data;
    memoryData.detach();
    *streamHandle = BASS_StreamCreateFile(TRUE, memoryData.constData(), 0, QWORD(memoryData.size()), 0);
    return startStream(*streamHandle, tr("Failed to create sound. The sound type may not be supported by BASS."));
}

QString BassPluginsPlayer::playFile(const QString &fileName)
{
    if (!streamHandle)
        return QString();
    stop();
    *streamHandle = BASS_StreamCreateFile(FALSE, fileName.utf16(), 0, 0, BASS_UNICODE);
    return startStream(*streamHandle, tr("Failed to create sound. File type may not be supported by BASS."));
}

QString BassPluginsPlayer::startStream(quint32 handle, const QString &creationFailure)
{
    if (!handle)
        return creationFailure;
    if (!BASS_ChannelPlay(handle, FALSE))
        reportError(tr("Can't play the file"));
    return QString();
}

void BassPluginsPlayer::stop()
{
    if (!streamHandle || !*streamHandle)
        return;
    BASS_StreamFree(*streamHandle);
    // A freed handle is never handed to the library again.
    *streamHandle = 0;
    memoryData.clear();
}

void BassPluginsPlayer::reportError(const QString &message)
{
    const int code = streamHandle ? BASS_ErrorGetCode() : 0;
    Q_EMIT error(tr("BASS ERR: %1 (error code: %2)").arg(message, QString::number(code)));
}
