#include "audiotest.h"
#include "fmodexaudioplayer.h"
#include "fmodexdouble.h"
#include "messageformats.h"

#include <QtTest>

#include <climits>

// The FMOD Ex player over the recording double: the calls it makes, their
// arguments, and what it reports.
class tst_FmodexAudioPlayer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void uninitialised_data();
    void uninitialised();
    void initial_data();
    void initial();
    void playSequence();
    void playFailures_data();
    void playFailures();
    void release_data();
    void release();

private:
    using Player = AudioTest::Spied<FmodexAudioPlayer>;
};

static const QStringList systemCalls = {
    QStringLiteral("FMOD_System_Create(&null)"),
    QStringLiteral("FMOD_System_GetVersion(system1, &0)"),
    QStringLiteral("FMOD_System_Init(system1, 1, 0x00400001, null)"),
};

void tst_FmodexAudioPlayer::init()
{
    FmodexDouble::reset();
}

void tst_FmodexAudioPlayer::uninitialised_data()
{
    QTest::addColumn<bool>("failedInitial");
    QTest::newRow("never initialised") << false;
    QTest::newRow("after a failed initial()") << true;
}

void tst_FmodexAudioPlayer::uninitialised()
{
    QFETCH(bool, failedInitial);
    {
        Player p;
        if (failedInitial) {
            FmodexDouble::recorder().setResults("FMOD_System_Init", {FMOD_ERR_OUTPUT_INIT});
            QVERIFY(!p.player->initial());
            QCOMPARE(p.errors.count(), 1);
            FmodexDouble::reset();
        }
        QCOMPARE(p.player->playFile(QStringLiteral("/music/a.wav")), QString());
        QCOMPARE(p.player->playMemory(QByteArray("RIFF")), QString());
        p.player->stop();
        p.player.reset();
        QCOMPARE(p.errors.count(), failedInitial ? 1 : 0);
    }
    QCOMPARE(FmodexDouble::recorder().calls(), QStringList());
}

void tst_FmodexAudioPlayer::initial_data()
{
    QTest::addColumn<uint>("version");
    QTest::addColumn<QByteArray>("function");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("releaseResult");
    QTest::addColumn<int>("callsMade");
    QTest::addColumn<QStringList>("messages");

    const uint ours = FMOD_VERSION;
    const QByteArray none;
    const QString old = QStringLiteral(
            "FMOD ERR: You are using an old version of FMOD %1. This program requires 00044464.");
    const QString outputInit = fmodError(60, QStringLiteral("Error initializing output device. "));
    const QString internal =
            fmodError(33, QStringLiteral("An error occured that wasn't supposed to.  Contact support. "));
    const int output = FMOD_ERR_OUTPUT_INIT;
    QTest::newRow("required version") << 0x00044464u << none << 0 << 0 << 3 << QStringList();
    QTest::newRow("newer") << 0x00050000u << none << 0 << 0 << 3 << QStringList();
    QTest::newRow("one below") << 0x00044463u << none << 0 << 0 << 2 << QStringList{old.arg(QLatin1String("00044463"))};
    QTest::newRow("zero") << 0u << none << 0 << 0 << 2 << QStringList{old.arg(QLatin1String("00000000"))};
    QTest::newRow("old, release fails") << 0x00043000u << none << 0 << int(FMOD_ERR_INVALID_HANDLE) << 2
            << QStringList{fmodError(36, QStringLiteral("An invalid object handle was used. ")),
                           old.arg(QLatin1String("00043000"))};
    QTest::newRow("create") << ours << QByteArray("FMOD_System_Create") << output << 0 << 1 << QStringList{outputInit};
    QTest::newRow("version query") << ours << QByteArray("FMOD_System_GetVersion") << output << 0 << 2
                                   << QStringList{outputInit};
    QTest::newRow("version query, release fails") << ours << QByteArray("FMOD_System_GetVersion") << output
            << int(FMOD_ERR_INTERNAL) << 2 << QStringList{outputInit, internal};
    QTest::newRow("init") << ours << QByteArray("FMOD_System_Init") << output << 0 << 3 << QStringList{outputInit};
    QTest::newRow("init, release fails") << ours << QByteArray("FMOD_System_Init") << output
            << int(FMOD_ERR_INTERNAL) << 3 << QStringList{outputInit, internal};

    // The texts of other codes, and of codes beyond the table.
    const QString subsounds = QStringLiteral(
            "The error occured because the sound referenced contains subsounds when it shouldn't have, or it "
            "doesn't contain subsounds when it should have.  The operation may also not be able to be performed "
            "on a parent sound, or a parent sound was played without setting up a sentence first. ");
    const QList<QPair<int, QString>> texts = {
        {1, QStringLiteral("Tried to call lock a second time before unlock was called. ")},
        {75, subsounds},
        {95, QStringLiteral("The music callback is required, but it has not been set. ")},
        {96, QStringLiteral("Unknown error.")},
        {-1, QStringLiteral("Unknown error.")},
        {INT_MIN, QStringLiteral("Unknown error.")},
    };
    for (const auto &text : texts) {
        QTest::newRow(qPrintable(QStringLiteral("code %1").arg(text.first)))
                << ours << QByteArray("FMOD_System_Create") << text.first << 0 << 1
                << QStringList{fmodError(text.first, text.second)};
    }
}

