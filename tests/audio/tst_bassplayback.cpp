#include "basspluginsplayer.h"
#include "monitorrecorder.h"
#include "testtone.h"

#include <sndfile.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <memory>

// The BASS player over the real engine: what it plays arrives at the sound
// server's sink, recorded from the sink's monitor.
class tst_BassPlayback : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void noSoundServer();
    void pluginFile();
    void exact_data();
    void exact();
    void lossy_data();
    void lossy();
    void stopSilences();
    void addOn_data();
    void addOn();
    void badData_data();
    void badData();

private:
    struct Player
    {
        std::unique_ptr<BassPluginsPlayer> player{new BassPluginsPlayer};
        QSignalSpy errors{player.get(), SIGNAL(error(QString))};
    };

    bool needsServer();
    // Records while play() runs (its result is the play call's) and for
    // seconds more, then checks what was heard with check(), which returns
    // what is wrong, if anything. A sound server starved of CPU drops out
    // of any player's 100 ms buffer (paplay's too), so a check that fails
    // is tried again, up to Trials times in all.
    void listen(const std::function<QString()> &play, double seconds,
                const std::function<QString(const QVector<qint16> &)> &check);
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QByteArray contents(const QString &name) const;
    void installAddOn(bool installed);

    QTemporaryDir m_dir;
    QVector<qint16> m_tone;
    QVector<qint16> m_lossyTone;
    QString m_sink;
};

static const double ToneSeconds = 0.6;
static const double LossySeconds = 1.0;
static const double Frequency = 440;
static const int Trials = 3;

static const QString fileCreationFailure =
    QStringLiteral("Failed to create sound. File type may not be supported by BASS.");
static const QString memoryCreationFailure =
    QStringLiteral("Failed to create sound. The sound type may not be supported by BASS.");

