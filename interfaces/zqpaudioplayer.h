#ifndef ZQPAUDIOPLAYER_H
#define ZQPAUDIOPLAYER_H

#include "zqpobject.h"

#include <QByteArray>

// Audio player service. Hosts reach it by qobject_cast with the interface id.
class ZQPAudioPlayer : public ZQPObject
{
public:
    // What type() answers, by which hosts tell an audio player.
    static constexpr int TypeCode = 0x02010010;

    // Plays an audio file whose complete content is given. Returns an empty
    // string, or a failure text that was not emitted through error().
    virtual QString playMemory(const QByteArray &data) = 0;
    // The same for the file at fileName.
    virtual QString playFile(const QString &fileName) = 0;
    // Stops and releases the current sound, if any.
    virtual void stop() = 0;
};

#define ZQPAudioPlayer_iid "zqp.AudioPlayer"
Q_DECLARE_INTERFACE(ZQPAudioPlayer, ZQPAudioPlayer_iid)

#endif // ZQPAUDIOPLAYER_H