// A failed initial() releases the system it created and reports why;
// nothing is kept, so the next attempt starts from the beginning. A second
// successful one keeps the system it has.
void tst_FmodexAudioPlayer::initial()
{
    QFETCH(uint, version);
    QFETCH(QByteArray, function);
    QFETCH(int, result);
    QFETCH(int, releaseResult);
    QFETCH(int, callsMade);
    QFETCH(QStringList, messages);

    FmodexDouble::setVersion(version);
    if (!function.isEmpty())
        FmodexDouble::recorder().setResults(function.constData(), {result});
    FmodexDouble::recorder().setResults("FMOD_System_Release", {releaseResult});
    Player p;
    QCOMPARE(p.player->initial(), messages.isEmpty());
    QStringList calls = systemCalls.mid(0, callsMade);
    if (!messages.isEmpty() && callsMade > 1)
        calls << QStringLiteral("FMOD_System_Release(system1)");
    QCOMPARE(FmodexDouble::recorder().calls(), calls);
    QCOMPARE(p.messages(), messages);

    if (!messages.isEmpty())
        FmodexDouble::reset();
    QVERIFY(p.player->initial());
    QCOMPARE(FmodexDouble::recorder().calls(), systemCalls);
}

void tst_FmodexAudioPlayer::playSequence()
{
    Player p;
    QVERIFY(p.player->initial());
    FmodexDouble::recorder().clearCalls();

    QCOMPARE(p.player->playFile(QStringLiteral("/music/a b.ogg")), QString());
    const QByteArray data("RIFF....WAVE", 12);
    QCOMPARE(p.player->playMemory(data), QString());
    QCOMPARE(FmodexDouble::lastMemory(), static_cast<const void *>(data.constData()));
    p.player->stop();
    p.player->stop();
    FmodexDouble::setPlaying(false);
    QCOMPARE(p.player->playFile(QStringLiteral("c.mp3")), QString());
    p.player->stop();

    QCOMPARE(FmodexDouble::recorder().calls(), (QStringList{
        QStringLiteral("FMOD_System_CreateSound(system1, \"/music/a b.ogg\", 0x00000040, null, &null)"),
        QStringLiteral("FMOD_Sound_SetMode(sound1, 0x00000001)"),
        QStringLiteral("FMOD_System_PlaySound(system1, -1, sound1, 0, &null)"),
        // playMemory stops the playing sound first
        QStringLiteral("FMOD_Channel_IsPlaying(channel1, &0)"),
        QStringLiteral("FMOD_Channel_Stop(channel1)"),
        QStringLiteral("FMOD_Sound_Release(sound1)"),
        QStringLiteral("FMOD_System_CreateSound(system1, memory, 0x00000820, exinfo{136, 12}, &null)"),
        QStringLiteral("FMOD_Sound_SetMode(sound2, 0x00000001)"),
        QStringLiteral("FMOD_System_PlaySound(system1, -2, sound2, 0, &channel1)"),
        // stop(); the second stop() has no sound left
        QStringLiteral("FMOD_Channel_IsPlaying(channel1, &0)"),
        QStringLiteral("FMOD_Channel_Stop(channel1)"),
        QStringLiteral("FMOD_Sound_Release(sound2)"),
        // after stop() the channel is still reused
        QStringLiteral("FMOD_System_CreateSound(system1, \"c.mp3\", 0x00000040, null, &null)"),
        QStringLiteral("FMOD_Sound_SetMode(sound3, 0x00000001)"),
        QStringLiteral("FMOD_System_PlaySound(system1, -2, sound3, 0, &channel1)"),
        // the sound has ended by itself: no stop call, but it is released
        QStringLiteral("FMOD_Channel_IsPlaying(channel1, &0)"),
        QStringLiteral("FMOD_Sound_Release(sound3)"),
    }));
    QCOMPARE(p.errors.count(), 0);
}

