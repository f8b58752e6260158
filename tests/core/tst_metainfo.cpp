#include "mappedlibraries.h"
#include "zqpobject.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

static const QString audioFixture = QStringLiteral(ZQP_FIXTURE_DIR "/zqp.adp.fixture.so");
static const QString ocrFixture = QStringLiteral(ZQP_FIXTURE_DIR "/zqp.ocr.fixture.so");

class tst_MetaInfo : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void missingDirectory();
    void listing_data();
    void listing();
    void loadsNoLibrary();

private:
    static void makeEntry(const QDir &dir, const QString &entry);
};

// entry is "<kind>:<name>"; kinds: audio, ocr (copies of the fixture plugins),
// text, empty, truncated (half a plugin), dir, link (symlink to the audio
// fixture), dangling (symlink to nothing).
void tst_MetaInfo::makeEntry(const QDir &dir, const QString &entry)
{
    const QString kind = entry.section(QLatin1Char(':'), 0, 0);
    const QString path = dir.filePath(entry.section(QLatin1Char(':'), 1));
    QFile file(path);
    if (kind == QLatin1String("audio")) {
        QVERIFY(QFile::copy(audioFixture, path));
    } else if (kind == QLatin1String("ocr")) {
        QVERIFY(QFile::copy(ocrFixture, path));
    } else if (kind == QLatin1String("text")) {
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("IID adp/Not a plugin\n");
    } else if (kind == QLatin1String("empty")) {
        QVERIFY(file.open(QIODevice::WriteOnly));
    } else if (kind == QLatin1String("truncated")) {
        QFile plugin(audioFixture);
        QVERIFY(plugin.open(QIODevice::ReadOnly));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(plugin.read(plugin.size() / 2));
    } else if (kind == QLatin1String("dir")) {
        QVERIFY(dir.mkdir(entry.section(QLatin1Char(':'), 1)));
    } else if (kind == QLatin1String("link")) {
        QVERIFY(QFile::link(audioFixture, path));
    } else if (kind == QLatin1String("dangling")) {
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("nowhere")), path));
    } else {
        QFAIL(qPrintable(QStringLiteral("unknown entry kind ") + kind));
    }
}

void tst_MetaInfo::missingDirectory()
{
    QTemporaryDir tmp;
    QVERIFY(ZQPObject::metaInfo(tmp.filePath(QStringLiteral("zqp")), QStringLiteral("*.so")).isEmpty());
}

void tst_MetaInfo::listing_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("expected"); // "<file name>=<IID>", in result order

    QTest::newRow("empty directory") << QStringList() << QStringLiteral("*.so") << QStringList();
    QTest::newRow("no match")
        << QStringList { QStringLiteral("audio:zqp.adp.fixture.dll") } << QStringLiteral("*.so")
        << QStringList();
    QTest::newRow("plugins in name order")
        << QStringList { QStringLiteral("ocr:zqp.ocr.fixture.so"), QStringLiteral("audio:zqp.adp.fixture.so") }
        << QStringLiteral("*.so")
        << QStringList { QStringLiteral("zqp.adp.fixture.so=adp/Fixture player"),
                         QStringLiteral("zqp.ocr.fixture.so=ocr/Fixture") };
    QTest::newRow("case-sensitive order")
        << QStringList { QStringLiteral("text:b.so"), QStringLiteral("text:C.so"), QStringLiteral("text:a.so"),
                         QStringLiteral("text:B.so") }
        << QStringLiteral("*.so")
        << QStringList { QStringLiteral("B.so="), QStringLiteral("C.so="), QStringLiteral("a.so="),
                         QStringLiteral("b.so=") };
    QTest::newRow("hostile files keep their place")
        << QStringList { QStringLiteral("text:c.so"), QStringLiteral("empty:b.so"), QStringLiteral("truncated:d.so"),
                         QStringLiteral("dir:e.so"), QStringLiteral("link:f.so"), QStringLiteral("dangling:g.so"),
                         QStringLiteral("audio:a.so"), QStringLiteral("text:.hidden.so") }
        << QStringLiteral("*.so")
        << QStringList { QStringLiteral("a.so=adp/Fixture player"), QStringLiteral("b.so="),
                         QStringLiteral("c.so="), QStringLiteral("d.so="), QStringLiteral("f.so=adp/Fixture player") };
    QTest::newRow("pattern is not split")
        << QStringList { QStringLiteral("text:a.so"), QStringLiteral("text:b.txt") }
        << QStringLiteral("*.so *.txt") << QStringList();
    QTest::newRow("pattern narrows")
        << QStringList { QStringLiteral("audio:zqp.adp.x.so"), QStringLiteral("ocr:zqp.ocr.x.so"),
                         QStringLiteral("text:readme.txt") }
        << QStringLiteral("zqp.ocr.*")
        << QStringList { QStringLiteral("zqp.ocr.x.so=ocr/Fixture") };
}

void tst_MetaInfo::listing()
{
    QFETCH(QStringList, entries);
    QFETCH(QString, filter);
    QFETCH(QStringList, expected);

    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QDir dir(tmp.path());
    for (const QString &entry : qAsConst(entries)) {
        makeEntry(dir, entry);
        if (QTest::currentTestFailed())
            return;
    }

    QStringList actual;
    const auto records = ZQPObject::metaInfo(tmp.path(), filter);
    for (const auto &record : records) {
        QCOMPARE(QFileInfo(record.second).absolutePath(), QFileInfo(tmp.path()).absoluteFilePath());
        QVERIFY(QFileInfo(record.second).isAbsolute());
        actual << QFileInfo(record.second).fileName() + QLatin1Char('=') + record.first;
    }
    QCOMPARE(actual, expected);
}

void tst_MetaInfo::loadsNoLibrary()
{
    QTemporaryDir tmp;
    const QDir dir(tmp.path());
    makeEntry(dir, QStringLiteral("audio:zqp.adp.fixture.so"));
    makeEntry(dir, QStringLiteral("ocr:zqp.ocr.fixture.so"));

    const auto records = ZQPObject::metaInfo(tmp.path(), QStringLiteral("*.so"));
    QCOMPARE(records.size(), 2);
    for (const auto &record : records)
        QVERIFY2(!isMapped(record.second), qPrintable(record.second));
}

QTEST_GUILESS_MAIN(tst_MetaInfo)
#include "tst_metainfo.moc"
