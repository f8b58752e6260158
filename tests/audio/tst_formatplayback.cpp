#include "audiotest.h"
#include "testtone.h"
#include "zqpaudioplayer.h"
#include "zqpobject.h"

#include <sndfile.h>

#include <QPointer>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

// Every format the players read, played by both players from a file and from
// memory and heard at the sound server's sink. The files are made at run time
// from one generated tone by the ffmpeg and sox programs.
class tst_FormatPlayback : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void plays_data();
    void plays();

private:

    QTemporaryDir m_dir;
    QPointer<ZQPObject> m_plugin;
    QVector<qint16> m_tone;
};

namespace {

const double Frequency = 1000;
// Long enough that a stream cut at a length estimated from its first frames
// ends well away from the tolerance.
const double ToneSeconds = 1.0;

struct Format
{
    const char *name;
    const char *file;
    const char *program;
    QStringList arguments; // "%in" and "%out" stand for the two files
    bool ffmpegOnly;       // the BASS player reads it through its FFmpeg add-on
    bool exact;            // arrives sample for sample
};

QStringList ffmpeg(const QStringList &options)
{
    return QStringList{QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-y"),
                       QStringLiteral("-i"), QStringLiteral("%in")}
        + options + QStringList{QStringLiteral("%out")};
}

QStringList sox(const QStringList &options, const QStringList &effects = {})
{
    return QStringList{QStringLiteral("%in")} + options + QStringList{QStringLiteral("%out")} + effects;
}

QStringList split(const char *words)
{
    return QString::fromLatin1(words).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

const QVector<Format> &formats()
{
    static const QVector<Format> list = {
        {"mp3 cbr", "cbr.mp3", "ffmpeg", ffmpeg(split("-c:a libmp3lame -b:a 128k")), false, false},
        {"mp3 vbr", "vbr.mp3", "ffmpeg", ffmpeg(split("-c:a libmp3lame -q:a 4")), false, false},
        // Cut or joined by stream tools: only the frames' own bit rates tell
        // the length.
        {"mp3 vbr without header", "bare.mp3", "ffmpeg", ffmpeg(split("-c:a libmp3lame -q:a 4 -write_xing 0")),
         false, false},
        {"ogg vorbis", "tone.ogg", "ffmpeg", ffmpeg(split("-c:a libvorbis")), false, false},
        {"opus", "tone.opus", "ffmpeg", ffmpeg(split("-c:a libopus")), false, false},
        {"flac 16-bit", "16.flac", "sox", sox(split("-b 16")), false, true},
        {"flac 24-bit", "24.flac", "sox", sox(split("-b 24")), false, true},
        {"wav 8-bit", "8.wav", "sox", sox(split("-b 8 -e unsigned-integer")), false, false},
        {"wav 16-bit", "16.wav", "sox", sox(split("-b 16")), false, true},
        {"wav 24-bit", "24.wav", "sox", sox(split("-b 24")), false, true},
        {"wav float 32-bit", "f32.wav", "sox", sox(split("-b 32 -e floating-point")), false, true},
        {"wav float 64-bit", "f64.wav", "ffmpeg", ffmpeg(split("-c:a pcm_f64le")), false, true},
        {"wav mu-law", "ulaw.wav", "sox", sox(split("-b 8 -e mu-law")), false, false},
        {"wav 22.05 kHz", "22050.wav", "sox", sox(split("-r 22050")), false, false},
        {"wav 48 kHz", "48000.wav", "sox", sox(split("-r 48000")), false, false},
        {"wav 96 kHz", "96000.wav", "sox", sox(split("-r 96000")), false, false},
        {"wav mono", "mono.wav", "sox", sox({}, split("remix 1,2")), false, false},
        {"wav 5.1", "51.wav", "sox", sox({}, split("remix 1 2 0 0 1 2")), false, false},
        {"aiff", "tone.aiff", "sox", sox({}), false, true},
        {"alac m4a", "alac.m4a", "ffmpeg", ffmpeg(split("-c:a alac")), true, true},
        {"aac m4a", "aac.m4a", "ffmpeg", ffmpeg(split("-c:a aac")), true, false},
        {"wma", "tone.wma", "ffmpeg", ffmpeg(split("-c:a wmav2")), true, false},
        {"ac-3", "tone.ac3", "ffmpeg", ffmpeg(split("-c:a ac3")), true, false},
        {"wavpack", "tone.wv", "ffmpeg", ffmpeg(split("-c:a wavpack")), true, true},
    };
    return list;
}

} // namespace

void tst_FormatPlayback::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QString master = m_dir.filePath(QStringLiteral("master.wav"));
    m_tone = TestTone::generate(Frequency, ToneSeconds);
    QVERIFY(TestTone::write(master, SF_FORMAT_WAV | SF_FORMAT_PCM_16, m_tone));
    for (const Format &format : formats()) {
        QStringList arguments = format.arguments;
        arguments.replaceInStrings(QStringLiteral("%in"), master);
        arguments.replaceInStrings(QStringLiteral("%out"), m_dir.filePath(QLatin1String(format.file)));
        QVERIFY2(TestTone::convert(QLatin1String(format.program), arguments),
                 qPrintable(QStringLiteral("%1 cannot make %2").arg(QLatin1String(format.program),
                                                                     QLatin1String(format.name))));
    }
}

