#include "monitorrecorder.h"
#include "testtone.h"
#include "zqpaudioplayer.h"
#include "zqpobject.h"

#include <fmodex.h>
#include <sndfile.h>

#include <QFile>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>
#include <cstring>
#include <functional>

// The FMOD Ex engine and the player plugin over it, with real sound: played
// into the private sound server's null sink and recorded from its monitor.

// Points the sound server address elsewhere for its own lifetime.
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
    void pluginFile();
    void playerNoServer();
    void playerFailures_data();
    void playerFailures();
    void toneArrives_data();
    void toneArrives();
    void stopSilences();
    void callerFreesBytes();

private:
    ZQPAudioPlayer *loadPlayer();
    // A WAV file of a tone, written on first use.
    QString tonePath(int frequency, double seconds);
    QByteArray toneBytes(int frequency, double seconds);
    // Records the sink while play() runs and for seconds more.
    QVector<qint16> record(const std::function<void()> &play, double seconds);

    QTemporaryDir m_dir;
    QPointer<ZQPObject> m_plugin;
    FMOD_SYSTEM *m_system = nullptr;
};

void tst_FmodexEngine::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

QString tst_FmodexEngine::tonePath(int frequency, double seconds)
{
    const QString path = m_dir.filePath(QStringLiteral("tone %1 %2.wav").arg(frequency).arg(seconds));
    if (!QFile::exists(path))
        TestTone::write(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, TestTone::generate(frequency, seconds));
    return path;
}

QByteArray tst_FmodexEngine::toneBytes(int frequency, double seconds)
{
    QFile file(tonePath(frequency, seconds));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QVector<qint16> tst_FmodexEngine::record(const std::function<void()> &play, double seconds)
{
    MonitorRecorder recorder;
    if (!recorder.start(qEnvironmentVariable("ZQP_NULL_SINK", QStringLiteral("testsink")).toStdString())) {
        qWarning("%s", recorder.errorString().c_str());
        return QVector<qint16>();
    }
    // The recording stream needs a moment before it carries samples.
    QTest::qWait(300);
    play();
    QTest::qWait(int(seconds * 1000));
    recorder.stop();
    const std::vector<std::int16_t> samples = recorder.samples();
    return QVector<qint16>(samples.begin(), samples.end());
}

// The tone was heard for about its length and at its frequency.
static void verifyTone(const QVector<qint16> &heard, double frequency, double seconds)
{
    const QPair<int, int> span = TestTone::soundSpan(heard);
    QVERIFY2(span.first >= 0, "nothing was heard");
    const double duration = double(span.second - span.first) / MonitorRecorder::Rate;
    QVERIFY2(qAbs(duration - seconds) <= 0.05, qPrintable(QStringLiteral("heard %1 s").arg(duration)));
    const double found = TestTone::frequency(heard, span.first, span.second);
    QVERIFY2(qAbs(found - frequency) <= frequency * 0.01, qPrintable(QStringLiteral("heard %1 Hz").arg(found)));
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
    const QByteArray wav = toneBytes(440, 0.1);
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
    QTest::newRow("truncated WAV header") << toneBytes(440, 0.1).left(30) << memory << 136 << int(FMOD_ERR_FORMAT);
    QTest::newRow("empty memory") << QByteArray() << memory << 136 << int(FMOD_ERR_FORMAT);
    QTest::newRow("memory, no information") << toneBytes(440, 0.1) << memory << 0 << int(FMOD_ERR_INVALID_PARAM);
    QTest::newRow("memory, wrong size") << toneBytes(440, 0.1) << memory << 100 << int(FMOD_ERR_INVALID_PARAM);
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
    const QByteArray wav = toneBytes(440, 0.2);
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

void tst_FmodexEngine::pluginFile()
{
    const QString path = QStringLiteral(ZQP_STAGE_DIR "/zqp/zqp.adp.fmodex.so");
    const auto plugins = ZQPObject::metaInfo(QStringLiteral(ZQP_STAGE_DIR "/zqp"), QStringLiteral("*.so"));
    QVERIFY(plugins.contains(qMakePair(QStringLiteral("adp/Fmod Ex"), QFileInfo(path).absoluteFilePath())));
    ZQPAudioPlayer *player = loadPlayer();
    QVERIFY(player);
    QCOMPARE(m_plugin->metaObject()->className(), "FmodexAudioPlayer");
    QCOMPARE(player->name(), QStringLiteral("Fmod Ex"));
    QCOMPARE(player->type(), 0x02010010);
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
    QCOMPARE(player->playFile(tonePath(440, 0.1)), QString());
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

    QTest::newRow("file") << tonePath(440, 0.6) << 440;
    const QString name = m_dir.filePath(QStringLiteral("t\u00f6ne \u00e9t\u00e9.wav"));
    QVERIFY(QFile::copy(tonePath(550, 0.6), name));
    QTest::newRow("file, name beyond ASCII") << name << 550;
    // Decoded by FFmpeg, not libsndfile.
    const QString m4a = m_dir.filePath(QStringLiteral("tone.m4a"));
    QVERIFY2(TestTone::encodeAac(tonePath(660, 0.6), m4a), "the ffmpeg program cannot make an M4A file");
    QTest::newRow("m4a file") << m4a << 660;
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
    const QByteArray bytes = toneBytes(frequency, 0.6);
    const QVector<qint16> heard = record([&] {
        QCOMPARE(fileName.isEmpty() ? player->playMemory(bytes) : player->playFile(fileName), QString());
    }, 1.0);
    QCOMPARE(errors.count(), 0);
    verifyTone(heard, frequency, 0.6);
}

void tst_FmodexEngine::stopSilences()
{
    REQUIRE_SERVER();
    ZQPAudioPlayer *player = loadPlayer();
    QVERIFY(player);
    QSignalSpy errors(player, SIGNAL(error(QString)));
    QVERIFY(player->initial());
    const QByteArray bytes = toneBytes(440, 5);
    const QVector<qint16> heard = record([&] {
        QCOMPARE(player->playMemory(bytes), QString());
        QTest::qWait(500);
        player->stop();
        player->stop();
    }, 0.7);

    QCOMPARE(errors.count(), 0);
    const QPair<int, int> span = TestTone::soundSpan(heard);
    QVERIFY2(span.first >= 0, "nothing was heard");
    const double duration = double(span.second - span.first) / MonitorRecorder::Rate;
    QVERIFY2(duration > 0.3 && duration < 0.8, qPrintable(QStringLiteral("heard %1 s").arg(duration)));
}

// The engine copies the bytes: what the caller does with them afterwards
// does not reach the sound (and a sanitizer build sees no use after free).
void tst_FmodexEngine::callerFreesBytes()
{
    REQUIRE_SERVER();
    ZQPAudioPlayer *player = loadPlayer();
    QVERIFY(player);
    QSignalSpy errors(player, SIGNAL(error(QString)));
    QVERIFY(player->initial());
    const QVector<qint16> heard = record([&] {
        QByteArray bytes = toneBytes(660, 0.6);
        QCOMPARE(player->playMemory(bytes), QString());
        bytes.fill('\0');
        bytes.clear();
        bytes.squeeze();
    }, 1.0);
    QCOMPARE(errors.count(), 0);
    verifyTone(heard, 660, 0.6);
}

QTEST_GUILESS_MAIN(tst_FmodexEngine)
#include "tst_fmodexengine.moc"
