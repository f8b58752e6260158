#include "fmodexaudioplayer.h"
#include "fmodexdouble.h"
#include "fmodexerrortexts.h"

#include <QSignalSpy>
#include <QtTest>

#include <climits>
#include <memory>

// The FMOD Ex player over the recording double: the calls it makes, their
// arguments, and what it reports.
class tst_FmodexAudioPlayer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void identity();
    void uninitialised_data();
    void uninitialised();
    void initial();
    void version_data();
    void version();
    void initialFailures_data();
    void initialFailures();
    void errorTexts_data();
    void errorTexts();
    void errorTextTable();
    void playSequence();
    void playFailures_data();
    void playFailures();
    void stopFailures_data();
    void stopFailures();
    void destruction_data();
    void destruction();

private:
    struct Player
    {
        std::unique_ptr<FmodexAudioPlayer> player{new FmodexAudioPlayer};
        QSignalSpy errors{player.get(), SIGNAL(error(QString))};
        QStringList messages() const;
    };
};

static const QString systemCalls[] = {
    QStringLiteral("FMOD_System_Create(&null)"),
    QStringLiteral("FMOD_System_GetVersion(system1, &0)"),
    QStringLiteral("FMOD_System_Init(system1, 1, 0x00400001, null)"),
};

static QString codeMessage(int code, const QString &text)
{
    return QStringLiteral("FMOD ERR: (%1) - %2").arg(code).arg(text);
}

QStringList tst_FmodexAudioPlayer::Player::messages() const
{
    QStringList list;
    for (const QList<QVariant> &arguments : errors)
        list << arguments.at(0).toString();
    return list;
}

void tst_FmodexAudioPlayer::init()
{
    FmodexDouble::reset();
}

void tst_FmodexAudioPlayer::identity()
{
    FmodexAudioPlayer player;
    QCOMPARE(player.metaObject()->className(), "FmodexAudioPlayer");
    QCOMPARE(player.qt_metacast("zqp.AudioPlayer"), static_cast<void *>(static_cast<ZQPAudioPlayer *>(&player)));
    QCOMPARE(player.qt_metacast("zqp.OcrText"), nullptr);
    QCOMPARE(qobject_cast<ZQPObject *>(&player), &player);
    QCOMPARE(player.type(), 0x02010010);
    QCOMPARE(player.name(), QStringLiteral("Fmod Ex"));
    QVERIFY(player.author().contains(QLatin1Char('@')));
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
            FmodexDouble::setResult("FMOD_System_Init", FMOD_ERR_OUTPUT_INIT);
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
    QCOMPARE(FmodexDouble::calls(), QStringList());
}

void tst_FmodexAudioPlayer::initial()
{
    Player p;
    QVERIFY(p.player->initial());
    QCOMPARE(FmodexDouble::calls(), QStringList(std::begin(systemCalls), std::end(systemCalls)));

    // A second call keeps the system it has.
    QVERIFY(p.player->initial());
    QCOMPARE(FmodexDouble::calls().size(), 3);
    QCOMPARE(p.errors.count(), 0);
}

void tst_FmodexAudioPlayer::version_data()
{
    QTest::addColumn<uint>("version");
    QTest::addColumn<int>("releaseResult");
    QTest::addColumn<QStringList>("messages");

    const QString old = QStringLiteral(
            "FMOD ERR: You are using an old version of FMOD %1. This program requires 00044464.");
    QTest::newRow("required version") << 0x00044464u << 0 << QStringList();
    QTest::newRow("newer") << 0x00050000u << 0 << QStringList();
    QTest::newRow("one below") << 0x00044463u << 0 << QStringList{old.arg(QLatin1String("00044463"))};
    QTest::newRow("zero") << 0u << 0 << QStringList{old.arg(QLatin1String("00000000"))};
    QTest::newRow("old, release fails") << 0x00043000u << int(FMOD_ERR_INVALID_HANDLE)
            << QStringList{codeMessage(36, QStringLiteral("An invalid object handle was used. ")),
                           old.arg(QLatin1String("00043000"))};
}

void tst_FmodexAudioPlayer::version()
{
    QFETCH(uint, version);
    QFETCH(int, releaseResult);
    QFETCH(QStringList, messages);

    FmodexDouble::setVersion(version);
    FmodexDouble::setResult("FMOD_System_Release", releaseResult);
    Player p;
    QCOMPARE(p.player->initial(), messages.isEmpty());
    QCOMPARE(p.messages(), messages);
    if (messages.isEmpty()) {
        QCOMPARE(FmodexDouble::calls().size(), 3);
    } else {
        QCOMPARE(FmodexDouble::calls(), (QStringList{systemCalls[0], systemCalls[1],
                                                     QStringLiteral("FMOD_System_Release(system1)")}));
    }
}

