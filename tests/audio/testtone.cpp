#include "testtone.h"

#include <sndfile.h>

#include <QPair>
#include <QProcess>

#include <algorithm>
#include <cmath>
#include <cstdlib>

QVector<qint16> TestTone::generate(double frequency, double seconds, int rate)
{
    const int frames = int(seconds * rate);
    QVector<qint16> samples(frames * 2);
    for (int i = 0; i < frames; ++i) {
        const double phase = 2 * M_PI * frequency * i / rate;
        samples[2 * i] = qint16(std::lround(16000 * std::sin(phase + 0.5)));
        samples[2 * i + 1] = qint16(std::lround(8000 * std::sin(phase + 1.5)));
    }
    return samples;
}

bool TestTone::write(const QString &path, int format, const QVector<qint16> &samples, int rate)
{
    SF_INFO info = {};
    info.samplerate = rate;
    info.channels = 2;
    info.format = format;
    if (!sf_format_check(&info))
        return false;
    SNDFILE *file = sf_open(path.toUtf8().constData(), SFM_WRITE, &info);
    if (!file)
        return false;
    const sf_count_t frames = samples.size() / 2;
    bool written;
    if ((format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16) {
        written = sf_writef_short(file, samples.constData(), frames) == frames;
    } else {
        // Lossy encoders take floats: libsndfile's 16-bit path into its MP3
        // encoder garbles the signal.
        QVector<float> values(samples.size());
        std::transform(samples.begin(), samples.end(), values.begin(), [](qint16 s) { return s / 32768.0f; });
        written = sf_writef_float(file, values.constData(), frames) == frames;
    }
    return sf_close(file) == 0 && written;
}

bool TestTone::convert(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool TestTone::encodeAac(const QString &sourcePath, const QString &m4aPath)
{
    return convert(QStringLiteral("ffmpeg"), {QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-y"),
                                              QStringLiteral("-i"), sourcePath, QStringLiteral("-c:a"),
                                              QStringLiteral("aac"), m4aPath});
}

QPair<int, int> TestTone::soundSpan(const QVector<qint16> &samples, int threshold)
{
    int first = -1;
    int last = -1;
    for (int frame = 0; frame < samples.size() / 2; ++frame) {
        if (std::abs(samples[2 * frame]) > threshold) {
            if (first < 0)
                first = frame;
            last = frame;
        }
    }
    return qMakePair(first, last < 0 ? -1 : last + 1);
}

double TestTone::frequency(const QVector<qint16> &samples, int begin, int end, int rate)
{
    int firstCrossing = -1;
    int lastCrossing = -1;
    int crossings = 0;
    for (int frame = begin + 1; frame < end; ++frame) {
        if (samples[2 * (frame - 1)] < 0 && samples[2 * frame] >= 0) {
            if (firstCrossing < 0)
                firstCrossing = frame;
            lastCrossing = frame;
            ++crossings;
        }
    }
    if (crossings < 2)
        return 0;
    return double(crossings - 1) * rate / (lastCrossing - firstCrossing);
}