void tst_BassPlayback::initTestCase()
{
    QVERIFY(m_dir.isValid());
    installAddOn(false);
    m_sink = qEnvironmentVariable("ZQP_NULL_SINK", QStringLiteral("testsink"));
    m_tone = TestTone::generate(Frequency, ToneSeconds);
    QVERIFY(TestTone::write(path("tone.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, m_tone));
    QVERIFY(TestTone::write(path("tone.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, m_tone));
    m_lossyTone = TestTone::generate(Frequency, LossySeconds);
    QVERIFY(TestTone::write(path("tone.mp3"), SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, m_lossyTone));
    QVERIFY(TestTone::write(path("tone.ogg"), SF_FORMAT_OGG | SF_FORMAT_VORBIS, m_lossyTone));
    QVERIFY(TestTone::write(path("tone.opus"), SF_FORMAT_OGG | SF_FORMAT_OPUS,
                            TestTone::generate(Frequency, LossySeconds, 48000), 48000));
    QVERIFY(TestTone::write(path("lossy.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, m_lossyTone));
    QVERIFY2(TestTone::encodeAac(path("lossy.wav"), path("tone.m4a")), "the ffmpeg program cannot make an M4A file");
    QFile garbage(path("garbage.wav"));
    QVERIFY(garbage.open(QIODevice::WriteOnly));
    for (int i = 0; i < 4096; ++i)
        garbage.putChar(char((i * 7919 + 13) % 251));
    garbage.close();
    for (const QString &name : {QStringLiteral("tone.wav"), QStringLiteral("tone.mp3"), QStringLiteral("tone.m4a")}) {
        QFile truncated(path(QStringLiteral("truncated.") + QFileInfo(name).suffix()));
        QVERIFY(truncated.open(QIODevice::WriteOnly));
        truncated.write(contents(name).left(30));
    }
    QFile(path("empty.wav")).open(QIODevice::WriteOnly);
}

void tst_BassPlayback::cleanup()
{
    installAddOn(false);
}

bool tst_BassPlayback::needsServer()
{
    return qEnvironmentVariableIsSet("PULSE_SERVER");
}

QByteArray tst_BassPlayback::contents(const QString &name) const
{
    QFile file(path(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void tst_BassPlayback::installAddOn(bool installed)
{
    QDir dir(QCoreApplication::applicationDirPath() + QLatin1String("/bass"));
    dir.removeRecursively();
    if (!installed)
        return;
    QVERIFY(dir.mkpath(QStringLiteral(".")));
    QVERIFY(QFile::copy(QStringLiteral(ZQP_STAGE_DIR "/bass/libbassffmpeg.so"), dir.filePath("libbassffmpeg.so")));
}

void tst_BassPlayback::listen(const std::function<QString()> &play, double seconds,
                              const std::function<QString(const QVector<qint16> &)> &check)
{
    QString failure;
    for (int trial = 1; trial <= Trials; ++trial) {
        MonitorRecorder recorder;
        QVERIFY2(recorder.start(m_sink.toStdString()), recorder.errorString().c_str());
        QThread::msleep(300);
        const QString result = play();
        QThread::msleep(ulong(seconds * 1000));
        recorder.stop();
        QVERIFY2(result.isEmpty(), qPrintable(result));
        const std::vector<std::int16_t> samples = recorder.samples();
        failure = check(QVector<qint16>(samples.begin(), samples.end()));
        if (failure.isEmpty())
            return;
        qWarning("trial %d of %d: %s", trial, Trials, qPrintable(failure));
    }
    QFAIL(qPrintable(failure));
}

// Without a reachable sound server the device cannot be opened; the report
// carries code 0 since the player is not initialised yet.
void tst_BassPlayback::noSoundServer()
{
    const QByteArray saved = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", "unix:" + QFile::encodeName(path("no-such-socket")));
    {
        Player p;
        QVERIFY(!p.player->initial());
        QCOMPARE(p.errors.count(), 1);
        QCOMPARE(p.errors.at(0).at(0).toString(),
                 QStringLiteral("BASS ERR: Can't initialize device (error code: 0)"));
        QCOMPARE(p.player->playFile(path("tone.wav")), QString());
        p.player->stop();
    }
    if (saved.isNull())
        qunsetenv("PULSE_SERVER");
    else
        qputenv("PULSE_SERVER", saved);
}

// The staged plugin file loads with the engine it links.
void tst_BassPlayback::pluginFile()
{
    ZQPObject *object = ZQPObject::loadObject(QStringLiteral(ZQP_STAGE_DIR "/zqp/zqp.adp.bass.so"), nullptr);
    QVERIFY(object);
    auto *player = qobject_cast<ZQPAudioPlayer *>(object);
    QVERIFY(player);
    QCOMPARE(player->name(), QStringLiteral("Bass plugins"));
    QCOMPARE(player->type(), 0x02010010);
    object->unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void tst_BassPlayback::exact_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("fromMemory");
    QTest::newRow("wav file") << QStringLiteral("tone.wav") << false;
    QTest::newRow("wav memory") << QStringLiteral("tone.wav") << true;
    QTest::newRow("flac file") << QStringLiteral("tone.flac") << false;
    QTest::newRow("flac memory") << QStringLiteral("tone.flac") << true;
}

// Lossless sources arrive at the sink sample for sample.
void tst_BassPlayback::exact()
{
    if (!needsServer())
        QSKIP("PULSE_SERVER is not set: no sound server to play to (scripts/test starts one)");
    QFETCH(QString, file);
    QFETCH(bool, fromMemory);
    Player p;
    QVERIFY(p.player->initial());
    const QByteArray bytes = contents(file);
    listen([&] { return fromMemory ? p.player->playMemory(bytes) : p.player->playFile(path(file)); },
           ToneSeconds + 0.4, [this](const QVector<qint16> &heard) {
        int start = 0;
        while (start < heard.size() && heard[start] == 0)
            ++start;
        start -= start % 2;
        if (heard.size() - start < m_tone.size())
            return QStringLiteral("the tone did not arrive completely");
        if (heard.mid(start, m_tone.size()) != m_tone)
            return QStringLiteral("the tone arrived altered");
        const QVector<qint16> after = heard.mid(start + m_tone.size());
        if (!std::all_of(after.begin(), after.end(), [](qint16 sample) { return sample == 0; }))
            return QStringLiteral("sound after the tone");
        return QString();
    });
    QVERIFY(p.errors.isEmpty());
}

void tst_BassPlayback::lossy_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("fromMemory");
    QTest::newRow("mp3 file") << QStringLiteral("tone.mp3") << false;
    QTest::newRow("mp3 memory") << QStringLiteral("tone.mp3") << true;
    QTest::newRow("ogg vorbis file") << QStringLiteral("tone.ogg") << false;
    QTest::newRow("opus memory") << QStringLiteral("tone.opus") << true;
}

static QString checkTone(const QVector<qint16> &heard)
{
    const QPair<int, int> span = TestTone::soundSpan(heard);
    if (span.first < 0)
        return QStringLiteral("nothing was heard");
    const double duration = double(span.second - span.first) / MonitorRecorder::Rate;
    if (qAbs(duration - LossySeconds) > 0.05)
        return QStringLiteral("heard %1 s").arg(duration);
    const double frequency = TestTone::frequency(heard, span.first, span.second);
    if (qAbs(frequency - Frequency) > Frequency * 0.01)
        return QStringLiteral("heard %1 Hz").arg(frequency);
    return QString();
}

// Lossy sources: the right tone for the right time.
void tst_BassPlayback::lossy()
{
    if (!needsServer())
        QSKIP("PULSE_SERVER is not set: no sound server to play to (scripts/test starts one)");
    QFETCH(QString, file);
    QFETCH(bool, fromMemory);
    Player p;
    QVERIFY(p.player->initial());
    const QByteArray bytes = contents(file);
    listen([&] { return fromMemory ? p.player->playMemory(bytes) : p.player->playFile(path(file)); },
           LossySeconds + 0.4, checkTone);
    QVERIFY(p.errors.isEmpty());
}

void tst_BassPlayback::stopSilences()
{
    if (!needsServer())
        QSKIP("PULSE_SERVER is not set: no sound server to play to (scripts/test starts one)");
    const QVector<qint16> longTone = TestTone::generate(Frequency, 5);
    QVERIFY(TestTone::write(path("long.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, longTone));
    Player p;
    QVERIFY(p.player->initial());
    listen([&] {
        const QString result = p.player->playFile(path("long.wav"));
        QThread::msleep(500);
        p.player->stop();
        return result;
    }, 0.5, [](const QVector<qint16> &heard) {
        const QPair<int, int> span = TestTone::soundSpan(heard);
        if (span.first < 0)
            return QStringLiteral("nothing was heard");
        const double duration = double(span.second - span.first) / MonitorRecorder::Rate;
        return duration > 0.3 && duration < 0.8 ? QString() : QStringLiteral("heard %1 s").arg(duration);
    });
    QVERIFY(p.errors.isEmpty());
}

void tst_BassPlayback::addOn_data()
{
    QTest::addColumn<bool>("fromMemory");
    QTest::newRow("file") << false;
    QTest::newRow("memory") << true;
}

// M4A is only decoded by the FFmpeg add-on that initial() loads from the
// "bass" folder beside the program.
void tst_BassPlayback::addOn()
{
    if (!needsServer())
        QSKIP("PULSE_SERVER is not set: no sound server to play to (scripts/test starts one)");
    QFETCH(bool, fromMemory);
    const QByteArray bytes = contents("tone.m4a");
    const auto play = [&](BassPluginsPlayer *player) {
        return fromMemory ? player->playMemory(bytes) : player->playFile(path("tone.m4a"));
    };
    {
        Player p;
        QVERIFY(p.player->initial());
        QCOMPARE(play(p.player.get()), fromMemory ? memoryCreationFailure : fileCreationFailure);
    }
    installAddOn(true);
    Player p;
    QVERIFY(p.player->initial());
    QVERIFY(p.errors.isEmpty());
    listen([&] { return play(p.player.get()); }, LossySeconds + 0.4, checkTone);
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
    if (!needsServer())
        QSKIP("PULSE_SERVER is not set: no sound server to play to (scripts/test starts one)");
    QFETCH(QString, file);
    QFETCH(bool, fromMemory);
    installAddOn(true);
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
