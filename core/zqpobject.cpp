#include "zqpobject.h"

#include "loaderregistry.h"
#include "pluginfile.h"

#include <QDir>
#include <QTimer>

int ZQPObject::version() const
{
    return 1;
}

QString ZQPObject::fileName() const
{
    return owner ? owner->fileName() : QString();
}

void ZQPObject::unload()
{
    // A file loaded more than once is held by one loader per load; each
    // unload() releases the newest loader not released yet.
    ZQPObjOwner *released = LoaderRegistry::release(this);
    if (!released)
        return;
    // Deferred, so that the object stays usable until control returns to
    // the event loop; deleting the loader unloads the library.
    QTimer::singleShot(0, released, SLOT(deleteLater()));
    if (ZQPObjOwner *newest = LoaderRegistry::newestUnreleased(this))
        owner = newest;
}

ZQPObject *ZQPObject::loadObject(const QString &fileName, QObject *parent)
{
    if (!pluginFileComplete(fileName))
        return nullptr;
    auto *loader = new ZQPObjOwner(fileName, parent);
    // Qt gives plugin loaders PreventUnloadHint on Unix, which would keep the
    // library mapped for good. Every loader of a file shares its hints and a
    // new loader resets them, hence right before loading.
    loader->setLoadHints(QLibrary::LoadHints());
    if (loader->load()) {
        if (auto *object = qobject_cast<ZQPObject *>(loader->instance())) {
            object->owner = loader;
            LoaderRegistry::add(loader, object);
            return object;
        }
        loader->unload();
    }
    delete loader;
    return nullptr;
}

QList<QPair<QString, QString>> ZQPObject::metaInfo(const QString &dirPath, QString nameFilter)
{
    QList<QPair<QString, QString>> result;
    const QDir dir(dirPath);
    const QStringList files = dir.entryList(QStringList(nameFilter), QDir::Files, QDir::Name);
    for (const QString &file : files) {
        const QString path = dir.absoluteFilePath(file);
        // Reads the metadata from the file only; no plugin code runs.
        const QJsonObject metaData = pluginFileComplete(path) ? QPluginLoader(path).metaData() : QJsonObject();
        // A plugin built for another Qt could never load here; listing it
        // would only offer the user a choice that fails.
        const int qtMajor = pluginQtMajorVersion(path, metaData);
        if (qtMajor != 0 && qtMajor != QT_VERSION_MAJOR) {
            qWarning("%s is left out: it was built for Qt %d, and this program uses Qt %d.",
                     qPrintable(QDir::toNativeSeparators(path)), qtMajor, QT_VERSION_MAJOR);
            continue;
        }
        result.append(qMakePair(metaData.value(QLatin1String("IID")).toString(), path));
    }
    return result;
}