void tst_FmodexAudioPlayer::playFailures_data()
{
    QTest::addColumn<bool>("memory");
    QTest::addColumn<QByteArray>("function");
    QTest::addColumn<QStringList>("calls");

    const QString create = QStringLiteral("FMOD_System_CreateSound(system1, \"x.flac\", 0x00000040, null, &null)");
    const QString createMemory =
            QStringLiteral("FMOD_System_CreateSound(system1, memory, 0x00000820, exinfo{136, 3}, &null)");
    const QString setMode = QStringLiteral("FMOD_Sound_SetMode(sound1, 0x00000001)");
    const QString play = QStringLiteral("FMOD_System_PlaySound(system1, -1, sound1, 0, &null)");
    // What the stop() that follows does: the sound stays until then.
    const QString release = QStringLiteral("FMOD_Sound_Release(sound1)");
    const QStringList stopPlaying{QStringLiteral("FMOD_Channel_IsPlaying(channel1, &0)"),
                                  QStringLiteral("FMOD_Channel_Stop(channel1)"), release};

    QTest::newRow("file: create") << false << QByteArray("FMOD_System_CreateSound") << QStringList{create};
    QTest::newRow("memory: create") << true << QByteArray("FMOD_System_CreateSound") << QStringList{createMemory};
    QTest::newRow("file: set mode") << false << QByteArray("FMOD_Sound_SetMode")
                                    << QStringList{create, setMode, play} + stopPlaying;
    QTest::newRow("memory: set mode") << true << QByteArray("FMOD_Sound_SetMode")
                                      << QStringList{createMemory, setMode, play} + stopPlaying;
    // No channel was handed out, so stop() only releases the sound.
    QTest::newRow("file: play") << false << QByteArray("FMOD_System_PlaySound")
                                << QStringList{create, setMode, play, release};
    QTest::newRow("memory: play") << true << QByteArray("FMOD_System_PlaySound")
                                  << QStringList{createMemory, setMode, play, release};
}

void tst_FmodexAudioPlayer::playFailures()
{
    QFETCH(bool, memory);
    QFETCH(QByteArray, function);
    QFETCH(QStringList, calls);

    Player p;
    QVERIFY(p.player->initial());
    FmodexDouble::recorder().clearCalls();
    FmodexDouble::recorder().setResults(function.constData(), {FMOD_ERR_FORMAT});

    const QString result = memory ? p.player->playMemory(QByteArray("abc"))
                                  : p.player->playFile(QStringLiteral("x.flac"));
    QCOMPARE(result, QString());
    QCOMPARE(p.messages(), QStringList{fmodError(25, QStringLiteral("Unsupported file or audio format. "))});
    p.player->stop();
    p.player->stop();
    QCOMPARE(FmodexDouble::recorder().calls(), calls);
    QCOMPARE(p.errors.count(), 1);
}

void tst_FmodexAudioPlayer::release_data()
{
    QTest::addColumn<bool>("withSound");
    QTest::addColumn<bool>("playing");
    QTest::addColumn<QByteArray>("function");
    QTest::addColumn<bool>("destroy");
    QTest::addColumn<QStringList>("calls");

    const QString query = QStringLiteral("FMOD_Channel_IsPlaying(channel1, &0)");
    const QString stop = QStringLiteral("FMOD_Channel_Stop(channel1)");
    const QString release = QStringLiteral("FMOD_Sound_Release(sound1)");
    const QString systemRelease = QStringLiteral("FMOD_System_Release(system1)");
    const QByteArray none;
    // stop(), twice: the sound is gone after the first whatever the results were.
    QTest::newRow("query fails") << true << false << QByteArray("FMOD_Channel_IsPlaying") << false
                                 << QStringList{query, release};
    QTest::newRow("stop fails") << true << true << QByteArray("FMOD_Channel_Stop") << false
                                << QStringList{query, stop, release};
    QTest::newRow("release fails, playing") << true << true << QByteArray("FMOD_Sound_Release") << false
                                            << QStringList{query, stop, release};
    QTest::newRow("release fails, ended") << true << false << QByteArray("FMOD_Sound_Release") << false
                                          << QStringList{query, release};
    QTest::newRow("destroyed, no sound") << false << true << none << true << QStringList{systemRelease};
    QTest::newRow("destroyed, playing") << true << true << none << true
                                        << QStringList{query, stop, release, systemRelease};
    QTest::newRow("destroyed, system release fails") << true << true << QByteArray("FMOD_System_Release") << true
                                                     << QStringList{query, stop, release, systemRelease};
}

// A failing call is reported once with its code.
void tst_FmodexAudioPlayer::release()
{
    QFETCH(bool, withSound);
    QFETCH(bool, playing);
    QFETCH(QByteArray, function);
    QFETCH(bool, destroy);
    QFETCH(QStringList, calls);

    Player p;
    QVERIFY(p.player->initial());
    if (withSound)
        QCOMPARE(p.player->playFile(QStringLiteral("x.wav")), QString());
    FmodexDouble::recorder().clearCalls();
    FmodexDouble::setPlaying(playing);
    if (!function.isEmpty())
        FmodexDouble::recorder().setResults(function.constData(), {FMOD_ERR_INVALID_HANDLE});
    if (destroy) {
        p.player.reset();
    } else {
        p.player->stop();
        p.player->stop();
    }
    QCOMPARE(FmodexDouble::recorder().calls(), calls);
    QCOMPARE(p.messages(), function.isEmpty() ? QStringList()
             : QStringList{fmodError(36, QStringLiteral("An invalid object handle was used. "))});
}

QTEST_GUILESS_MAIN(tst_FmodexAudioPlayer)
#include "tst_fmodexaudioplayer.moc"
