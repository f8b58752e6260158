#ifndef TESTTONE_H
#define TESTTONE_H

#include <QString>
#include <QStringList>
#include <QVector>

// Sine tones for the playback tests: generated, written to audio files, and
// measured again in a recording.
class TestTone
{
public:
    // Interleaved stereo: the left channel at full phase, the right one at a
    // different phase and half the level, so that a swap shows. The first
    // frame is not silent.
    static QVector<qint16> generate(double frequency, double seconds, int rate = 44100);
    // Writes samples (stereo) with a libsndfile format, e.g. SF_FORMAT_WAV |
    // SF_FORMAT_PCM_16. False if libsndfile cannot write that format.
    static bool write(const QString &path, int format, const QVector<qint16> &samples, int rate = 44100);

    // Runs a converter program (ffmpeg, sox) to its end; true if it succeeded.
    static bool convert(const QString &program, const QStringList &arguments);
    // Encodes a file as AAC in an M4A container with the ffmpeg program.
    static bool encodeAac(const QString &sourcePath, const QString &m4aPath);

    // Index of the first and one past the last stereo frame whose left
    // sample exceeds the threshold; both -1 when there is none.
    static QPair<int, int> soundSpan(const QVector<qint16> &samples, int threshold = 1000);
    // Frequency of the left channel in [begin, end) frames from its rising
    // zero crossings.
    static double frequency(const QVector<qint16> &samples, int begin, int end, int rate = 44100);
};

#endif // TESTTONE_H
