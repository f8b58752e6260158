#include "audiotest.h"
#include "testtone.h"

#include "zqaudiodecoderlist.h"
#include "zqaudiodevice.h"
#include "zqaudioffmpeg.h"
#include "zqaudiosndfile.h"
#include "zqaudiosource.h"
#include "zqaudiostream.h"

#include <sndfile.h>

#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

using namespace zqaudio;

Q_DECLARE_METATYPE(zqaudio::DecoderFactory)

// The audio core shared by the engines: sources, decoders, the decoder
// list, and streams on a real sound server.
class tst_AudioCore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void memorySource_data();
    void memorySource();
    void decode_data();
    void decode();
    void decoderList();
    void protocolLikeName();
    void playOut();
    void stopAndResume();
    void rapidReplace();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QByteArray contents(const QString &name) const { return AudioTest::readFile(path(name)); }
    std::shared_ptr<const Source> fileSource(const QString &name) const
    {
        return Source::fromPath(path(name).toStdString());
    }
    static QVector<qint16> readAll(Decoder &decoder);

    QTemporaryDir m_dir;
    QVector<qint16> m_tone;
    DecoderList m_sndfile;
};

static const double Frequency = 440;

// Reads in odd-sized pieces, so that buffering across calls is exercised.
QVector<qint16> tst_AudioCore::readAll(Decoder &decoder)
{
    QVector<qint16> all;
    QVector<qint16> piece(333 * decoder.channels());
    long frames;
    while ((frames = decoder.read(piece.data(), 333)) > 0)
        all += piece.mid(0, int(frames) * decoder.channels());
    return all;
}

