#include "mappedlibraries.h"
#include "pluginfolder.h"
#include "zqpaudioplayer.h"
#include "zqpobject.h"
#include "zqpocrtext.h"

#include <QMetaMethod>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

static const QString audioFixture = QStringLiteral(ZQP_FIXTURE_DIR "/zqp.adp.fixture.so");
static const QString ocrFixture = QStringLiteral(ZQP_FIXTURE_DIR "/zqp.ocr.fixture.so");

// A plugin object that did not come from loadObject.
class LocalObject : public ZQPObject
{
    Q_OBJECT
public:
    int type() override { return 0; }
    QString name() override { return QStringLiteral("local"); }
    QString author() override { return QString(); }
    bool initial() override { return true; }
};

class tst_ZQPObject : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void metaObject();
    void withoutLoader();
    void failedLoad_data();
    void failedLoad();
    void loadAndUnload();
    void interfaces_data();
    void interfaces();
    void switchPlugins();
    void loaderWithParent();
    void secondLoadOfSameFile();
    void sameFileLoadedTwice_data();
    void sameFileLoadedTwice();
};

void tst_ZQPObject::metaObject()
{
    const QMetaObject &mo = ZQPObject::staticMetaObject;
    QCOMPARE(mo.className(), "ZQPObject");
    QCOMPARE(mo.methodCount() - mo.methodOffset(), 1);
    QCOMPARE(mo.method(mo.methodOffset()).methodSignature(), QByteArray("error(QString)"));
    QCOMPARE(mo.method(mo.methodOffset()).methodType(), QMetaMethod::Signal);
    QCOMPARE(mo.propertyCount(), mo.propertyOffset());
    QCOMPARE(ZQPObject::ZQPObjOwner::staticMetaObject.className(), "ZQPObject::ZQPObjOwner");
    QCOMPARE(ZQPObject::ZQPObjOwner::staticMetaObject.superClass(), &QPluginLoader::staticMetaObject);
}

void tst_ZQPObject::withoutLoader()
{
    LocalObject object;
    QCOMPARE(object.version(), 1);
    QVERIFY(object.fileName().isEmpty());
    object.unload();
    QTest::qWait(10);
    QCOMPARE(object.name(), QStringLiteral("local"));

    QSignalSpy spy(&object, SIGNAL(error(QString)));
    QVERIFY(spy.isValid());
    Q_EMIT object.error(QStringLiteral("boom"));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("boom"));
}

void tst_ZQPObject::failedLoad_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::newRow("missing file") << QStringList();
    for (const char *kind : {"text", "empty", "truncated", "dir", "dangling", "zqp.foreign.so", "zqp.otherqt.so"})
        QTest::newRow(kind) << QStringList(QStringLiteral("zqp.adp.hostile.so=") + QLatin1String(kind));
}

void tst_ZQPObject::failedLoad()
{
    QFETCH(QStringList, entries);
    QTemporaryDir tmp;
    QVERIFY(fillPluginFolder(tmp.path(), entries));
    const QString path = tmp.filePath(QStringLiteral("zqp.adp.hostile.so"));

    QObject parent;
    QCOMPARE(ZQPObject::loadObject(path, &parent), nullptr);
    QVERIFY(parent.children().isEmpty());
    QVERIFY(!isMapped(path));
}

void tst_ZQPObject::loadAndUnload()
{
    ZQPObject *object = ZQPObject::loadObject(audioFixture, nullptr);
    QVERIFY(object);
    QPointer<ZQPObject> guard(object);
    QCOMPARE(QFileInfo(object->fileName()).canonicalFilePath(), QFileInfo(audioFixture).canonicalFilePath());
    QCOMPARE(object->version(), 1);
    QVERIFY(isMapped(audioFixture));

    QSignalSpy spy(object, SIGNAL(error(QString)));
    object->unload();
    // Until the event loop runs the object is fully usable.
    QVERIFY(guard);
    QVERIFY(isMapped(audioFixture));
    QVERIFY(QMetaObject::invokeMethod(object, "emitError", Q_ARG(QString, QStringLiteral("late"))));
    QCOMPARE(spy.count(), 1);

    QTRY_VERIFY(guard.isNull());
    QVERIFY(!isMapped(audioFixture));
}

void tst_ZQPObject::interfaces_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("isAudio");
    // Spelled out: these are the codes hosts know the kinds by.
    QTest::newRow("audio player") << audioFixture << 0x02010010 << true;
    QTest::newRow("ocr") << ocrFixture << 0x02010028 << false;
}

