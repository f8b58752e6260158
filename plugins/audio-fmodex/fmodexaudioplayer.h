#ifndef FMODEXAUDIOPLAYER_H
#define FMODEXAUDIOPLAYER_H

#include "zqpaudioplayer.h"

struct FmodexHandles;

// Audio player over the FMOD Ex sound system: one system with one channel,
// one sound at a time. Every failing library call is reported through
// error() as "FMOD ERR: (<code>) - <text>".
class FmodexAudioPlayer : public ZQPAudioPlayer
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "adp/Fmod Ex")
    Q_INTERFACES(ZQPAudioPlayer)

public:
    FmodexAudioPlayer();
    ~FmodexAudioPlayer() override;

    int type() override;
    QString name() override;
    QString author() override;
    bool initial() override;
    QString playMemory(const QByteArray &data) override;
    QString playFile(const QString &fileName) override;
    void stop() override;

private:
    bool checkResult(int result);
    void play();

    // Null until initial() succeeds.
    FmodexHandles *handles;
};

#endif // FMODEXAUDIOPLAYER_H
