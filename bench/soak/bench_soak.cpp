// Load, initial() and unload cycles of each plugin through ZQCore, as a host
// that switches plugins all day would run them:
//   - milliseconds per cycle, against the engine-less fixture plugin in the
//     same run;
//   - resident memory, mapped files, threads and open descriptors before the
//     cycles (after one warm-up cycle) and after them.
// Runs in the staged installation's folder, so that the OCR plugin finds its
// engine and options as plugin-tester does. The audio players need the sound
// server that PULSE_SERVER names.
#include "processresources.h"
#include "zqpobject.h"
#include "zqpocrtext.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPointer>
#include <QProcess>

#include <cstdio>

namespace {

// One cycle; false if the plugin did not load or initialise.
bool cycle(const QString &path)
{
    ZQPObject *object = ZQPObject::loadObject(path, nullptr);
    if (!object)
        return false;
    if (auto *ocr = qobject_cast<ZQPOcrText *>(object))
        ocr->setDataPath(QStringLiteral("./nsocr/libNSOCR.so"));
    const bool initialised = object->initial();
    QPointer<ZQPObject> guard(object);
    object->unload();
    while (guard) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return initialised;
}

} // namespace

// Each plugin cycles in a process of its own, so that what one leaves mapped
// cannot make another look cheap. Called with a plugin's index, a process
// prints that plugin's row; otherwise it runs one such process per plugin.
int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const int cycles = arguments.value(1, QStringLiteral("1000")).toInt();

    struct Plugin
    {
        const char *name;
        QString path;
    };
    const Plugin plugins[] = {
        {"fixture (baseline)", QStringLiteral(ZQP_FIXTURE_DIR "/zqp.adp.fixture.so")},
        {"zqp.adp.bass", QStringLiteral(ZQP_STAGE_DIR "/zqp/zqp.adp.bass.so")},
        {"zqp.adp.fmodex", QStringLiteral(ZQP_STAGE_DIR "/zqp/zqp.adp.fmodex.so")},
        {"zqp.ocr.nicomsoft", QStringLiteral(ZQP_STAGE_DIR "/zqp/zqp.ocr.nicomsoft.so")},
    };

    if (arguments.size() > 2) {
        const Plugin &plugin = plugins[arguments.at(2).toInt()];
        QDir::setCurrent(QStringLiteral(ZQP_STAGE_DIR));
        if (!cycle(plugin.path)) {
            std::printf("%s failed to load or initialise\n", plugin.name);
            return 1;
        }
        const ProcessResources start = ProcessResources::now();
        QElapsedTimer timer;
        timer.start();
        int failed = 0;
        for (int i = 0; i < cycles; ++i)
            failed += cycle(plugin.path) ? 0 : 1;
        const double ms = timer.nsecsElapsed() / 1e6 / cycles;
        const ProcessResources end = ProcessResources::now();
        if (failed > 0) {
            std::printf("%s failed to load or initialise in %d of %d cycles\n", plugin.name, failed, cycles);
            return 1;
        }
        std::printf("%s|%.3f|%lld|%lld|%d|%d|%d|%d|%d|%d\n", plugin.name, ms, start.residentKiB, end.residentKiB,
                    start.mappedFiles.size(), end.mappedFiles.size(), start.threads, end.threads, start.descriptors,
                    end.descriptors);
        return 0;
    }

    std::printf("%d cycles of load, initial(), unload per plugin, each in a process of its own\n\n", cycles);
    std::printf("| Plugin | ms/cycle | Ratio to baseline | RSS start → end (KiB) | Growth (KiB) | Mapped files | "
                "Threads | Descriptors |\n|---|---|---|---|---|---|---|---|\n");
    double baseline = 0;
    int failures = 0;
    for (int i = 0; i < int(sizeof(plugins) / sizeof(plugins[0])); ++i) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(), {QString::number(cycles), QString::number(i)});
        child.waitForFinished(-1);
        const QByteArray row = child.readAllStandardOutput().trimmed();
        const QList<QByteArray> f = row.split('|');
        if (child.exitCode() != 0 || f.size() != 10) {
            std::printf("| %s | %s | | | | | | |\n", plugins[i].name, row.constData());
            ++failures;
            continue;
        }
        const double ms = f[1].toDouble();
        if (baseline == 0)
            baseline = ms;
        std::printf("| %s | %.2f | %.1f | %s → %s | %+lld | %s → %s | %s → %s | %s → %s |\n", f[0].constData(), ms,
                    ms / baseline, f[2].constData(), f[3].constData(), f[3].toLongLong() - f[2].toLongLong(),
                    f[4].constData(), f[5].constData(), f[6].constData(), f[7].constData(), f[8].constData(),
                    f[9].constData());
        std::fflush(stdout);
    }
    return failures;
}
