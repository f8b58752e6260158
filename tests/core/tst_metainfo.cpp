#include "mappedlibraries.h"
#include "pluginfolder.h"
#include "zqpobject.h"

#include <QTemporaryDir>
#include <QtTest>

class tst_MetaInfo : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void missingDirectory();
    void listing_data();
    void listing();
};

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
        << QStringList { QStringLiteral("zqp.adp.fixture.dll=zqp.adp.fixture.so") } << QStringLiteral("*.so")
        << QStringList();
    QTest::newRow("plugins in name order")
        << QStringList { QStringLiteral("zqp.ocr.fixture.so=zqp.ocr.fixture.so"), QStringLiteral("zqp.adp.fixture.so=zqp.adp.fixture.so") }
        << QStringLiteral("*.so")
        << QStringList { QStringLiteral("zqp.adp.fixture.so=adp/Fixture player"),
                         QStringLiteral("zqp.ocr.fixture.so=ocr/Fixture") };
    QTest::newRow("case-sensitive order")
        << QStringList { QStringLiteral("b.so=text"), QStringLiteral("C.so=text"), QStringLiteral("a.so=text"),
                         QStringLiteral("B.so=text") }
        << QStringLiteral("*.so")
        << QStringList { QStringLiteral("B.so="), QStringLiteral("C.so="), QStringLiteral("a.so="),
                         QStringLiteral("b.so=") };
    QTest::newRow("hostile files keep their place")
        << QStringList { QStringLiteral("c.so=text"), QStringLiteral("b.so=empty"), QStringLiteral("d.so=truncated"),
                         QStringLiteral("e.so=dir"), QStringLiteral("f.so=link"), QStringLiteral("g.so=dangling"),
                         QStringLiteral("a.so=zqp.adp.fixture.so"), QStringLiteral(".hidden.so=text") }
        << QStringLiteral("*.so")
        << QStringList { QStringLiteral("a.so=adp/Fixture player"), QStringLiteral("b.so="),
                         QStringLiteral("c.so="), QStringLiteral("d.so="), QStringLiteral("f.so=adp/Fixture player") };
    QTest::newRow("plugin built for the other Qt is left out")
        << QStringList { QStringLiteral("a.so=zqp.adp.fixture.so"), QStringLiteral("b.so=zqp.otherqt.so"),
                         QStringLiteral("c.so=text") }
        << QStringLiteral("*.so")
        << QStringList { QStringLiteral("a.so=adp/Fixture player"), QStringLiteral("c.so=") };
    QTest::newRow("pattern is not split")
        << QStringList { QStringLiteral("a.so=text"), QStringLiteral("b.txt=text") }
        << QStringLiteral("*.so *.txt") << QStringList();
    QTest::newRow("pattern narrows")
        << QStringList { QStringLiteral("zqp.adp.x.so=zqp.adp.fixture.so"), QStringLiteral("zqp.ocr.x.so=zqp.ocr.fixture.so"),
                         QStringLiteral("readme.txt=text") }
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
    QVERIFY(fillPluginFolder(tmp.path(), entries));

    QStringList actual;
    const auto records = ZQPObject::metaInfo(tmp.path(), filter);
    for (const auto &record : records) {
        QCOMPARE(QFileInfo(record.second).absolutePath(), QFileInfo(tmp.path()).absoluteFilePath());
        QVERIFY(QFileInfo(record.second).isAbsolute());
        // Discovery reads the metadata without loading the library.
        QVERIFY2(!isMapped(record.second), qPrintable(record.second));
        actual << QFileInfo(record.second).fileName() + QLatin1Char('=') + record.first;
    }
    QCOMPARE(actual, expected);
}

QTEST_GUILESS_MAIN(tst_MetaInfo)
#include "tst_metainfo.moc"
