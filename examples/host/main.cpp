// zqp-host <plugin folder> [<file>]
//
// A host in a few lines: lists the plugins of a folder, loads each in turn,
// initialises it, hands it the file (an audio player plays it for half a
// second, an OCR plugin recognises it) and unloads it again. Exits with 1
// when a plugin failed to load or to initialise, or reported an error.
#include "hostlog.h"

#include <zqpaudioplayer.h>
#include <zqpocrtext.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>

#include <cstdio>

namespace {

#ifdef Q_OS_WIN
const char pluginPattern[] = "*.dll";
#else
const char pluginPattern[] = "*.so";
#endif

// Runs an event loop until done() or the time is up. Plugins deliver their
// results and release their libraries only while one runs.
template<typename Done>
void waitFor(Done done, int milliseconds)
{
    const QDeadlineTimer deadline(milliseconds);
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (done() || deadline.hasExpired())
            loop.quit();
    });
    poll.start(20);
    loop.exec();
}

bool tryPlugin(ZQPObject *plugin, const QString &file)
{
    HostLog log(plugin);
    std::printf("%s: loaded, author %s, type 0x%08x\n", qPrintable(plugin->name()), qPrintable(plugin->author()),
                unsigned(plugin->type()));
    if (!plugin->initial()) {
        std::printf("%s: failed to initialise\n", qPrintable(plugin->name()));
        return false;
    }
    if (file.isEmpty())
        return !log.failed();

    if (ZQPAudioPlayer *player = qobject_cast<ZQPAudioPlayer *>(plugin)) {
        const QString failure = player->playFile(file);
        if (!failure.isEmpty()) {
            std::printf("%s: %s\n", qPrintable(plugin->name()), qPrintable(failure));
            return false;
        }
        std::printf("%s: playing %s\n", qPrintable(plugin->name()), qPrintable(file));
        waitFor([] { return false; }, 500);
        player->stop();
    } else if (ZQPOcrText *ocr = qobject_cast<ZQPOcrText *>(plugin)) {
        ocr->ocrFile(QFileInfo(file).absoluteFilePath());
        waitFor([&] { return log.textArrived() || log.failed(); }, 10000);
        ocr->stop();
    }
    return !log.failed();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() < 2 || arguments.size() > 3) {
        std::fprintf(stderr, "usage: zqp-host <plugin folder> [<file>]\n");
        return 2;
    }
    const QString file = arguments.value(2);

    bool ok = true;
    const auto plugins = ZQPObject::metaInfo(arguments.at(1), QLatin1String(pluginPattern));
    for (const auto &plugin : plugins) {
        ZQPObject *object = ZQPObject::loadObject(plugin.second, nullptr);
        if (!object) {
            std::printf("%s: failed to load\n", qPrintable(plugin.second));
            ok = false;
            continue;
        }
        std::printf("%s: %s\n", qPrintable(plugin.first), qPrintable(QFileInfo(plugin.second).fileName()));
        ok = tryPlugin(object, file) && ok;
        // The library, and the object with it, goes once the event loop runs.
        const QPointer<ZQPObject> held(object);
        object->unload();
        waitFor([&] { return held.isNull(); }, 5000);
        std::printf("%s\n", held.isNull() ? "unloaded" : "still loaded");
        ok = held.isNull() && ok;
    }
    std::printf("%d plugins\n", int(plugins.size()));
    return ok ? 0 : 1;
}
