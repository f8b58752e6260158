// Writes the seed corpus of every fuzz target into a folder of its own
// under the given one, from the hostile corpus of the robustness tests:
// every item that is a small regular file, of the kinds the target reads.

#include "hostilecorpus.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

namespace {

struct Target
{
    const char *name;
    HostileCorpus::Kinds kinds;
};

// Larger files are the corpus's huge ones, which no target reads whole.
constexpr qint64 maxSeedSize = 1024 * 1024;

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    if (app.arguments().size() != 2) {
        err << "usage: fuzzseeds <folder>\n";
        return 2;
    }
    const Target targets[] = {
        {"fuzz_imageheader", HostileCorpus::Image | HostileCorpus::Common},
        {"fuzz_addoncheck", HostileCorpus::AddOn},
        {"fuzz_options", HostileCorpus::Config},
        {"fuzz_utf8", HostileCorpus::Config | HostileCorpus::Common},
        {"fuzz_utf16", HostileCorpus::Config | HostileCorpus::Common},
        {"fuzz_audio", HostileCorpus::Audio | HostileCorpus::Common},
    };
    const HostileCorpus corpus(HostileCorpus::All, QByteArrayLiteral("Languages/English = 1\nLanguages/German=0\n"));
    if (!corpus.isValid()) {
        err << "fuzzseeds: " << corpus.errorString() << '\n';
        return 1;
    }
    const QDir folder(app.arguments().at(1));
    for (const Target &target : targets) {
        const QString name = QLatin1String(target.name);
        QDir(folder.filePath(name)).removeRecursively();
        if (!folder.mkpath(name)) {
            err << "fuzzseeds: cannot make " << folder.filePath(name) << '\n';
            return 1;
        }
        for (const HostileCorpus::Item &item : corpus.items(target.kinds)) {
            const QFileInfo info(item.path);
            if (!info.isFile() || info.size() > maxSeedSize)
                continue;
            const QString seed = folder.filePath(name + QLatin1Char('/') + QString(item.name).replace(QLatin1Char(' '), QLatin1Char('-')));
            if (!QFile::copy(item.path, seed)) {
                err << "fuzzseeds: cannot write " << seed << '\n';
                return 1;
            }
        }
    }
    return 0;
}
