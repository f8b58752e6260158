#include "audiotest.h"
#include "hostilecorpus.h"
#include "messageformats.h"
#include "processresources.h"
#include "watchdog.h"
#include "zqpaudioplayer.h"
#include "zqpobject.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QThread>
#include <QtTest>

#include <functional>
#include <memory>

// Every hostile file through both players over their real engines, from the
// file and from memory: each call returns at once with at most one message,
// the players stay usable, and nothing crashes (also under the sanitizers).
// Cut and broken add-ons beside the BASS player are refused one by one.
class tst_AudioRobustness : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void cycles_data();
    void cycles();
    void play_data();
    void play();
    void addOn_data();
    void addOn();

private:
    QString addOnDir() const { return QCoreApplication::applicationDirPath() + QDir::separator() + QLatin1String("bass"); }
    QString tone(const char *suffix) const { return m_corpus->path() + QStringLiteral("/sound/tone.") + QLatin1String(suffix); }

    std::unique_ptr<HostileCorpus> m_corpus;
};

namespace {

// How long a play call may take before the test counts it as a hang.
const std::chrono::seconds CallLimit(5);

const QString BassFileRefused = QStringLiteral("Failed to create sound. File type may not be supported by BASS.");
const QString BassMemoryRefused =
    QStringLiteral("Failed to create sound. The sound type may not be supported by BASS.");
const QString FmodNotAFile = fmodError(19, QStringLiteral("Error loading file. "));
const QString FmodFormat = fmodError(25, QStringLiteral("Unsupported file or audio format. "));

// A player plugin loaded from its staged file, as a host loads it, with a
// spy on its error signal; unloaded again at the end.
struct LoadedPlayer
{
    explicit LoadedPlayer(bool bass)
        : object(ZQPObject::loadObject(bass ? QStringLiteral(ZQP_STAGE_DIR "/zqp/zqp.adp.bass.so")
                                            : QStringLiteral(ZQP_STAGE_DIR "/zqp/zqp.adp.fmodex.so"),
                                       nullptr)),
          player(qobject_cast<ZQPAudioPlayer *>(object)),
          errors(object, SIGNAL(error(QString)))
    {
    }

    ~LoadedPlayer()
    {
        if (!object)
            return;
        object->unload();
        while (object) {
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }

    // The messages of one play call: its returned text and what it emitted.
    QStringList play(const std::function<QString()> &call)
    {
        errors.clear();
        const QString returned = call();
        QStringList messages = errorsOf(errors);
        if (!returned.isEmpty())
            messages.prepend(returned);
        return messages;
    }

    QPointer<ZQPObject> object;
    ZQPAudioPlayer *player;
    QSignalSpy errors;
};

bool isRegularFile(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() && !info.isSymLink();
}

} // namespace

void tst_AudioRobustness::initTestCase()
{
    SKIP_WITHOUT_SERVER();
    m_corpus.reset(new HostileCorpus);
    QVERIFY2(m_corpus->isValid(), qPrintable(m_corpus->errorString()));
    // The BASS player decodes with its FFmpeg add-on too, as installed.
    QDir(addOnDir()).removeRecursively();
    QVERIFY(QDir().mkpath(addOnDir()));
    QVERIFY(QFile::copy(QStringLiteral(ZQP_STAGE_DIR "/bass/libbassffmpeg.so"), addOnDir() + "/libbassffmpeg.so"));
}

void tst_AudioRobustness::cleanupTestCase()
{
    QDir(addOnDir()).removeRecursively();
}

void tst_AudioRobustness::cycles_data()
{
    QTest::addColumn<bool>("bass");
    QTest::addColumn<QString>("resident");
    QTest::newRow("bass") << true << QString(addOnDir() + QStringLiteral("/libbassffmpeg.so"));
    QTest::newRow("fmodex") << false << QStringLiteral(ZQP_STAGE_DIR "/libfmodex.so");
}

// A host that switches plugins loads and unloads a player again and again.
// The decoding libraries stay mapped after the first unload, so that later
// cycles neither map them again nor leave anything more behind.
void tst_AudioRobustness::cycles()
{
    QFETCH(bool, bass);
    QFETCH(QString, resident);
    QSet<QByteArray> afterFirst;
    for (int cycle = 0; cycle < 10; ++cycle) {
        {
            LoadedPlayer p(bass);
            QVERIFY(p.player);
            QVERIFY(p.player->initial());
        }
        if (cycle == 0) {
            afterFirst = ProcessResources::now().mappedFiles;
            QVERIFY2(afterFirst.contains(QFileInfo(resident).canonicalFilePath().toLocal8Bit()), qPrintable(resident));
        }
    }
    QCOMPARE(ProcessResources::now().mappedFiles, afterFirst);
}

void tst_AudioRobustness::play_data()
{
    QTest::addColumn<bool>("bass");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("memory");
    // The one message the call must give; empty when the data may play or
    // be refused (at most one message then).
    QTest::addColumn<QString>("expected");

    // Every item, whatever it was made for: a user may open any file.
    for (const HostileCorpus::Item &item : m_corpus->items()) {
        const bool notAFile = !item.path.isEmpty() && !QFileInfo(item.path).isFile();
        const bool notSound = item.kind != HostileCorpus::Audio || item.name.endsWith(QLatin1String("in its header"));
        // A memory copy is made of small regular files only.
        const bool inMemory = isRegularFile(item.path) && QFileInfo(item.path).size() < 64 * 1024 * 1024;
        for (const bool bass : {true, false}) {
            const char *player = bass ? "bass" : "fmodex";
            QString fileExpected;
            if (notAFile)
                fileExpected = bass ? BassFileRefused : FmodNotAFile;
            else if (notSound)
                fileExpected = bass ? BassFileRefused : FmodFormat;
            QTest::addRow("%s file: %s", player, qPrintable(item.name)) << bass << item.path << false << fileExpected;
            if (inMemory)
                QTest::addRow("%s memory: %s", player, qPrintable(item.name))
                        << bass << item.path << true
                        << (notSound ? (bass ? BassMemoryRefused : FmodFormat) : QString());
        }
    }
}

void tst_AudioRobustness::play()
{
    QFETCH(bool, bass);
    QFETCH(QString, path);
    QFETCH(bool, memory);
    QFETCH(QString, expected);

    LoadedPlayer p(bass);
    QVERIFY(p.player);
    QVERIFY(p.player->initial());
    QByteArray bytes;
    if (memory) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        bytes = file.readAll();
    }

