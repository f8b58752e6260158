#include "sineplayer.h"

#include <QFileInfo>

#include <pulse/error.h>
#include <pulse/simple.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace {
const int sampleRate = 48000;
const double frequency = 440.0;
const int seconds = 2;
const int chunkFrames = sampleRate / 50; // 20 ms, so that stop() is quick
}

SinePlayer::~SinePlayer()
{
    stop();
    if (m_stream)
        pa_simple_free(m_stream);
}

bool SinePlayer::initial()
{
    if (m_stream)
        return true;
    const pa_sample_spec format { PA_SAMPLE_S16LE, sampleRate, 1 };
    int error = 0;
    m_stream = pa_simple_new(nullptr, "Sine tone", PA_STREAM_PLAYBACK, nullptr, "tone", &format, nullptr, nullptr, &error);
    if (!m_stream) {
        Q_EMIT this->error(tr("Sine ERR: %1").arg(QString::fromUtf8(pa_strerror(error))));
        return false;
    }
    return true;
}

QString SinePlayer::playMemory(const QByteArray &data)
{
    if (!m_stream)
        return QString();
    if (data.isEmpty())
        return tr("Sine ERR: nothing to play");
    play();
    return QString();
}

QString SinePlayer::playFile(const QString &fileName)
{
    if (!m_stream)
        return QString();
    if (!QFileInfo(fileName).isFile())
        return tr("Sine ERR: %1 is no file").arg(fileName);
    play();
    return QString();
}

void SinePlayer::stop()
{
    m_stopping = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_stream)
        pa_simple_flush(m_stream, nullptr);
}

void SinePlayer::play()
{
    stop();
    m_stopping = false;
    m_thread = std::thread(&SinePlayer::writeTone, this);
}

void SinePlayer::writeTone()
{
    std::vector<int16_t> chunk(chunkFrames);
    for (int frame = 0; frame < sampleRate * seconds && !m_stopping; frame += chunkFrames) {
        for (int i = 0; i < chunkFrames; ++i)
            chunk[i] = int16_t(8000 * std::sin(2 * M_PI * frequency * (frame + i) / sampleRate));
        if (pa_simple_write(m_stream, chunk.data(), chunk.size() * sizeof(int16_t), nullptr) < 0)
            return;
    }
}
