#ifndef LOADERREGISTRY_H
#define LOADERREGISTRY_H

#include "zqpobject.h"

// The loaders bound to plugin objects. One file loaded twice yields one
// object held by two loaders; the registry lets the object reach each of
// them, so that no unload() and no loader's end leaves it pointing at a
// deleted loader.
namespace LoaderRegistry {

void add(ZQPObject::ZQPObjOwner *loader, ZQPObject *object);
// Marks the newest loader of object that is not released yet as released
// and returns it; null when every loader is released already.
ZQPObject::ZQPObjOwner *release(ZQPObject *object);
ZQPObject::ZQPObjOwner *newestUnreleased(ZQPObject *object);
// The newest loader of object, preferring one not released yet.
ZQPObject::ZQPObjOwner *newest(ZQPObject *object);
// Forgets loader; returns the object it was bound to, if any.
ZQPObject *remove(ZQPObject::ZQPObjOwner *loader);

} // namespace LoaderRegistry

#endif // LOADERREGISTRY_H
