#include "audiotest.h"
#include "testtone.h"

#include <bass.h>

#include <sndfile.h>

#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <thread>

// libbass itself: its error codes, handles and add-on loading.
class tst_BassEngine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void beforeInit();
    void initialisation();
    void createFailures_data();
    void createFailures();
    void handles();
    void errorCodePerThread();
    void addOns();
    void addOnFreedWhilePlaying();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    QByteArray m_wav;
    const QByteArray m_addOn = QByteArrayLiteral(ZQP_STAGE_DIR "/bass/libbassffmpeg.so");
};

void tst_BassEngine::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(TestTone::write(path("tone.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, TestTone::generate(440, 0.5)));
    QVERIFY2(TestTone::encodeAac(path("tone.wav"), path("tone.m4a")), "the ffmpeg program cannot make an M4A file");
    m_wav = AudioTest::readFile(path("tone.wav"));
    QVERIFY(!m_wav.isEmpty());
}

void tst_BassEngine::cleanup()
{
    BASS_Free();
    BASS_PluginFree(0);
}

void tst_BassEngine::beforeInit()
{
    QCOMPARE(BASS_StreamCreateFile(FALSE, path("tone.wav").toUtf8().constData(), 0, 0, 0), HSTREAM(0));
    QCOMPARE(BASS_ErrorGetCode(), BASS_ERROR_INIT);
    QVERIFY(!BASS_Free());
    QCOMPARE(BASS_ErrorGetCode(), BASS_ERROR_INIT);
    QVERIFY(!BASS_ChannelPlay(1, FALSE));
    QCOMPARE(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
}

void tst_BassEngine::initialisation()
{
    {
        const AudioTest::NoServer serverless;
        QVERIFY(!BASS_Init(-1, 44100, 0, nullptr, nullptr));
        QCOMPARE(BASS_ErrorGetCode(), BASS_ERROR_DRIVER);
    }
    QVERIFY(!BASS_Init(0, 44100, 0, nullptr, nullptr));
    QCOMPARE(BASS_ErrorGetCode(), BASS_ERROR_DEVICE);
    SKIP_WITHOUT_SERVER();
    QVERIFY(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    QCOMPARE(BASS_ErrorGetCode(), BASS_OK);
    QVERIFY(!BASS_Init(-1, 44100, 0, nullptr, nullptr));
    QCOMPARE(BASS_ErrorGetCode(), BASS_ERROR_ALREADY);
    QVERIFY(BASS_Free());
    QVERIFY(BASS_Init(1, 48000, 0, nullptr, nullptr));
}

void tst_BassEngine::createFailures_data()
{
    QTest::addColumn<bool>("mem");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<quint64>("offset");
    QTest::addColumn<quint64>("length");
    QTest::addColumn<int>("code");
    QTest::newRow("missing file") << false << path("missing.wav").toUtf8() << quint64(0) << quint64(0)
                                  << BASS_ERROR_FILEOPEN;
    QTest::newRow("file offset") << false << path("tone.wav").toUtf8() << quint64(44) << quint64(0)
                                 << BASS_ERROR_ILLPARAM;
    QTest::newRow("without add-on") << false << path("tone.m4a").toUtf8() << quint64(0) << quint64(0)
                                    << BASS_ERROR_FILEFORM;
    QTest::newRow("no bytes") << true << m_wav << quint64(0) << quint64(0) << BASS_ERROR_ILLPARAM;
    QTest::newRow("header skipped") << true << m_wav << quint64(44) << quint64(m_wav.size() - 44)
                                    << BASS_ERROR_FILEFORM;
}

void tst_BassEngine::createFailures()
{
    SKIP_WITHOUT_SERVER();
    QFETCH(bool, mem);
    QFETCH(QByteArray, file);
    QFETCH(quint64, offset);
    QFETCH(quint64, length);
    QFETCH(int, code);
    QVERIFY(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    QCOMPARE(BASS_StreamCreateFile(mem, file.constData(), offset, length, 0), HSTREAM(0));
    QCOMPARE(BASS_ErrorGetCode(), code);
}

// Handles are distinct and die with their stream or with BASS_Free.
void tst_BassEngine::handles()
{
    SKIP_WITHOUT_SERVER();
    QVERIFY(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    const QString file = path("tone.wav");
    const HSTREAM fromFile = BASS_StreamCreateFile(FALSE, file.utf16(), 0, 0, BASS_UNICODE);
    const HSTREAM fromMemory = BASS_StreamCreateFile(TRUE, m_wav.constData(), 0, QWORD(m_wav.size()), 0);
    QVERIFY(fromFile && fromMemory && fromFile != fromMemory);
    QVERIFY(BASS_ChannelPlay(fromFile, FALSE));
    QVERIFY(BASS_ChannelPlay(fromMemory, TRUE));
    QVERIFY(BASS_StreamFree(fromFile));
    QVERIFY(!BASS_StreamFree(fromFile));
    QCOMPARE(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    QVERIFY(!BASS_ChannelPlay(fromFile, FALSE));
    QCOMPARE(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    QVERIFY(BASS_Free());
    QVERIFY(!BASS_StreamFree(fromMemory));
}

void tst_BassEngine::errorCodePerThread()
{
    QVERIFY(!BASS_Free());
    int otherCode = -2;
    std::thread([&otherCode] {
        BASS_GetVersion();
        otherCode = BASS_ErrorGetCode();
        BASS_PluginFree(0);
    }).join();
    QCOMPARE(otherCode, BASS_OK);
    QCOMPARE(BASS_ErrorGetCode(), BASS_ERROR_INIT);
}

void tst_BassEngine::addOns()
{
    QVERIFY(!BASS_PluginLoad(path("tone.wav").toUtf8().constData(), 0));
    QCOMPARE(BASS_ErrorGetCode(), BASS_ERROR_ADDON);
    // A shared library that is no add-on of ours.
    QVERIFY(!BASS_PluginLoad(ZQP_STAGE_DIR "/libbass.so", 0));
    QCOMPARE(BASS_ErrorGetCode(), BASS_ERROR_ADDON);
    const HPLUGIN addOn = BASS_PluginLoad(m_addOn.constData(), 0);
    QVERIFY(addOn);
    QVERIFY(!BASS_PluginLoad(m_addOn.constData(), 0));
    QCOMPARE(BASS_ErrorGetCode(), BASS_ERROR_ALREADY);
    QVERIFY(BASS_PluginFree(addOn));
    QVERIFY(!BASS_PluginFree(addOn));
    QCOMPARE(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    const QString unicodePath = QString::fromUtf8(m_addOn);
    QVERIFY(BASS_PluginLoad(reinterpret_cast<const char *>(unicodePath.utf16()), BASS_UNICODE));
}

// A stream decoded by an add-on plays on after the add-on is freed; the
// library is unmapped only with the stream.
void tst_BassEngine::addOnFreedWhilePlaying()
{
    SKIP_WITHOUT_SERVER();
    QVERIFY(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    QVERIFY(BASS_PluginLoad(m_addOn.constData(), 0));
    const HSTREAM stream = BASS_StreamCreateFile(FALSE, path("tone.m4a").toUtf8().constData(), 0, 0, 0);
    QVERIFY(stream);
    QVERIFY(BASS_ChannelPlay(stream, FALSE));
    QVERIFY(BASS_PluginFree(0));
    QCOMPARE(BASS_StreamCreateFile(FALSE, path("tone.m4a").toUtf8().constData(), 0, 0, 0), HSTREAM(0));
    QCOMPARE(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);
    QThread::msleep(200);
    QVERIFY(BASS_StreamFree(stream));
}

QTEST_GUILESS_MAIN(tst_BassEngine)
#include "tst_bassengine.moc"
