#ifndef SINEPLAYER_H
#define SINEPLAYER_H

#include <zqp/zqpaudioplayer.h>

#include <atomic>
#include <thread>

struct pa_simple;

// An audio player that decodes nothing: whatever file it is asked to play,
// it plays two seconds of a 440 Hz tone through PulseAudio instead. It shows
// what a player plugin has to do: initialise its engine in initial(), report
// failures in full, play on its own thread and stop at once when asked.
class SinePlayer : public ZQPAudioPlayer
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "adp/Sine tone")
    Q_INTERFACES(ZQPAudioPlayer)

public:
    ~SinePlayer() override;

    int type() override { return TypeCode; }
    QString name() override { return tr("Sine tone"); }
    QString author() override { return QStringLiteral("ZQ plugins examples"); }
    bool initial() override;

    QString playMemory(const QByteArray &data) override;
    QString playFile(const QString &fileName) override;
    void stop() override;

private:
    void play();
    void writeTone();

    pa_simple *m_stream = nullptr;
    std::thread m_thread;
    std::atomic<bool> m_stopping { false };
};

#endif // SINEPLAYER_H