void tst_FmodexAudioPlayer::initialFailures_data()
{
    QTest::addColumn<QByteArray>("function");
    QTest::addColumn<int>("callsMade");
    QTest::addColumn<int>("releaseResult");

    QTest::newRow("create") << QByteArray("FMOD_System_Create") << 1 << 0;
    QTest::newRow("version query") << QByteArray("FMOD_System_GetVersion") << 2 << 0;
    QTest::newRow("version query, release fails") << QByteArray("FMOD_System_GetVersion") << 2
                                                  << int(FMOD_ERR_INTERNAL);
    QTest::newRow("init") << QByteArray("FMOD_System_Init") << 3 << 0;
    QTest::newRow("init, release fails") << QByteArray("FMOD_System_Init") << 3 << int(FMOD_ERR_INTERNAL);
}

void tst_FmodexAudioPlayer::initialFailures()
{
    QFETCH(QByteArray, function);
    QFETCH(int, callsMade);
    QFETCH(int, releaseResult);

    FmodexDouble::setResult(function.constData(), FMOD_ERR_OUTPUT_INIT);
    FmodexDouble::setResult("FMOD_System_Release", releaseResult);
    Player p;
    QVERIFY(!p.player->initial());

    QStringList calls(systemCalls, systemCalls + callsMade);
    QStringList messages{codeMessage(60, QStringLiteral("Error initializing output device. "))};
    if (callsMade > 1)
        calls << QStringLiteral("FMOD_System_Release(system1)");
    if (releaseResult)
        messages << codeMessage(33, QStringLiteral("An error occured that wasn't supposed to.  Contact support. "));
    QCOMPARE(FmodexDouble::calls(), calls);
    QCOMPARE(p.messages(), messages);

    // Nothing is kept: the next attempt starts from the beginning.
    FmodexDouble::reset();
    QVERIFY(p.player->initial());
    QCOMPARE(FmodexDouble::calls(), QStringList(std::begin(systemCalls), std::end(systemCalls)));
}

void tst_FmodexAudioPlayer::errorTexts_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");

    QTest::newRow("1") << 1 << QStringLiteral("Tried to call lock a second time before unlock was called. ");
    QTest::newRow("23") << 23 << QStringLiteral("File not found. ");
    QTest::newRow("25") << 25 << QStringLiteral("Unsupported file or audio format. ");
    QTest::newRow("36") << 36 << QStringLiteral("An invalid object handle was used. ");
    QTest::newRow("75") << 75 << QStringLiteral(
            "The error occured because the sound referenced contains subsounds when it shouldn't have, or it "
            "doesn't contain subsounds when it should have.  The operation may also not be able to be performed "
            "on a parent sound, or a parent sound was played without setting up a sentence first. ");
    QTest::newRow("95") << 95 << QStringLiteral("The music callback is required, but it has not been set. ");
    QTest::newRow("96") << 96 << QStringLiteral("Unknown error.");
    QTest::newRow("large") << INT_MAX << QStringLiteral("Unknown error.");
    QTest::newRow("-1") << -1 << QStringLiteral("Unknown error.");
    QTest::newRow("most negative") << INT_MIN << QStringLiteral("Unknown error.");
}

void tst_FmodexAudioPlayer::errorTexts()
{
    QFETCH(int, code);
    QFETCH(QString, text);

    FmodexDouble::setResult("FMOD_System_Create", code);
    Player p;
    QVERIFY(!p.player->initial());
    QCOMPARE(p.messages(), QStringList{QStringLiteral("FMOD ERR: (%1) - %2").arg(code).arg(text)});
}

void tst_FmodexAudioPlayer::errorTextTable()
{
    QCOMPARE(fmodexErrorText(0), "No errors.");
    for (int code = 1; code < 96; ++code) {
        const QByteArray text(fmodexErrorText(code));
        QVERIFY2(text.size() > 2 && text.endsWith(' ') && !text.endsWith("  "), text);
    }
}

