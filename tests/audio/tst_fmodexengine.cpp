#include "zqpaudioplayer.h"
#include "zqpobject.h"

#include <fmodex.h>

#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

// The FMOD Ex engine and the player plugin over it, with real sound: played
// into the private sound server's null sink and recorded from its monitor.

static const int sampleRate = 44100;

// A mono 16-bit WAV file holding a sine tone at half amplitude.
static QByteArray toneWav(int frequency, int milliseconds)
{
    const int frames = sampleRate * milliseconds / 1000;
    QByteArray pcm(frames * 2, Qt::Uninitialized);
    for (int i = 0; i < frames; ++i) {
        const double value = 0.5 * std::sin(2 * M_PI * frequency * i / sampleRate);
        qToLittleEndian<qint16>(qint16(std::lround(value * 32767)), pcm.data() + 2 * i);
    }
    QByteArray wav;
    auto put32 = [&wav](quint32 v) { char b[4]; qToLittleEndian(v, b); wav.append(b, 4); };
    auto put16 = [&wav](quint16 v) { char b[2]; qToLittleEndian(v, b); wav.append(b, 2); };
    wav.append("RIFF");
    put32(36 + pcm.size());
    wav.append("WAVEfmt ");
    put32(16);
    put16(1);               // PCM
    put16(1);               // mono
    put32(sampleRate);
    put32(sampleRate * 2);  // bytes per second
    put16(2);               // bytes per frame
    put16(16);
    wav.append("data");
    put32(pcm.size());
    return wav + pcm;
}

// Records the null sink's monitor as mono 16-bit samples while it lives.
class SinkRecorder
{
public:
    bool start()
    {
        const QString sink = qEnvironmentVariable("ZQP_NULL_SINK", QStringLiteral("testsink"));
        m_process.start(QStringLiteral("parec"),
                        {QStringLiteral("--latency-msec=10"), QStringLiteral("--device=%1.monitor").arg(sink),
                         QStringLiteral("--format=s16le"), QStringLiteral("--rate=%1").arg(sampleRate),
                         QStringLiteral("--channels=1"), QStringLiteral("--raw")});
        if (!m_process.waitForStarted())
            return false;
        // The recording stream needs a moment before it carries samples.
        QTest::qWait(300);
        return m_process.state() == QProcess::Running;
    }
    // Samples recorded so far.
    int position()
    {
        m_data += m_process.readAllStandardOutput();
        return m_data.size() / 2;
    }
    QVector<qint16> finish()
    {
        position();
        m_process.terminate();
        m_process.waitForFinished();
        m_data += m_process.readAllStandardOutput();
        QVector<qint16> samples(m_data.size() / 2);
        for (int i = 0; i < samples.size(); ++i)
            samples[i] = qFromLittleEndian<qint16>(m_data.constData() + 2 * i);
        return samples;
    }
    ~SinkRecorder()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

private:
    QProcess m_process;
    QByteArray m_data;
};

static int peak(const QVector<qint16> &samples, int from = 0, int to = -1)
{
    int result = 0;
    for (int i = from; i < (to < 0 ? samples.size() : to); ++i)
        result = qMax(result, std::abs(int(samples[i])));
    return result;
}

// The frequency of the loud part of a recording, from its rising zero
// crossings; 0 when nothing loud was recorded.
static double toneFrequency(const QVector<qint16> &samples)
{
    const int threshold = 4000;
    auto loud = [threshold](qint16 sample) { return std::abs(int(sample)) >= threshold; };
    const auto first = std::find_if(samples.cbegin(), samples.cend(), loud);
    const auto last = std::find_if(samples.crbegin(), samples.crend(), loud).base();
    if (first == samples.cend() || last - first < 2)
        return 0;
    int crossings = 0;
    for (auto it = first + 1; it != last; ++it) {
        if (*(it - 1) < 0 && *it >= 0)
            ++crossings;
    }
    return crossings * double(sampleRate) / (last - first);
}