void tst_AudioCore::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_tone = TestTone::generate(Frequency, 0.5);
    QVERIFY(TestTone::write(path("tone.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, m_tone));
    QVERIFY(TestTone::write(path("tone.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, m_tone));
    QVERIFY2(TestTone::encodeAac(path("tone.wav"), path("tone.m4a")), "the ffmpeg program cannot make an M4A file");
    m_sndfile.add(openSndfileDecoder);
}

void tst_AudioCore::memorySource_data()
{
    QTest::addColumn<bool>("copy");
    QTest::newRow("borrowed") << false;
    QTest::newRow("copied") << true;
}

// A borrowed block is read in place; a copied one no longer depends on the
// caller's bytes.
void tst_AudioCore::memorySource()
{
    QFETCH(bool, copy);
    QByteArray bytes = contents("tone.wav");
    const std::shared_ptr<const Source> source = Source::fromMemory(
        bytes.constData(), size_t(bytes.size()), copy ? Source::Memory::Copy : Source::Memory::Borrow);
    QVERIFY(source->isMemory());
    QCOMPARE(source->size(), size_t(bytes.size()));
    QCOMPARE(source->data() == reinterpret_cast<const unsigned char *>(bytes.constData()), !copy);
    std::unique_ptr<Decoder> decoder = openSndfileDecoder(source);
    QVERIFY(decoder);
    if (copy) {
        bytes.fill('\0');
        QCOMPARE(readAll(*decoder), m_tone);
    }
}

void tst_AudioCore::decode_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("fromMemory");
    QTest::addColumn<DecoderFactory>("factory");
    const DecoderFactory sndfile = openSndfileDecoder;
    const DecoderFactory ffmpeg = openFfmpegDecoder;
    QTest::newRow("libsndfile wav file") << QStringLiteral("tone.wav") << false << sndfile;
    QTest::newRow("libsndfile flac memory") << QStringLiteral("tone.flac") << true << sndfile;
    QTest::newRow("ffmpeg wav file") << QStringLiteral("tone.wav") << false << ffmpeg;
    QTest::newRow("ffmpeg flac memory") << QStringLiteral("tone.flac") << true << ffmpeg;
}

// Lossless data decodes to the very samples written, and again after a
// rewind.
void tst_AudioCore::decode()
{
    QFETCH(QString, file);
    QFETCH(bool, fromMemory);
    QFETCH(DecoderFactory, factory);
    const QByteArray bytes = contents(file);
    const std::shared_ptr<const Source> source = fromMemory
        ? Source::fromMemory(bytes.constData(), size_t(bytes.size()), Source::Memory::Borrow)
        : fileSource(file);
    std::unique_ptr<Decoder> decoder = factory(source);
    QVERIFY(decoder);
    QCOMPARE(decoder->sampleRate(), 44100);
    QCOMPARE(decoder->channels(), 2);
    QCOMPARE(readAll(*decoder), m_tone);
    QVERIFY(decoder->rewind());
    QCOMPARE(readAll(*decoder), m_tone);
}

// Factories are tried in order until one recognises the data; a removed one
// is no longer asked; an unreadable file is told apart from an unknown
// format.
void tst_AudioCore::decoderList()
{
    QStringList asked;
    const auto named = [&asked](const QString &name, DecoderFactory factory) {
        return DecoderFactory([&asked, name, factory](const std::shared_ptr<const Source> &source) {
            asked << name;
            return factory(source);
        });
    };
    DecoderList list;
    const DecoderList::Id first = list.add(named(QStringLiteral("ffmpeg"), openFfmpegDecoder));
    list.add(named(QStringLiteral("sndfile"), openSndfileDecoder));
    QVERIFY(first != 0);

    Error error = Error::None;
    QVERIFY(list.open(fileSource("tone.wav"), &error));
    QCOMPARE(error, Error::None);
    QCOMPARE(asked, QStringList({QStringLiteral("ffmpeg")}));

    asked.clear();
    list.remove(first);
    QVERIFY(!list.open(fileSource("tone.m4a"), &error));
    QCOMPARE(error, Error::Format);
    QCOMPARE(asked, QStringList({QStringLiteral("sndfile")}));

    asked.clear();
    QVERIFY(!list.open(fileSource("missing.wav"), &error));
    QCOMPARE(error, Error::FileOpen);
    QVERIFY(asked.isEmpty());
}

// A relative path that reads like one of FFmpeg's protocols is the file of
// that name, not standard input.
void tst_AudioCore::protocolLikeName()
{
    QVERIFY(QFile::copy(path("tone.wav"), path("pipe:0")));
    const QString home = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir.path()));
    std::unique_ptr<Decoder> decoder = openFfmpegDecoder(Source::fromPath("pipe:0"));
    QDir::setCurrent(home);
    QVERIFY(decoder);
    QCOMPARE(readAll(*decoder), m_tone);
}

// A stream plays out by itself and can then be played again.
void tst_AudioCore::playOut()
{
    SKIP_WITHOUT_SERVER();
    std::unique_ptr<Device> device = Device::open("tst_audiocore");
    QVERIFY(device);
    QVERIFY(device->isConnected());
    std::unique_ptr<Stream> stream = Stream::create(*device, m_sndfile, fileSource("tone.wav"));
    QVERIFY(stream);
    QVERIFY(!stream->isPlaying());
    for (int round = 0; round < 2; ++round) {
        Error error = Error::Output;
        QVERIFY(stream->play(false, &error));
        QCOMPARE(error, Error::None);
        QVERIFY(stream->isPlaying());
        QTRY_VERIFY_WITH_TIMEOUT(!stream->isPlaying(), 3000);
    }
}

// stop() silences at once and keeps the position; a stream destroyed while
// it plays takes its thread with it.
void tst_AudioCore::stopAndResume()
{
    SKIP_WITHOUT_SERVER();
    QVERIFY(TestTone::write(path("long.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, TestTone::generate(Frequency, 30)));
    std::unique_ptr<Device> device = Device::open("tst_audiocore");
    QVERIFY(device);
    std::unique_ptr<Stream> stream = Stream::create(*device, m_sndfile, fileSource("long.wav"));
    QVERIFY(stream);
    QVERIFY(stream->play(false));
    QThread::msleep(200);
    stream->stop();
    QVERIFY(!stream->isPlaying());
    stream->stop();
    QVERIFY(stream->play(false));
    QVERIFY(stream->play(false));
    QVERIFY(stream->isPlaying());
    QVERIFY(stream->play(true));
    QThread::msleep(100);
    QVERIFY(stream->isPlaying());
    stream.reset();
}

// Streams created, started and destroyed in quick succession, from memory
// that goes away with them, at every point of their start-up.
void tst_AudioCore::rapidReplace()
{
    SKIP_WITHOUT_SERVER();
    std::unique_ptr<Device> device = Device::open("tst_audiocore");
    QVERIFY(device);
    for (int round = 0; round < 60; ++round) {
        QByteArray bytes = contents("tone.wav");
        std::unique_ptr<Stream> stream = Stream::create(
            *device, m_sndfile, Source::fromMemory(bytes.constData(), size_t(bytes.size()), Source::Memory::Borrow));
        QVERIFY(stream);
        QVERIFY(stream->play(round % 2 == 0));
        QThread::usleep(ulong(round % 6) * 1000);
        if (round % 3 == 0)
            stream->stop();
        stream.reset();
        bytes.fill('\0');
    }
    QVERIFY(device->isConnected());
}

QTEST_GUILESS_MAIN(tst_AudioCore)
#include "tst_audiocore.moc"
