#include "audiotest.h"
#include "messageformats.h"
#include "testtone.h"
#include "zqpaudioplayer.h"
#include "zqpobject.h"

#include <fmodex.h>
#include <sndfile.h>

#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QtTest>


// The FMOD Ex engine and the player plugin over it, with real sound: played
// into the private sound server's null sink and recorded from its monitor.

class tst_FmodexEngine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    // the engine's entry points
    void handles();
    void createFailures_data();
    void createFailures();
    void channel();
    // the player plugin over the engine
    void pluginFile();
    void playerFailures_data();
    void playerFailures();
    void toneArrives_data();
    void toneArrives();
    void stopSilences();

private:
    // Loads the staged plugin with a spy on its error signal.
    ZQPAudioPlayer *loadPlayer();
    // A WAV file of a tone, written on first use.
    QString tonePath(int frequency, double seconds);
    QByteArray toneBytes(int frequency, double seconds) { return AudioTest::readFile(tonePath(frequency, seconds)); }

    QTemporaryDir m_dir;
    QPointer<ZQPObject> m_plugin;
    std::unique_ptr<QSignalSpy> m_errors;
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

void tst_FmodexEngine::cleanup()
{
    if (m_system)
        QCOMPARE(FMOD_System_Release(m_system), FMOD_OK);
    m_system = nullptr;
    m_errors.reset();
    if (m_plugin) {
        m_plugin->unload();
        QTRY_VERIFY(!m_plugin);
    }
}

ZQPAudioPlayer *tst_FmodexEngine::loadPlayer()
{
    m_plugin = ZQPObject::loadObject(QStringLiteral(ZQP_STAGE_DIR "/zqp/zqp.adp.fmodex.so"), nullptr);
    m_errors.reset(new QSignalSpy(m_plugin.data(), SIGNAL(error(QString))));
    return qobject_cast<ZQPAudioPlayer *>(m_plugin.data());
}

void tst_FmodexEngine::handles()
{
    QCOMPARE(FMOD_System_Create(&m_system), FMOD_OK);
    unsigned int version = 0;
    // No sound before the system is initialised.
    const QByteArray wav = toneBytes(440, 0.1);
    FMOD_CREATESOUNDEXINFO info = {};
    info.cbsize = sizeof(info);
    info.length = wav.size();
    FMOD_SOUND *sound = nullptr;
    QCOMPARE(FMOD_System_CreateSound(m_system, wav.constData(), FMOD_OPENMEMORY, &info, &sound),
             FMOD_ERR_UNINITIALIZED);
    QCOMPARE(sound, nullptr);

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

void tst_FmodexEngine::createFailures_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("cbsize");
    QTest::addColumn<int>("result");

    const int format = FMOD_ERR_FORMAT;
    const int invalid = FMOD_ERR_INVALID_PARAM;
    QTest::newRow("text") << QByteArray("no audio in here, not at all") << 136 << format;
    QTest::newRow("truncated WAV header") << toneBytes(440, 0.1).left(30) << 136 << format;
    QTest::newRow("empty") << QByteArray() << 136 << format;
    QTest::newRow("no information") << toneBytes(440, 0.1) << 0 << invalid;
    QTest::newRow("wrong size") << toneBytes(440, 0.1) << 100 << invalid;
}

// Sounds from memory that cannot be made; files are the player's tests.
void tst_FmodexEngine::createFailures()
{
    QFETCH(QByteArray, data);
    QFETCH(int, cbsize);
    QFETCH(int, result);
    SKIP_WITHOUT_SERVER();

    QCOMPARE(FMOD_System_Create(&m_system), FMOD_OK);
    QCOMPARE(FMOD_System_Init(m_system, 1, 0x00400001, nullptr), FMOD_OK);
    QCOMPARE(FMOD_System_Init(m_system, 1, 0x00400001, nullptr), FMOD_ERR_INITIALIZED);
    FMOD_CREATESOUNDEXINFO info = {};
    info.cbsize = cbsize;
    info.length = data.size();
    FMOD_SOUND *sound = nullptr;
    QCOMPARE(FMOD_System_CreateSound(m_system, data.constData(), FMOD_OPENMEMORY, cbsize ? &info : nullptr, &sound),
             result);
    QCOMPARE(sound, nullptr);
}