void tst_FormatPlayback::cleanup()
{
    if (m_plugin) {
        m_plugin->unload();
        QTRY_VERIFY(!m_plugin);
    }
    QVERIFY(AudioTest::installBassAddOn(false));
}


void tst_FormatPlayback::plays_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("plugin");
    QTest::addColumn<bool>("fromMemory");
    QTest::addColumn<bool>("addOn");
    QTest::addColumn<bool>("exact");
    // Both engines read the bytes they are given with the same code: the
    // normal build plays them through one player, the sanitizer build,
    // which looks for faults in that reading, through both.
#ifdef ZQP_FORMATS_FROM_MEMORY_ONLY
    const std::initializer_list<bool> sources = {true};
    const bool memoryOnBoth = true;
#else
    const std::initializer_list<bool> sources = {false, true};
    const bool memoryOnBoth = false;
#endif
    for (const Format &format : formats()) {
        for (const char *plugin : {"bass", "fmodex"}) {
            for (const bool fromMemory : sources) {
                if (fromMemory && !memoryOnBoth && qstrcmp(plugin, "fmodex") == 0)
                    continue;
                QTest::addRow("%s, %s, %s", format.name, plugin, fromMemory ? "memory" : "file")
                    << m_dir.filePath(QLatin1String(format.file)) << QString::fromLatin1(plugin) << fromMemory
                    // BASS reads the other formats itself; the add-on stays
                    // away so that this shows.
                    << (format.ffmpegOnly && qstrcmp(plugin, "bass") == 0) << format.exact;
            }
        }
    }
}

// What is wrong with a recording that should hold the tone sample for sample,
// with silence around it.
static QString exactFault(const QVector<qint16> &heard, const QVector<qint16> &tone)
{
    int start = 0;
    while (start < heard.size() && heard[start] == 0)
        ++start;
    start -= start % 2;
    if (heard.size() - start < tone.size())
        return QStringLiteral("the tone did not arrive completely");
    if (heard.mid(start, tone.size()) != tone)
        return QStringLiteral("the tone arrived altered");
    const QVector<qint16> after = heard.mid(start + tone.size());
    if (!std::all_of(after.begin(), after.end(), [](qint16 sample) { return sample == 0; }))
        return QStringLiteral("sound after the tone");
    return QString();
}

// What is wrong with a recording of the tone through a lossy format or the
// server's conversion: its length, pitch and, within a few decibels, the
// level of each channel (a 5.1 file mixed down keeps the right one right).
static QString toneFault(const QVector<qint16> &heard, const QVector<qint16> &tone)
{
    const QString fault = AudioTest::toneFault(heard, Frequency, ToneSeconds);
    if (!fault.isEmpty())
        return fault;
    const auto peak = [](const QVector<qint16> &samples, int channel) {
        int level = 0;
        for (int i = channel; i < samples.size(); i += 2)
            level = qMax(level, qAbs(int(samples[i])));
        return level;
    };
    for (const int channel : {0, 1}) {
        const double ratio = double(peak(heard, channel)) / peak(tone, channel);
        if (ratio < 0.5 || ratio > 1.8)
            return QStringLiteral("heard at %1 times the level in channel %2").arg(ratio).arg(channel);
    }
    return QString();
}

// The whole tone at its pitch and level, and no error.
void tst_FormatPlayback::plays()
{
    SKIP_WITHOUT_SERVER();
    QFETCH(QString, file);
    QFETCH(QString, plugin);
    QFETCH(bool, fromMemory);
    QFETCH(bool, addOn);
    QFETCH(bool, exact);
    QVERIFY(AudioTest::installBassAddOn(addOn));
    m_plugin = ZQPObject::loadObject(QStringLiteral(ZQP_STAGE_DIR "/zqp/zqp.adp.%1.so").arg(plugin), nullptr);
    auto *player = qobject_cast<ZQPAudioPlayer *>(m_plugin.data());
    QVERIFY(player);
    QSignalSpy errors(m_plugin.data(), SIGNAL(error(QString)));
    QVERIFY(player->initial());
    const QByteArray bytes = AudioTest::readFile(file);
    VERIFY_NO_FAULT(AudioTest::listen(
        [&] { return fromMemory ? player->playMemory(bytes) : player->playFile(file); }, ToneSeconds + 0.4,
        [&](const QVector<qint16> &heard) { return exact ? exactFault(heard, m_tone) : toneFault(heard, m_tone); }));
    QCOMPARE(errorsOf(errors), QStringList());
}

QTEST_GUILESS_MAIN(tst_FormatPlayback)
#include "tst_formatplayback.moc"
