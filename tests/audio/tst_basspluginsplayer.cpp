#include "audiotest.h"
#include "basspluginsplayer.h"
#include "bassdouble.h"
#include "messageformats.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QtTest>

// The BASS player over the recording double: the calls it makes, their
// arguments and order, and what it reports.
class tst_BassPluginsPlayer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void uninitialised_data();
    void uninitialised();
    void initial_data();
    void initial();
    void addOns();
    void play_data();
    void play();
    void replace();
    void failure_data();
    void failure();
    void destruction();

private:
    using Player = AudioTest::Spied<BassPluginsPlayer>;

    QString addOnDir() const;
};

static const QStringList initialCalls = {
    QStringLiteral("BASS_GetVersion()"),
    QStringLiteral("BASS_Init(-1, 44100, 0x0, null, null)"),
};

static const QString memoryCreationFailure =
    QStringLiteral("Failed to create sound. The sound type may not be supported by BASS.");

QString tst_BassPluginsPlayer::addOnDir() const
{
    return QCoreApplication::applicationDirPath() + QLatin1String("/bass");
}

void tst_BassPluginsPlayer::initTestCase()
{
    QDir(addOnDir()).removeRecursively();
}

void tst_BassPluginsPlayer::init()
{
    BassDouble::reset();
}

void tst_BassPluginsPlayer::cleanup()
{
    QDir(addOnDir()).removeRecursively();
}

void tst_BassPluginsPlayer::uninitialised_data()
{
    QTest::addColumn<bool>("failedInitial");
    QTest::newRow("never initialised") << false;
    QTest::newRow("after a failed initial") << true;
}

// Before a successful initial() nothing reaches the library, not even on
// destruction.
void tst_BassPluginsPlayer::uninitialised()
{
    QFETCH(bool, failedInitial);
    {
        Player p;
        if (failedInitial) {
            BassDouble::recorder().setResults("BASS_Init", {BASS_ERROR_DRIVER});
            QVERIFY(!p.player->initial());
        }
        const QStringList before = BassDouble::recorder().calls();
        QCOMPARE(p.player->playFile(QStringLiteral("/tmp/a.wav")), QString());
        QCOMPARE(p.player->playMemory(QByteArray("RIFF")), QString());
        p.player->stop();
        QCOMPARE(BassDouble::recorder().calls(), before);
        QCOMPARE(p.errors.count(), failedInitial ? 1 : 0);
    }
    QCOMPARE(BassDouble::recorder().calls(), failedInitial ? initialCalls : QStringList());
}

void tst_BassPluginsPlayer::initial_data()
{
    QTest::addColumn<uint>("version");
    QTest::addColumn<bool>("deviceFails");
    QTest::addColumn<QString>("message");
    const QString wrongVersion = bassError(QStringLiteral("An incorrect version of BASS.DLL was loaded"), 0);
    QTest::newRow("ours") << uint(BASS_ENGINE_VERSION) << false << QString();
    QTest::newRow("any revision") << 0x0204ffffu << false << QString();
    QTest::newRow("older") << 0x02030000u << false << wrongVersion;
    QTest::newRow("newer") << 0x02050001u << false << wrongVersion;
    QTest::newRow("only in the low bits") << 0x00000204u << false << wrongVersion;
    // Code 0 in the report: the player is not initialised yet.
    QTest::newRow("device fails") << uint(BASS_ENGINE_VERSION) << true
                                  << bassError(QStringLiteral("Can't initialize device"), 0);
}

// A second initial() keeps what the first one opened; after a failure it
// runs the whole sequence again.
void tst_BassPluginsPlayer::initial()
{
    QFETCH(uint, version);
    QFETCH(bool, deviceFails);
    QFETCH(QString, message);
    BassDouble::setVersion(version);
    if (deviceFails)
        BassDouble::recorder().setResults("BASS_Init", {BASS_ERROR_DRIVER});
    Player p;
    QCOMPARE(p.player->initial(), message.isEmpty());
    const QStringList calls = deviceFails || message.isEmpty() ? initialCalls : QStringList(initialCalls.first());
    QCOMPARE(BassDouble::recorder().calls(), calls);
    QCOMPARE(p.messages(), message.isEmpty() ? QStringList() : QStringList(message));

    if (!message.isEmpty())
        BassDouble::reset();
    QVERIFY(p.player->initial());
    QCOMPARE(BassDouble::recorder().calls(), initialCalls);
    QCOMPARE(p.errors.count(), message.isEmpty() ? 0 : 1);
}

