#include "audiotest.h"

#include "monitorrecorder.h"
#include "testtone.h"
#include "zqpaudioplayer.h"
#include "zqpobject.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTest>

namespace AudioTest {

NoServer::NoServer()
    : m_saved(qgetenv("PULSE_SERVER")), m_wasSet(qEnvironmentVariableIsSet("PULSE_SERVER"))
{
    qputenv("PULSE_SERVER", "unix:/nonexistent/zqp-no-server");
}

NoServer::~NoServer()
{
    if (m_wasSet)
        qputenv("PULSE_SERVER", m_saved);
    else
        qunsetenv("PULSE_SERVER");
}

QString identityFault(ZQPObject *object, const char *className, const QString &name)
{
    if (!object)
        return QStringLiteral("the plugin did not load");
    if (qstrcmp(object->metaObject()->className(), className) != 0)
        return QStringLiteral("class %1").arg(QLatin1String(object->metaObject()->className()));
    if (!qobject_cast<ZQPAudioPlayer *>(object) || object->qt_metacast("zqp.OcrText"))
        return QStringLiteral("not exactly an audio player");
    if (object->type() != ZQPAudioPlayer::TypeCode || object->name() != name || !object->author().contains(QLatin1Char('@')))
        return QStringLiteral("type %1, name \"%2\", author \"%3\"")
                .arg(object->type(), 0, 16).arg(object->name(), object->author());
    return QString();
}

bool installBassAddOn(bool installed)
{
    QDir dir(QCoreApplication::applicationDirPath() + QLatin1String("/bass"));
    if (!dir.removeRecursively())
        return false;
    return !installed
        || (dir.mkpath(QStringLiteral("."))
            && QFile::copy(QStringLiteral(ZQP_STAGE_DIR "/bass/libbassffmpeg.so"),
                           dir.filePath(QStringLiteral("libbassffmpeg.so"))));
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeNoise(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray bytes(4096, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char((i * 7919 + 13) % 251);
    return file.write(bytes) == bytes.size();
}

QString listen(const std::function<QString()> &play, double seconds,
               const std::function<QString(const QVector<qint16> &)> &check)
{
    const int trials = 3;
    const std::string sink = qEnvironmentVariable("ZQP_NULL_SINK", QStringLiteral("testsink")).toStdString();
    QString failure;
    for (int trial = 1; trial <= trials; ++trial) {
        MonitorRecorder recorder;
        if (!recorder.start(sink))
            return QString::fromStdString(recorder.errorString());
        // The recording stream needs a moment before it carries samples.
        QTest::qWait(300);
        const QString answer = play();
        QTest::qWait(int(seconds * 1000));
        recorder.stop();
        if (!answer.isEmpty())
            return QStringLiteral("the play call answered \"%1\"").arg(answer);
        const std::vector<std::int16_t> samples = recorder.samples();
        failure = check(QVector<qint16>(samples.begin(), samples.end()));
        if (failure.isEmpty())
            return failure;
        qWarning("trial %d of %d: %s", trial, trials, qPrintable(failure));
    }
    return failure;
}

static double heardSeconds(const QPair<int, int> &span)
{
    return double(span.second - span.first) / MonitorRecorder::Rate;
}

QString toneFault(const QVector<qint16> &heard, double frequency, double seconds)
{
    const QPair<int, int> span = TestTone::soundSpan(heard);
    if (span.first < 0)
        return QStringLiteral("nothing was heard");
    if (qAbs(heardSeconds(span) - seconds) > 0.05)
        return QStringLiteral("heard %1 s").arg(heardSeconds(span));
    const double found = TestTone::frequency(heard, span.first, span.second);
    if (qAbs(found - frequency) > frequency * 0.01)
        return QStringLiteral("heard %1 Hz").arg(found);
    return QString();
}

QString stoppedFault(const QVector<qint16> &heard)
{
    const QPair<int, int> span = TestTone::soundSpan(heard);
    if (span.first < 0)
        return QStringLiteral("nothing was heard");
    const double seconds = heardSeconds(span);
    return seconds > 0.3 && seconds < 0.8 ? QString() : QStringLiteral("heard %1 s").arg(seconds);
}

} // namespace AudioTest
