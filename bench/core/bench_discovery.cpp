// Discovery of 200 plugin files against a bare QPluginLoader::metaData()
// loop over the same files, measured alternately in one run; prints the
// median time of each and their ratio.
#include "zqpobject.h"
#include "median.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QPluginLoader>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int fileCount = 200;
    const int rounds = 31;

    QTemporaryDir tmp;
    const QString source = QStringLiteral(ZQP_FIXTURE_DIR "/zqp.adp.fixture.so");
    for (int i = 0; i < fileCount; ++i) {
        const QString name = QStringLiteral("zqp.adp.bench%1.so").arg(i, 3, 10, QLatin1Char('0'));
        if (!QFile::copy(source, tmp.filePath(name))) {
            std::fprintf(stderr, "cannot copy %s\n", qPrintable(source));
            return 1;
        }
    }
    const QDir dir(tmp.path());
    QStringList paths;
    for (const QString &name : dir.entryList(QStringList(QStringLiteral("*.so")), QDir::Files, QDir::Name))
        paths << dir.absoluteFilePath(name);

    std::vector<double> discovery, bare;
    int found = 0;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        found += ZQPObject::metaInfo(tmp.path(), QStringLiteral("*.so")).size();
        discovery.push_back(timer.nsecsElapsed() / 1e6);

        timer.start();
        for (const QString &path : qAsConst(paths))
            found += QPluginLoader(path).metaData().value(QLatin1String("IID")).toString().isEmpty() ? 0 : 1;
        bare.push_back(timer.nsecsElapsed() / 1e6);
    }
    if (found != 2 * fileCount * rounds) {
        std::fprintf(stderr, "expected %d records, found %d\n", 2 * fileCount * rounds, found);
        return 1;
    }

    const double d = median(discovery);
    const double b = median(bare);
    std::printf("discovery of %d plugin files: %.2f ms (median of %d)\n", fileCount, d, rounds);
    std::printf("bare metaData() loop:         %.2f ms\n", b);
    std::printf("ratio discovery / bare:       %.3f\n", d / b);
    return 0;
}
