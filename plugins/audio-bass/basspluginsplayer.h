#ifndef BASSPLUGINSPLAYER_H
#define BASSPLUGINSPLAYER_H

#include "zqpaudioplayer.h"

// Audio player over the BASS audio library and the decoder add-ons found in
// the "bass" folder beside the program. One sound at a time.
class BassPluginsPlayer : public ZQPAudioPlayer
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "adp/Bass plugins")
    Q_INTERFACES(ZQPAudioPlayer)

public:
    BassPluginsPlayer();
    ~BassPluginsPlayer() override;

    int type() override;
    QString name() override;
    QString author() override;
    bool initial() override;
    QString playMemory(const QByteArray &data) override;
    QString playFile(const QString &fileName) override;
    void stop() override;

private:
    void reportError(const QString &message);
    void loadAddOns(const QString &dirPath);
    QString startStream(quint32 handle, const QString &creationFailure);

    // The stream handle cell; null until initial() succeeds.
    quint32 *streamHandle;
    // The bytes the memory stream reads; kept until that stream is freed.
    QByteArray memoryData;
};

#endif // BASSPLUGINSPLAYER_H