void tst_FmodexAudioPlayer::playSequence()
{
    Player p;
    QVERIFY(p.player->initial());
    FmodexDouble::clearCalls();

    QCOMPARE(p.player->playFile(QStringLiteral("/music/a b.ogg")), QString());
    const QByteArray data("RIFF....WAVE", 12);
    QCOMPARE(p.player->playMemory(data), QString());
    QCOMPARE(FmodexDouble::lastMemory(), static_cast<const void *>(data.constData()));
    p.player->stop();
    p.player->stop();
    FmodexDouble::setPlaying(false);
    QCOMPARE(p.player->playFile(QStringLiteral("c.mp3")), QString());
    p.player->stop();

    QCOMPARE(FmodexDouble::calls(), (QStringList{
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
    FmodexDouble::clearCalls();
    FmodexDouble::setResult(function.constData(), FMOD_ERR_FORMAT);

    const QString result = memory ? p.player->playMemory(QByteArray("abc"))
                                  : p.player->playFile(QStringLiteral("x.flac"));
    QCOMPARE(result, QString());
    QCOMPARE(p.messages(), QStringList{codeMessage(25, QStringLiteral("Unsupported file or audio format. "))});
    p.player->stop();
    p.player->stop();
    QCOMPARE(FmodexDouble::calls(), calls);
    QCOMPARE(p.errors.count(), 1);
}

void tst_FmodexAudioPlayer::stopFailures_data()
{
    QTest::addColumn<bool>("playing");
    QTest::addColumn<QByteArray>("function");
    QTest::addColumn<bool>("stopCalled");

    QTest::newRow("query fails") << false << QByteArray("FMOD_Channel_IsPlaying") << false;
    QTest::newRow("stop fails") << true << QByteArray("FMOD_Channel_Stop") << true;
    QTest::newRow("release fails, playing") << true << QByteArray("FMOD_Sound_Release") << true;
    QTest::newRow("release fails, ended") << false << QByteArray("FMOD_Sound_Release") << false;
}

void tst_FmodexAudioPlayer::stopFailures()
{
    QFETCH(bool, playing);
    QFETCH(QByteArray, function);
    QFETCH(bool, stopCalled);

    Player p;
    QVERIFY(p.player->initial());
    p.player->playFile(QStringLiteral("x.wav"));
    FmodexDouble::clearCalls();
    FmodexDouble::setPlaying(playing);
    FmodexDouble::setResult(function.constData(), FMOD_ERR_INVALID_HANDLE);

    p.player->stop();
    // The sound is gone whatever the results were.
    p.player->stop();

    QStringList calls{QStringLiteral("FMOD_Channel_IsPlaying(channel1, &0)")};
    if (stopCalled)
        calls << QStringLiteral("FMOD_Channel_Stop(channel1)");
    calls << QStringLiteral("FMOD_Sound_Release(sound1)");
    QCOMPARE(FmodexDouble::calls(), calls);
    QCOMPARE(p.messages(), QStringList{codeMessage(36, QStringLiteral("An invalid object handle was used. "))});
}

void tst_FmodexAudioPlayer::destruction_data()
{
    QTest::addColumn<bool>("withSound");
    QTest::addColumn<int>("releaseResult");

    QTest::newRow("no sound") << false << 0;
    QTest::newRow("sound playing") << true << 0;
    QTest::newRow("system release fails") << true << int(FMOD_ERR_INTERNAL);
}

void tst_FmodexAudioPlayer::destruction()
{
    QFETCH(bool, withSound);
    QFETCH(int, releaseResult);

    Player p;
    QVERIFY(p.player->initial());
    if (withSound)
        p.player->playMemory(QByteArray("abc"));
    FmodexDouble::clearCalls();
    FmodexDouble::setResult("FMOD_System_Release", releaseResult);
    p.player.reset();

    QStringList calls;
    if (withSound)
        calls << QStringLiteral("FMOD_Channel_IsPlaying(channel1, &0)")
              << QStringLiteral("FMOD_Channel_Stop(channel1)") << QStringLiteral("FMOD_Sound_Release(sound1)");
    calls << QStringLiteral("FMOD_System_Release(system1)");
    QCOMPARE(FmodexDouble::calls(), calls);
    QCOMPARE(p.messages(), releaseResult ? QStringList{codeMessage(33, QStringLiteral(
            "An error occured that wasn't supposed to.  Contact support. "))} : QStringList());
}

QTEST_GUILESS_MAIN(tst_FmodexAudioPlayer)
#include "tst_fmodexaudioplayer.moc"