// Runs the body with the sound server address changed, and restores it.
class ServerAddress
{
public:
    explicit ServerAddress(const QByteArray &address)
        : m_saved(qgetenv("PULSE_SERVER")), m_wasSet(qEnvironmentVariableIsSet("PULSE_SERVER"))
    {
        qputenv("PULSE_SERVER", address);
    }
    ~ServerAddress()
    {
        if (m_wasSet)
            qputenv("PULSE_SERVER", m_saved);
        else
            qunsetenv("PULSE_SERVER");
    }

private:
    QByteArray m_saved;
    bool m_wasSet;
};

#define REQUIRE_SERVER() \
    if (!qEnvironmentVariableIsSet("PULSE_SERVER")) \
        QSKIP("PULSE_SERVER is not set: run under scripts/servers.sh start_pulse (as scripts/test does)")

class tst_FmodexEngine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    // the engine's entry points
    void versionAndHandles();
    void noServer();
    void createFailures_data();
    void createFailures();
    void channel();
    // the player plugin over the engine
    void playerNoServer();
    void playerFailures_data();
    void playerFailures();
    void toneArrives_data();
    void toneArrives();
    void stopSilences();
    void callerFreesBytes();

private:
    ZQPAudioPlayer *loadPlayer();

    QTemporaryDir m_dir;
    QString m_tonePath;
    QPointer<ZQPObject> m_plugin;
    FMOD_SYSTEM *m_system = nullptr;
};

void tst_FmodexEngine::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_tonePath = m_dir.filePath(QStringLiteral("tone 440.wav"));
    QFile file(m_tonePath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(toneWav(440, 600));
}

void tst_FmodexEngine::cleanup()
{
    if (m_system)
        QCOMPARE(FMOD_System_Release(m_system), FMOD_OK);
    m_system = nullptr;
    if (m_plugin) {
        m_plugin->unload();
        QTRY_VERIFY(!m_plugin);
    }
}

ZQPAudioPlayer *tst_FmodexEngine::loadPlayer()
{
    m_plugin = ZQPObject::loadObject(QStringLiteral(ZQP_STAGE_DIR "/zqp/zqp.adp.fmodex.so"), nullptr);
    return qobject_cast<ZQPAudioPlayer *>(m_plugin.data());
}

void tst_FmodexEngine::versionAndHandles()
{
    QCOMPARE(FMOD_System_Create(&m_system), FMOD_OK);
    unsigned int version = 0;
    QCOMPARE(FMOD_System_GetVersion(m_system, &version), FMOD_OK);
    QCOMPARE(version, 0x00044464u);

    int junk[4] = {};
    auto *bogusSystem = reinterpret_cast<FMOD_SYSTEM *>(junk);
    auto *bogusSound = reinterpret_cast<FMOD_SOUND *>(junk);
    auto *bogusChannel = reinterpret_cast<FMOD_CHANNEL *>(junk);
    FMOD_BOOL playing = 0;
    QCOMPARE(FMOD_System_GetVersion(bogusSystem, &version), FMOD_ERR_INVALID_HANDLE);
    QCOMPARE(FMOD_System_Init(nullptr, 1, 0, nullptr), FMOD_ERR_INVALID_HANDLE);
    QCOMPARE(FMOD_Sound_SetMode(bogusSound, FMOD_LOOP_OFF), FMOD_ERR_INVALID_HANDLE);
    QCOMPARE(FMOD_Sound_Release(nullptr), FMOD_ERR_INVALID_HANDLE);
    QCOMPARE(FMOD_Channel_IsPlaying(bogusChannel, &playing), FMOD_ERR_INVALID_HANDLE);
    QCOMPARE(FMOD_Channel_Stop(nullptr), FMOD_ERR_INVALID_HANDLE);
    QCOMPARE(FMOD_System_GetVersion(m_system, nullptr), FMOD_ERR_INVALID_PARAM);
    QCOMPARE(FMOD_System_Create(nullptr), FMOD_ERR_INVALID_PARAM);

    // A released system is a stale handle.
    QCOMPARE(FMOD_System_Release(m_system), FMOD_OK);
    QCOMPARE(FMOD_System_Release(m_system), FMOD_ERR_INVALID_HANDLE);
    m_system = nullptr;
}