void tst_ZQPObject::interfaces()
{
    QFETCH(QString, path);
    QFETCH(int, type);
    QFETCH(bool, isAudio);

    ZQPObject *object = ZQPObject::loadObject(path, nullptr);
    QVERIFY(object);
    QPointer<ZQPObject> guard(object);
    QCOMPARE(object->type(), type);
    QCOMPARE(qobject_cast<ZQPObject *>(static_cast<QObject *>(object)), object);
    QCOMPARE(qobject_cast<ZQPAudioPlayer *>(object) != nullptr, isAudio);
    QCOMPARE(qobject_cast<ZQPOcrText *>(object) != nullptr, !isAudio);
    QCOMPARE(object->qt_metacast(ZQPAudioPlayer_iid) != nullptr, isAudio);
    QCOMPARE(object->qt_metacast(ZQPOcrText_iid) != nullptr, !isAudio);
    QCOMPARE(object->qt_metacast("ZQPObject"), static_cast<void *>(object));

    object->unload();
    QTRY_VERIFY(guard.isNull());
}

void tst_ZQPObject::switchPlugins()
{
    ZQPObject *first = ZQPObject::loadObject(audioFixture, nullptr);
    QVERIFY(first);
    QPointer<ZQPObject> firstGuard(first);
    first->unload();
    ZQPObject *second = ZQPObject::loadObject(ocrFixture, nullptr);
    QVERIFY(second);
    QPointer<ZQPObject> secondGuard(second);

    QTRY_VERIFY(firstGuard.isNull());
    QVERIFY(!isMapped(audioFixture));
    QVERIFY(isMapped(ocrFixture));
    QVERIFY(secondGuard);

    second->unload();
    QTRY_VERIFY(secondGuard.isNull());
    QVERIFY(!isMapped(ocrFixture));
}

void tst_ZQPObject::loaderWithParent()
{
    auto *parent = new QObject;
    QPointer<ZQPObject> object = ZQPObject::loadObject(audioFixture, parent);
    QVERIFY(object);
    QCOMPARE(parent->children().size(), 1);
    QVERIFY(qobject_cast<ZQPObject::ZQPObjOwner *>(parent->children().constFirst()));
    delete parent;
    QVERIFY(object.isNull());
    QVERIFY(!isMapped(audioFixture));
}

void tst_ZQPObject::secondLoadOfSameFile()
{
    auto *firstParent = new QObject;
    QObject secondParent;
    ZQPObject *first = ZQPObject::loadObject(audioFixture, firstParent);
    ZQPObject *second = ZQPObject::loadObject(audioFixture, &secondParent);
    QVERIFY(first);
    QCOMPARE(second, first);
    QPointer<ZQPObject> guard(first);

    // unload() reaches only the newest loader; the first still holds the library.
    second->unload();
    QTRY_VERIFY(secondParent.children().isEmpty());
    QVERIFY(guard);
    QVERIFY(isMapped(audioFixture));

    delete firstParent;
    QVERIFY(guard.isNull());
    QVERIFY(!isMapped(audioFixture));
}

// Each loader of one file holds the library once. "unload" releases the
// newest loader not yet released, "parent1"/"parent2" destroy a loader with
// its parent; after each step the library must still be held or be gone.
void tst_ZQPObject::sameFileLoadedTwice_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QList<bool>>("heldAfter");
    QTest::newRow("unload twice") << QStringList{"unload", "unload"} << QList<bool>{true, false};
    QTest::newRow("unload twice before the event loop")
            << QStringList{"unload now", "unload"} << QList<bool>{true, false};
    QTest::newRow("unload more often than loaded")
            << QStringList{"unload", "unload", "unload"} << QList<bool>{true, false, false};
    QTest::newRow("newest parent gone, then unload")
            << QStringList{"parent2", "unload"} << QList<bool>{true, false};
    QTest::newRow("oldest parent gone, then unload")
            << QStringList{"parent1", "unload"} << QList<bool>{true, false};
    QTest::newRow("unload, then the released loader's parent gone")
            << QStringList{"unload now", "parent2", "unload"} << QList<bool>{true, true, false};
}

void tst_ZQPObject::sameFileLoadedTwice()
{
    QFETCH(QStringList, steps);
    QFETCH(QList<bool>, heldAfter);
    QPointer<QObject> parents[] = {new QObject, new QObject};
    ZQPObject *object = ZQPObject::loadObject(audioFixture, parents[0]);
    QVERIFY(object);
    QCOMPARE(ZQPObject::loadObject(audioFixture, parents[1]), object);
    QPointer<ZQPObject> guard(object);

    for (int i = 0; i < steps.size(); ++i) {
        const QString &step = steps.at(i);
        if (step.startsWith(QLatin1String("unload")) && guard)
            object->unload();
        else if (step.startsWith(QLatin1String("parent")))
            delete parents[step.right(1).toInt() - 1];
        if (step != QLatin1String("unload now"))
            QTest::qWait(20);
        QCOMPARE(!guard.isNull(), heldAfter.at(i));
        QCOMPARE(isMapped(audioFixture), heldAfter.at(i));
        if (guard)
            QCOMPARE(QFileInfo(object->fileName()).fileName(), QFileInfo(audioFixture).fileName());
    }
    delete parents[0];
    delete parents[1];
    QVERIFY(guard.isNull());
}

QTEST_GUILESS_MAIN(tst_ZQPObject)
#include "tst_zqpobject.moc"
