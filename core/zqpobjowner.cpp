#include "zqpobject.h"

ZQPObject::ZQPObjOwner::ZQPObjOwner(const QString &fileName, QObject *parent)
    : QPluginLoader(fileName, parent)
{
}

ZQPObject::ZQPObjOwner::~ZQPObjOwner()
{
    if (isLoaded())
        unload();
}