void tst_FmodexEngine::noServer()
{
    const ServerAddress address("unix:/nonexistent/zqp-no-server");
    QCOMPARE(FMOD_System_Create(&m_system), FMOD_OK);
    QCOMPARE(FMOD_System_Init(m_system, 1, 0x00400001, nullptr), FMOD_ERR_OUTPUT_INIT);
    const QByteArray wav = toneWav(440, 100);
    FMOD_CREATESOUNDEXINFO info = {};
    info.cbsize = sizeof(info);
    info.length = wav.size();
    FMOD_SOUND *sound = nullptr;
    QCOMPARE(FMOD_System_CreateSound(m_system, wav.constData(), FMOD_OPENMEMORY, &info, &sound),
             FMOD_ERR_UNINITIALIZED);
    QCOMPARE(sound, nullptr);
}

void tst_FmodexEngine::createFailures_data()
{
    QTest::addColumn<QByteArray>("nameOrData");
    QTest::addColumn<uint>("mode");
    QTest::addColumn<int>("cbsize");
    QTest::addColumn<int>("result");

    const uint memory = FMOD_OPENMEMORY;
    QTest::newRow("missing file") << QByteArray("/nonexistent/tone.wav") << 0u << 0 << int(FMOD_ERR_FILE_NOTFOUND);
    QTest::newRow("text file") << QByteArray(ZQP_SOURCE_DIR "/CMakeLists.txt") << 0u << 0 << int(FMOD_ERR_FORMAT);
    QTest::newRow("text in memory") << QByteArray("no audio in here, not at all") << memory << 136
                                    << int(FMOD_ERR_FORMAT);
    QTest::newRow("truncated WAV header") << toneWav(440, 100).left(30) << memory << 136 << int(FMOD_ERR_FORMAT);
    QTest::newRow("empty memory") << QByteArray() << memory << 136 << int(FMOD_ERR_FORMAT);
    QTest::newRow("memory, no information") << toneWav(440, 100) << memory << 0 << int(FMOD_ERR_INVALID_PARAM);
    QTest::newRow("memory, wrong size") << toneWav(440, 100) << memory << 100 << int(FMOD_ERR_INVALID_PARAM);
}

void tst_FmodexEngine::createFailures()
{
    QFETCH(QByteArray, nameOrData);
    QFETCH(uint, mode);
    QFETCH(int, cbsize);
    QFETCH(int, result);
    REQUIRE_SERVER();

    QCOMPARE(FMOD_System_Create(&m_system), FMOD_OK);
    QCOMPARE(FMOD_System_Init(m_system, 1, 0x00400001, nullptr), FMOD_OK);
    QCOMPARE(FMOD_System_Init(m_system, 1, 0x00400001, nullptr), FMOD_ERR_INITIALIZED);
    FMOD_CREATESOUNDEXINFO info = {};
    info.cbsize = cbsize;
    info.length = nameOrData.size();
    FMOD_SOUND *sound = nullptr;
    QCOMPARE(FMOD_System_CreateSound(m_system, nameOrData.constData(), mode, cbsize ? &info : nullptr, &sound),
             result);
    QCOMPARE(sound, nullptr);
}