// Every regular file matching the platform's add-on pattern directly in the
// folder is loaded; a refused one is reported with its path, taken
// literally, and its code, and the others still load.
void tst_BassPluginsPlayer::addOns()
{
    QDir dir(addOnDir());
    QVERIFY(dir.mkpath(QStringLiteral("nested")));
    const QStringList addOns = {QStringLiteral("libbassa.so"), QStringLiteral("libbass%1b.so"),
                                QStringLiteral("libbassc.so")};
    const QStringList ignored = {QStringLiteral("libfoo.so"), QStringLiteral("bassd.so"),
                                 QStringLiteral("libbasse.txt"), QStringLiteral("nested/libbassf.so")};
    for (const QString &name : addOns + ignored) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("libbassa.so")), dir.filePath(QStringLiteral("libbasslink.so"))));
    QVERIFY(dir.mkdir(QStringLiteral("libbassdir.so")));
    BassDouble::refuseAddOn(QStringLiteral("/libbass%1b.so"), BASS_ERROR_ADDON);

    Player p;
    QVERIFY(p.player->initial());
    QStringList calls = BassDouble::recorder().calls();
    QCOMPARE(calls.mid(0, 2), initialCalls);
    calls = calls.mid(2);
    // The refused add-on is followed by its report's code query.
    const QString refusedPath = dir.filePath(QStringLiteral("libbass%1b.so"));
    const int refused = calls.indexOf(QStringLiteral("BASS_PluginLoad(\"%1\", 0x0)").arg(refusedPath));
    QVERIFY(refused >= 0);
    QCOMPARE(calls.value(refused + 1), QStringLiteral("BASS_ErrorGetCode()"));
    calls.removeAt(refused + 1);
    calls.sort();
    QStringList expected;
    for (const QString &name : addOns)
        expected << QStringLiteral("BASS_PluginLoad(\"%1\", 0x0)").arg(dir.filePath(name));
    expected.sort();
    QCOMPARE(calls, expected);
    QCOMPARE(p.messages(), QStringList(bassError(QStringLiteral("Loading %1 failed!").arg(refusedPath),
                                              BASS_ERROR_ADDON)));
}

void tst_BassPluginsPlayer::play_data()
{
    QTest::addColumn<bool>("fromMemory");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("creation");
    QTest::newRow("file") << false << QStringLiteral("/tmp/tone ä €𝄞.wav")
                          << QStringLiteral("BASS_StreamCreateFile(FALSE, \"/tmp/tone ä €𝄞.wav\", 0, 0, 0x80000000)");
    QTest::newRow("memory") << true << QString()
                            << QStringLiteral("BASS_StreamCreateFile(TRUE, <64 bytes>, 0, 64, 0x0)");
}

void tst_BassPluginsPlayer::play()
{
    QFETCH(bool, fromMemory);
    QFETCH(QString, fileName);
    QFETCH(QString, creation);
    QByteArray data = QByteArray("RIFF....WAVEfmt ").repeated(4);
    Player p;
    QVERIFY(p.player->initial());
    const QString result = fromMemory ? p.player->playMemory(data) : p.player->playFile(fileName);
    QCOMPARE(result, QString());
    QCOMPARE(BassDouble::recorder().calls().mid(2),
             QStringList({creation, QStringLiteral("BASS_ChannelPlay(1, FALSE)")}));
    QVERIFY(p.errors.isEmpty());
    if (fromMemory) {
        // The stream reads the player's own copy, not the caller's bytes.
        QVERIFY(BassDouble::lastMemory() != data.constData());
        data.fill('x');
        p.player->stop();
        QVERIFY(BassDouble::lastFreedMemoryIntact());
    }
}

// Each play call and stop() free the previous stream before anything else,
// and the bytes of a memory stream outlive it. The blocks are large enough
// to be given back to the system at once when freed.
void tst_BassPluginsPlayer::replace()
{
    const QByteArray first(1 << 20, 'a');
    const QByteArray second(1 << 20, 'b');
    Player p;
    QVERIFY(p.player->initial());
    p.player->stop();
    QCOMPARE(p.player->playMemory(first), QString());
    QCOMPARE(p.player->playMemory(second), QString());
    QVERIFY(BassDouble::lastFreedMemoryIntact());
    QCOMPARE(p.player->playFile(QStringLiteral("b.mp3")), QString());
    QVERIFY(BassDouble::lastFreedMemoryIntact());
    p.player->stop();
    p.player->stop();
    QCOMPARE(BassDouble::recorder().calls().mid(2), QStringList({
        QStringLiteral("BASS_StreamCreateFile(TRUE, <1048576 bytes>, 0, 1048576, 0x0)"),
        QStringLiteral("BASS_ChannelPlay(1, FALSE)"),
        QStringLiteral("BASS_StreamFree(1)"),
        QStringLiteral("BASS_StreamCreateFile(TRUE, <1048576 bytes>, 0, 1048576, 0x0)"),
        QStringLiteral("BASS_ChannelPlay(2, FALSE)"),
        QStringLiteral("BASS_StreamFree(2)"),
        QStringLiteral("BASS_StreamCreateFile(FALSE, \"b.mp3\", 0, 0, 0x80000000)"),
        QStringLiteral("BASS_ChannelPlay(3, FALSE)"),
        QStringLiteral("BASS_StreamFree(3)"),
    }));
    QVERIFY(p.errors.isEmpty());
}