    QStringList messages;
    {
        const Watchdog watchdog(QTest::currentDataTag(), CallLimit);
        messages = p.play([&] { return memory ? p.player->playMemory(bytes) : p.player->playFile(path); });
    }
    if (!expected.isEmpty()) {
        QCOMPARE(messages, QStringList(expected));
    } else {
        QVERIFY2(messages.size() <= 1, qPrintable(messages.join(QLatin1Char('\n'))));
        if (!messages.isEmpty())
            QVERIFY2(messages.first().startsWith(bass ? "Failed to create sound." : "FMOD ERR: "),
                     qPrintable(messages.first()));
    }

    // Whatever did start decodes on the engine's thread for a while, then
    // the player is stopped and still plays a good file.
    QThread::msleep(100);
    {
        const Watchdog watchdog(std::string(QTest::currentDataTag()) + ", then a good file", CallLimit);
        p.player->stop();
        QCOMPARE(p.play([&] { return p.player->playFile(tone("wav")); }), QStringList());
        p.player->stop();
    }
}

void tst_AudioRobustness::addOn_data()
{
    QTest::addColumn<QString>("path");
    for (const HostileCorpus::Item &item : m_corpus->items(HostileCorpus::AddOn))
        QTest::newRow(qPrintable(item.name)) << item.path;
}

// A broken add-on beside a good one: one "Loading … failed!" for it,
// initial() succeeds, and the good add-on still decodes (M4A is its own).
void tst_AudioRobustness::addOn()
{
    QFETCH(QString, path);
    const QString installed = addOnDir() + QLatin1Char('/') + QFileInfo(path).fileName();
    QVERIFY(QFile::copy(path, installed));

    QStringList messages;
    {
        LoadedPlayer p(true);
        QVERIFY(p.player);
        {
            const Watchdog watchdog(QTest::currentDataTag(), CallLimit);
            QVERIFY(p.player->initial());
        }
        messages = errorsOf(p.errors);
        if (messages.size() == 1)
            QCOMPARE(p.play([&] { return p.player->playFile(tone("m4a")); }), QStringList());
        p.player->stop();
    }
    QFile::remove(installed);
    QCOMPARE(messages, QStringList(bassError(QStringLiteral("Loading %1 failed!").arg(installed), 11)));
}

QTEST_GUILESS_MAIN(tst_AudioRobustness)
#include "tst_audiorobustness.moc"