void tst_FmodexEngine::channel()
{
    REQUIRE_SERVER();
    QCOMPARE(FMOD_System_Create(&m_system), FMOD_OK);
    QCOMPARE(FMOD_System_Init(m_system, 1, 0x00400001, nullptr), FMOD_OK);

    // The bytes are the engine's own once the call returns.
    const QByteArray wav = toneWav(440, 200);
    char *bytes = static_cast<char *>(std::malloc(wav.size()));
    std::memcpy(bytes, wav.constData(), wav.size());
    FMOD_CREATESOUNDEXINFO info = {};
    info.cbsize = sizeof(info);
    info.length = wav.size();
    FMOD_SOUND *sound = nullptr;
    QCOMPARE(FMOD_System_CreateSound(m_system, bytes, FMOD_OPENMEMORY | FMOD_HARDWARE, &info, &sound), FMOD_OK);
    std::memset(bytes, 0, wav.size());
    std::free(bytes);
    QCOMPARE(FMOD_Sound_SetMode(sound, FMOD_LOOP_OFF), FMOD_OK);

    FMOD_CHANNEL *channel = nullptr;
    FMOD_BOOL playing = 0;
    QCOMPARE(FMOD_System_PlaySound(m_system, FMOD_CHANNEL_FREE, sound, 0, &channel), FMOD_OK);
    QVERIFY(channel);
    QCOMPARE(FMOD_Channel_IsPlaying(channel, &playing), FMOD_OK);
    QVERIFY(playing);
    // It plays out by itself.
    QTRY_VERIFY_WITH_TIMEOUT(FMOD_Channel_IsPlaying(channel, &playing) == FMOD_OK && !playing, 5000);

    // Reusing the channel gives the same one back; stopping it is immediate.
    FMOD_CHANNEL *reused = channel;
    QCOMPARE(FMOD_System_PlaySound(m_system, FMOD_CHANNEL_REUSE, sound, 0, &reused), FMOD_OK);
    QCOMPARE(reused, channel);
    QCOMPARE(FMOD_Channel_IsPlaying(channel, &playing), FMOD_OK);
    QVERIFY(playing);
    QCOMPARE(FMOD_Channel_Stop(channel), FMOD_OK);
    QCOMPARE(FMOD_Channel_IsPlaying(channel, &playing), FMOD_OK);
    QVERIFY(!playing);

    // Another system's channel cannot be reused; one system has one channel.
    FMOD_SYSTEM *other = nullptr;
    QCOMPARE(FMOD_System_Create(&other), FMOD_OK);
    FMOD_CHANNEL *foreign = channel;
    QCOMPARE(FMOD_System_PlaySound(other, FMOD_CHANNEL_REUSE, sound, 0, &foreign), FMOD_ERR_INVALID_HANDLE);
    QCOMPARE(FMOD_System_Release(other), FMOD_OK);
    QCOMPARE(FMOD_System_PlaySound(m_system, 1, sound, 0, &reused), FMOD_ERR_INVALID_PARAM);

    // Releasing a playing sound silences its channel; the sound is gone.
    QCOMPARE(FMOD_System_PlaySound(m_system, FMOD_CHANNEL_REUSE, sound, 0, &reused), FMOD_OK);
    QCOMPARE(FMOD_Sound_Release(sound), FMOD_OK);
    QCOMPARE(FMOD_Channel_IsPlaying(channel, &playing), FMOD_OK);
    QVERIFY(!playing);
    QCOMPARE(FMOD_Sound_Release(sound), FMOD_ERR_INVALID_HANDLE);
    QCOMPARE(FMOD_System_PlaySound(m_system, FMOD_CHANNEL_REUSE, sound, 0, &reused), FMOD_ERR_INVALID_HANDLE);
}

void tst_FmodexEngine::playerNoServer()
{
    const ServerAddress address("unix:/nonexistent/zqp-no-server");
    ZQPAudioPlayer *player = loadPlayer();
    QVERIFY(player);
    QSignalSpy errors(player, SIGNAL(error(QString)));
    QVERIFY(!player->initial());
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.at(0).at(0).toString(), QStringLiteral("FMOD ERR: (60) - Error initializing output device. "));
    QCOMPARE(player->playFile(m_tonePath), QString());
    QCOMPARE(errors.count(), 1);
}

void tst_FmodexEngine::playerFailures_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("message");

    QTest::newRow("missing file") << QStringLiteral("/nonexistent/tone.wav")
                                  << QStringLiteral("FMOD ERR: (23) - File not found. ");
    QTest::newRow("not audio") << QStringLiteral(ZQP_SOURCE_DIR "/CMakeLists.txt")
                               << QStringLiteral("FMOD ERR: (25) - Unsupported file or audio format. ");
}