void tst_FmodexEngine::channel()
{
    SKIP_WITHOUT_SERVER();
    QCOMPARE(FMOD_System_Create(&m_system), FMOD_OK);
    QCOMPARE(FMOD_System_Init(m_system, 1, 0x00400001, nullptr), FMOD_OK);

    FMOD_SOUND *sound = nullptr;
    QCOMPARE(FMOD_System_CreateSound(m_system, tonePath(440, 0.2).toLocal8Bit().constData(), FMOD_HARDWARE,
                                     nullptr, &sound), FMOD_OK);
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
    loadPlayer();
    VERIFY_NO_FAULT(AudioTest::identityFault(m_plugin, "FmodexAudioPlayer", QStringLiteral("Fmod Ex")));
}

void tst_FmodexEngine::playerFailures_data()
{
    QTest::addColumn<bool>("serverless");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("message");

    QTest::newRow("no sound server") << true << tonePath(440, 0.1)
                                     << fmodError(60, QStringLiteral("Error initializing output device. "));
    QTest::newRow("missing file") << false << QStringLiteral("/nonexistent/tone.wav")
                                  << fmodError(23, QStringLiteral("File not found. "));
    QTest::newRow("not audio") << false << QStringLiteral(ZQP_SOURCE_DIR "/CMakeLists.txt")
                               << fmodError(25, QStringLiteral("Unsupported file or audio format. "));
}

// One report each, and nothing more from the calls that follow.
void tst_FmodexEngine::playerFailures()
{
    QFETCH(bool, serverless);
    QFETCH(QString, fileName);
    QFETCH(QString, message);
    std::unique_ptr<AudioTest::NoServer> noServer(serverless ? new AudioTest::NoServer : nullptr);
    if (!serverless)
        SKIP_WITHOUT_SERVER();

    ZQPAudioPlayer *player = loadPlayer();
    QVERIFY(player);
    QCOMPARE(player->initial(), !serverless);
    QCOMPARE(player->playFile(fileName), QString());
    player->stop();
    QCOMPARE(errorsOf(*m_errors), QStringList(message));
}

void tst_FmodexEngine::toneArrives_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<int>("frequency");

    // The formats themselves are tst_formatplayback's.
    const QString name = m_dir.filePath(QStringLiteral("t\u00f6ne \u00e9t\u00e9.wav"));
    QVERIFY(QFile::copy(tonePath(550, 0.6), name));
    QTest::newRow("file, name beyond ASCII") << name << 550;
    QTest::newRow("memory") << QString() << 880;
}

// The engine copies the bytes of a memory sound: what the caller does with
// them afterwards does not reach the sound (and a sanitizer build sees no
// use after free).
void tst_FmodexEngine::toneArrives()
{
    QFETCH(QString, fileName);
    QFETCH(int, frequency);
    SKIP_WITHOUT_SERVER();

    ZQPAudioPlayer *player = loadPlayer();
    QVERIFY(player);
    QVERIFY(player->initial());
    VERIFY_NO_FAULT(AudioTest::listen([&] {
        if (!fileName.isEmpty())
            return player->playFile(fileName);
        QByteArray bytes = toneBytes(frequency, 0.6);
        const QString answer = player->playMemory(bytes);
        bytes.fill('\0');
        bytes.clear();
        bytes.squeeze();
        return answer;
    }, 1.0, [frequency](const QVector<qint16> &heard) { return AudioTest::toneFault(heard, frequency, 0.6); }));
    QCOMPARE(m_errors->count(), 0);
}

void tst_FmodexEngine::stopSilences()
{
    SKIP_WITHOUT_SERVER();
    ZQPAudioPlayer *player = loadPlayer();
    QVERIFY(player);
    QVERIFY(player->initial());
    const QByteArray bytes = toneBytes(440, 5);
    VERIFY_NO_FAULT(AudioTest::listen([&] {
        const QString answer = player->playMemory(bytes);
        QTest::qWait(500);
        player->stop();
        player->stop();
        return answer;
    }, 0.7, AudioTest::stoppedFault));
    QCOMPARE(m_errors->count(), 0);
}

QTEST_GUILESS_MAIN(tst_FmodexEngine)
#include "tst_fmodexengine.moc"
