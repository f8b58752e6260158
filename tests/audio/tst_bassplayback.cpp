#include "audiotest.h"
#include "basspluginsplayer.h"
#include "testtone.h"

#include <sndfile.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

// The BASS player over the real engine: what it plays arrives at the sound
// server's sink, recorded from the sink's monitor.
class tst_BassPlayback : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void pluginFile();
    void stopSilences();
    void addOn_data();
    void addOn();
    void badData_data();
    void badData();

private:
    using Player = AudioTest::Spied<BassPluginsPlayer>;

    QString path(const QString &name) const { return m_dir.filePath(name); }
    QByteArray contents(const QString &name) const { return AudioTest::readFile(path(name)); }

    QTemporaryDir m_dir;
};

static const double LossySeconds = 1.0;
static const double Frequency = 440;

static const QString fileCreationFailure =
    QStringLiteral("Failed to create sound. File type may not be supported by BASS.");
static const QString memoryCreationFailure =
    QStringLiteral("Failed to create sound. The sound type may not be supported by BASS.");

void tst_BassPlayback::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(AudioTest::installBassAddOn(false));
    const QVector<qint16> lossyTone = TestTone::generate(Frequency, LossySeconds);
    QVERIFY(TestTone::write(path("tone.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, TestTone::generate(Frequency, 0.6)));
    QVERIFY(TestTone::write(path("tone.mp3"), SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, lossyTone));
    QVERIFY(TestTone::write(path("lossy.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, lossyTone));
    QVERIFY2(TestTone::encodeAac(path("lossy.wav"), path("tone.m4a")), "the ffmpeg program cannot make an M4A file");
    QVERIFY(AudioTest::writeNoise(path("garbage.wav")));
    for (const QString &name : {QStringLiteral("tone.wav"), QStringLiteral("tone.mp3"), QStringLiteral("tone.m4a")}) {
        QFile truncated(path(QStringLiteral("truncated.") + QFileInfo(name).suffix()));
        QVERIFY(truncated.open(QIODevice::WriteOnly));
        truncated.write(contents(name).left(30));
    }
    QFile(path("empty.wav")).open(QIODevice::WriteOnly);
}

void tst_BassPlayback::cleanup()
{
    QVERIFY(AudioTest::installBassAddOn(false));
}

// The staged plugin file loads with the engine it links.
void tst_BassPlayback::pluginFile()
{
    ZQPObject *object = ZQPObject::loadObject(QStringLiteral(ZQP_STAGE_DIR "/zqp/zqp.adp.bass.so"), nullptr);
    VERIFY_NO_FAULT(AudioTest::identityFault(object, "BassPluginsPlayer", QStringLiteral("Bass plugins")));
    object->unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void tst_BassPlayback::stopSilences()
{
    SKIP_WITHOUT_SERVER();
    QVERIFY(TestTone::write(path("long.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, TestTone::generate(Frequency, 5)));
    Player p;
    QVERIFY(p.player->initial());
    VERIFY_NO_FAULT(AudioTest::listen([&] {
        const QString result = p.player->playFile(path("long.wav"));
        QTest::qWait(500);
        p.player->stop();
        return result;
    }, 0.5, AudioTest::stoppedFault));
    QVERIFY(p.errors.isEmpty());
}

void tst_BassPlayback::addOn_data()
{
    QTest::addColumn<bool>("fromMemory");
    QTest::newRow("file") << false;
    QTest::newRow("memory") << true;
}

// M4A is only decoded by the FFmpeg add-on that initial() loads from the
// "bass" folder beside the program; without it, it is refused. How it plays
// with the add-on is one of the formats of tst_formatplayback.
void tst_BassPlayback::addOn()
{
    SKIP_WITHOUT_SERVER();
    QFETCH(bool, fromMemory);
    Player p;
    QVERIFY(p.player->initial());
    QCOMPARE(fromMemory ? p.player->playMemory(contents("tone.m4a")) : p.player->playFile(path("tone.m4a")),
             fromMemory ? memoryCreationFailure : fileCreationFailure);
    QVERIFY(p.errors.isEmpty());
}

void tst_BassPlayback::badData_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("fromMemory");
    for (const QString &name : {QStringLiteral("garbage.wav"), QStringLiteral("truncated.wav"),
                                QStringLiteral("truncated.mp3"), QStringLiteral("truncated.m4a"),
                                QStringLiteral("empty.wav")}) {
        QTest::newRow(qPrintable(name + QLatin1String(" file"))) << name << false;
        QTest::newRow(qPrintable(name + QLatin1String(" memory"))) << name << true;
    }
    QTest::newRow("missing file") << QStringLiteral("missing.wav") << false;
}

// Undecodable input, offered to every decoder including the add-on's, is
// refused with the creation text; the player stays usable.
void tst_BassPlayback::badData()
{
    SKIP_WITHOUT_SERVER();
    QFETCH(QString, file);
    QFETCH(bool, fromMemory);
    QVERIFY(AudioTest::installBassAddOn(true));
    Player p;
    QVERIFY(p.player->initial());
    if (fromMemory)
        QCOMPARE(p.player->playMemory(contents(file)), memoryCreationFailure);
    else
        QCOMPARE(p.player->playFile(path(file)), fileCreationFailure);
    QCOMPARE(p.player->playFile(path("tone.wav")), QString());
    p.player->stop();
    QVERIFY(p.errors.isEmpty());
}

QTEST_GUILESS_MAIN(tst_BassPlayback)
#include "tst_bassplayback.moc"