void tst_FmodexEngine::playerFailures()
{
    QFETCH(QString, fileName);
    QFETCH(QString, message);
    REQUIRE_SERVER();

    ZQPAudioPlayer *player = loadPlayer();
    QVERIFY(player);
    QSignalSpy errors(player, SIGNAL(error(QString)));
    QVERIFY(player->initial());
    QCOMPARE(player->playFile(fileName), QString());
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.at(0).at(0).toString(), message);
    player->stop();
    QCOMPARE(errors.count(), 1);
}

void tst_FmodexEngine::toneArrives_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<int>("frequency");

    QTest::newRow("file") << m_tonePath << 440;
    const QString name = m_dir.filePath(QStringLiteral("t\u00f6ne \u00e9t\u00e9.wav"));
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(toneWav(550, 600));
    QTest::newRow("file, name beyond ASCII") << name << 550;
    QTest::newRow("memory") << QString() << 880;
}

void tst_FmodexEngine::toneArrives()
{
    QFETCH(QString, fileName);
    QFETCH(int, frequency);
    REQUIRE_SERVER();

    ZQPAudioPlayer *player = loadPlayer();
    QVERIFY(player);
    QSignalSpy errors(player, SIGNAL(error(QString)));
    QVERIFY(player->initial());

    SinkRecorder recorder;
    QVERIFY(recorder.start());
    if (fileName.isEmpty())
        QCOMPARE(player->playMemory(toneWav(frequency, 600)), QString());
    else
        QCOMPARE(player->playFile(fileName), QString());
    QTest::qWait(1000);
    const QVector<qint16> samples = recorder.finish();

    QCOMPARE(errors.count(), 0);
    QVERIFY2(peak(samples) > 12000, qPrintable(QStringLiteral("peak %1").arg(peak(samples))));
    const double found = toneFrequency(samples);
    QVERIFY2(qAbs(found - frequency) < frequency * 0.03, qPrintable(QStringLiteral("%1 Hz").arg(found)));
}

void tst_FmodexEngine::stopSilences()
{
    REQUIRE_SERVER();
    ZQPAudioPlayer *player = loadPlayer();
    QVERIFY(player);
    QSignalSpy errors(player, SIGNAL(error(QString)));
    QVERIFY(player->initial());

    SinkRecorder recorder;
    QVERIFY(recorder.start());
    QCOMPARE(player->playMemory(toneWav(440, 5000)), QString());
    QTest::qWait(600);
    player->stop();
    player->stop();
    // What the server still held when stop() returned has drained by now.
    QTest::qWait(300);
    const int silenceFrom = recorder.position();
    QTest::qWait(700);
    const QVector<qint16> samples = recorder.finish();

    QCOMPARE(errors.count(), 0);
    QVERIFY(peak(samples, 0, silenceFrom) > 12000);
    QVERIFY(samples.size() - silenceFrom > sampleRate / 2);
    QVERIFY(peak(samples, silenceFrom) < 100);
}

void tst_FmodexEngine::callerFreesBytes()
{
    REQUIRE_SERVER();
    ZQPAudioPlayer *player = loadPlayer();
    QVERIFY(player);
    QSignalSpy errors(player, SIGNAL(error(QString)));
    QVERIFY(player->initial());

    SinkRecorder recorder;
    QVERIFY(recorder.start());
    {
        QByteArray bytes = toneWav(660, 600);
        QCOMPARE(player->playMemory(bytes), QString());
        bytes.fill('\0');
        bytes.clear();
        bytes.squeeze();
    }
    QTest::qWait(1000);
    const QVector<qint16> samples = recorder.finish();

    QCOMPARE(errors.count(), 0);
    QVERIFY(peak(samples) > 12000);
    const double found = toneFrequency(samples);
    QVERIFY2(qAbs(found - 660) < 660 * 0.03, qPrintable(QStringLiteral("%1 Hz").arg(found)));
}

QTEST_GUILESS_MAIN(tst_FmodexEngine)
#include "tst_fmodexengine.moc"
