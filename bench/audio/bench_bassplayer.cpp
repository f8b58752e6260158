// The BASS player over the real engine against the system's own tools, in
// one run on the sound server that PULSE_SERVER names:
//   - playFile() return time for a 1 s and a 60 min WAV file;
//   - delay from the play call to the first sample at the sink, against
//     paplay of the same WAV, both seen on the sink's monitor;
//   - CPU time while playing a 60 s MP3, against mpg123.
// Prints medians and ratios.
#include "basspluginsplayer.h"
#include "median.h"
#include "monitorrecorder.h"
#include "testtone.h"

#include <sndfile.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

namespace {

// A long WAV written in pieces, so that memory stays small.
bool writeLongWav(const QString &path, int seconds)
{
    const QVector<qint16> piece = TestTone::generate(440, 1);
    SF_INFO info = {};
    info.samplerate = 44100;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE *file = sf_open(path.toUtf8().constData(), SFM_WRITE, &info);
    if (!file)
        return false;
    bool ok = true;
    for (int i = 0; i < seconds && ok; ++i)
        ok = sf_writef_short(file, piece.constData(), piece.size() / 2) == piece.size() / 2;
    return sf_close(file) == 0 && ok;
}

double processCpuSeconds()
{
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

double childrenCpuSeconds()
{
    rusage usage;
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec
        + usage.ru_stime.tv_usec / 1e6;
}

// Milliseconds from the start call to the arrival of the first sound from
// the sink's monitor (10 ms fragments); NaN when nothing was heard.
double firstSampleDelay(const std::string &sink, const std::function<void()> &start, double seconds)
{
    MonitorRecorder recorder;
    if (!recorder.start(sink)) {
        std::fprintf(stderr, "%s\n", recorder.errorString().c_str());
        return std::nan("");
    }
    QThread::msleep(300);
    const auto started = std::chrono::steady_clock::now();
    start();
    QThread::msleep(ulong(seconds * 1000));
    recorder.stop();
    const std::vector<std::int16_t> samples = recorder.samples();
    const auto first = std::find_if(samples.begin(), samples.end(), [](std::int16_t s) { return s != 0; });
    if (first == samples.end())
        return std::nan("");
    const size_t frame = size_t(first - samples.begin()) / MonitorRecorder::Channels;
    return std::chrono::duration<double, std::milli>(recorder.frameArrival(frame) - started).count();
}

bool runTool(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(180000) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (!qEnvironmentVariableIsSet("PULSE_SERVER")) {
        std::fprintf(stderr, "PULSE_SERVER is not set: start a sound server first (scripts/servers.sh)\n");
        return 1;
    }
    const std::string sink = qEnvironmentVariable("ZQP_NULL_SINK", QStringLiteral("testsink")).toStdString();
    QTemporaryDir dir;
    const QString shortWav = dir.filePath("short.wav");
    const QString longWav = dir.filePath("long.wav");
    const QString toneWav = dir.filePath("tone.wav");
    const QString mp3 = dir.filePath("minute.mp3");
    if (!writeLongWav(shortWav, 1) || !writeLongWav(longWav, 60 * 60)
        || !TestTone::write(toneWav, SF_FORMAT_WAV | SF_FORMAT_PCM_16, TestTone::generate(440, 0.3))
        || !TestTone::write(mp3, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, TestTone::generate(440, 60))) {
        std::fprintf(stderr, "cannot write the test files\n");
        return 1;
    }

    BassPluginsPlayer player;
    QObject::connect(&player, &ZQPObject::error, [](const QString &message) {
        std::fprintf(stderr, "%s\n", qPrintable(message));
    });
    if (!player.initial())
        return 1;

    // playFile() return time.
    std::vector<double> shortTimes, longTimes;
    for (int round = 0; round < 21; ++round) {
        for (auto [path, times] : {std::make_pair(&shortWav, &shortTimes), std::make_pair(&longWav, &longTimes)}) {
            QElapsedTimer timer;
            timer.start();
            const QString result = player.playFile(*path);
            times->push_back(timer.nsecsElapsed() / 1e6);
            player.stop();
            if (!result.isEmpty()) {
                std::fprintf(stderr, "%s\n", qPrintable(result));
                return 1;
            }
        }
    }
    const double shortMs = median(shortTimes);
    const double longMs = median(longTimes);
    std::printf("playFile() return, 1 s WAV:      %8.3f ms (median of %zu)\n", shortMs, shortTimes.size());
    std::printf("playFile() return, 60 min WAV:   %8.3f ms   ratio 60 min / 1 s: %.2f\n", longMs, longMs / shortMs);

    // Delay to the first sample at the sink.
    std::vector<double> ours, paplay;
    for (int round = 0; round < 7; ++round) {
        ours.push_back(firstSampleDelay(sink, [&] { player.playFile(toneWav); }, 0.6));
        player.stop();
        QProcess tool;
        paplay.push_back(firstSampleDelay(sink, [&] {
            tool.start(QStringLiteral("paplay"), {toneWav});
        }, 0.6));
        tool.waitForFinished(10000);
    }
    const auto unheard = [](double delay) { return std::isnan(delay); };
    if (std::any_of(ours.begin(), ours.end(), unheard) || std::any_of(paplay.begin(), paplay.end(), unheard)) {
        std::fprintf(stderr, "a tone was not heard at the sink\n");
        return 1;
    }
    const double oursDelay = median(ours);
    const double paplayDelay = median(paplay);
    std::printf("first sample at the sink, player: %7.1f ms (median of %zu)\n", oursDelay, ours.size());
    std::printf("first sample at the sink, paplay: %7.1f ms   ratio player / paplay: %.2f\n", paplayDelay,
                oursDelay / paplayDelay);

    // CPU time for a 60 s MP3: this process while it plays, and mpg123.
    double cpu = processCpuSeconds();
    player.playFile(mp3);
    QThread::msleep(61000);
    player.stop();
    const double oursCpu = processCpuSeconds() - cpu;
    cpu = childrenCpuSeconds();
    if (!runTool(QStringLiteral("mpg123"), {QStringLiteral("-q"), QStringLiteral("-o"), QStringLiteral("pulse"), mp3})) {
        std::fprintf(stderr, "mpg123 failed\n");
        return 1;
    }
    const double mpg123Cpu = childrenCpuSeconds() - cpu;
    std::printf("CPU time for a 60 s MP3, player: %7.3f s\n", oursCpu);
    std::printf("CPU time for a 60 s MP3, mpg123: %7.3f s   ratio player / mpg123: %.2f\n", mpg123Cpu,
                oursCpu / mpg123Cpu);
    return 0;
}