void tst_BassPluginsPlayer::failure_data()
{
    QTest::addColumn<QByteArray>("function");
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("fromMemory");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QStringList>("calls");
    const QByteArray create("BASS_StreamCreateFile");
    const QByteArray play("BASS_ChannelPlay");
    const QString createFile = QStringLiteral("BASS_StreamCreateFile(FALSE, \"x.aac\", 0, 0, 0x80000000)");
    const QString playFailure = bassError(QStringLiteral("Can't play the file"), BASS_ERROR_START);
    // The stream of a refused play call exists all the same and is freed by
    // the next stop().
    const QStringList playCalls = {QStringLiteral("BASS_ChannelPlay(2, FALSE)"), QStringLiteral("BASS_ErrorGetCode()"),
                                   QStringLiteral("BASS_StreamFree(2)")};
    QTest::newRow("create file") << create << BASS_ERROR_FILEFORM << false << QByteArray()
        << QStringLiteral("Failed to create sound. File type may not be supported by BASS.") << QStringList()
        << QStringList(createFile);
    QTest::newRow("create memory") << create << BASS_ERROR_FILEFORM << true << QByteArray("garbage")
        << memoryCreationFailure << QStringList()
        << QStringList(QStringLiteral("BASS_StreamCreateFile(TRUE, <7 bytes>, 0, 7, 0x0)"));
    QTest::newRow("create empty memory") << create << BASS_ERROR_FILEFORM << true << QByteArray()
        << memoryCreationFailure << QStringList()
        << QStringList(QStringLiteral("BASS_StreamCreateFile(TRUE, <0 bytes>, 0, 0, 0x0)"));
    QTest::newRow("play file") << play << BASS_ERROR_START << false << QByteArray() << QString()
        << QStringList(playFailure) << QStringList(createFile) + playCalls;
    QTest::newRow("play memory") << play << BASS_ERROR_START << true << QByteArray("data") << QString()
        << QStringList(playFailure)
        << QStringList(QStringLiteral("BASS_StreamCreateFile(TRUE, <4 bytes>, 0, 4, 0x0)")) + playCalls;
}

// A refused creation is answered, not reported, and leaves no stream for
// stop(); a refused play is reported with its code.
void tst_BassPluginsPlayer::failure()
{
    QFETCH(QByteArray, function);
    QFETCH(int, code);
    QFETCH(bool, fromMemory);
    QFETCH(QByteArray, data);
    QFETCH(QString, answer);
    QFETCH(QStringList, messages);
    QFETCH(QStringList, calls);
    Player p;
    QVERIFY(p.player->initial());
    QCOMPARE(p.player->playMemory(QByteArray("previous")), QString());
    BassDouble::recorder().setResults(function.constData(), {code});
    QCOMPARE(fromMemory ? p.player->playMemory(data) : p.player->playFile(QStringLiteral("x.aac")), answer);
    p.player->stop();
    QCOMPARE(BassDouble::recorder().calls().mid(4), QStringList(QStringLiteral("BASS_StreamFree(1)")) + calls);
    QCOMPARE(p.messages(), messages);
}

// The destructor shuts the library down and then frees all add-ons; the
// stream goes with the library.
void tst_BassPluginsPlayer::destruction()
{
    {
        Player p;
        QVERIFY(p.player->initial());
        QCOMPARE(p.player->playFile(QStringLiteral("a.wav")), QString());
    }
    QCOMPARE(BassDouble::recorder().calls().mid(4),
             QStringList({QStringLiteral("BASS_Free()"), QStringLiteral("BASS_PluginFree(0)")}));
}

QTEST_GUILESS_MAIN(tst_BassPluginsPlayer)
#include "tst_basspluginsplayer.moc"
