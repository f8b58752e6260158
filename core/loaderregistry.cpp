#include "loaderregistry.h"

#include <QMutex>
#include <QVector>

namespace {

struct Binding
{
    ZQPObject::ZQPObjOwner *loader;
    ZQPObject *object;
    bool released;
};

// Oldest first. Loading may happen on any thread, one at a time per thread.
QMutex mutex;
QVector<Binding> bindings;

Binding *newestOf(ZQPObject *object, bool unreleasedOnly)
{
    for (int i = bindings.size() - 1; i >= 0; --i) {
        Binding &binding = bindings[i];
        if (binding.object == object && (!unreleasedOnly || !binding.released))
            return &binding;
    }
    return nullptr;
}

} // namespace

namespace LoaderRegistry {

void add(ZQPObject::ZQPObjOwner *loader, ZQPObject *object)
{
    QMutexLocker locker(&mutex);
    bindings.append(Binding{loader, object, false});
}

ZQPObject::ZQPObjOwner *release(ZQPObject *object)
{
    QMutexLocker locker(&mutex);
    Binding *binding = newestOf(object, true);
    if (!binding)
        return nullptr;
    binding->released = true;
    return binding->loader;
}

ZQPObject::ZQPObjOwner *newestUnreleased(ZQPObject *object)
{
    QMutexLocker locker(&mutex);
    const Binding *binding = newestOf(object, true);
    return binding ? binding->loader : nullptr;
}

ZQPObject::ZQPObjOwner *newest(ZQPObject *object)
{
    QMutexLocker locker(&mutex);
    const Binding *binding = newestOf(object, true);
    if (!binding)
        binding = newestOf(object, false);
    return binding ? binding->loader : nullptr;
}

ZQPObject *remove(ZQPObject::ZQPObjOwner *loader)
{
    QMutexLocker locker(&mutex);
    for (int i = 0; i < bindings.size(); ++i) {
        if (bindings.at(i).loader == loader) {
            ZQPObject *object = bindings.at(i).object;
            bindings.remove(i);
            return object;
        }
    }
    return nullptr;
}

} // namespace LoaderRegistry
