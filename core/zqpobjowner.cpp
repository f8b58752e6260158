#include "zqpobject.h"

#include "loaderregistry.h"

ZQPObject::ZQPObjOwner::ZQPObjOwner(const QString &fileName, QObject *parent)
    : QPluginLoader(fileName, parent)
{
}

ZQPObject::ZQPObjOwner::~ZQPObjOwner()
{
    // The object outlives this loader when another loader holds its
    // library: it must not keep pointing here.
    if (ZQPObject *object = LoaderRegistry::remove(this)) {
        if (object->owner == this)
            object->owner = LoaderRegistry::newest(object);
    }
    if (isLoaded())
        unload();
}
