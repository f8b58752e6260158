#ifndef HANDLETABLE_H
#define HANDLETABLE_H

#include <map>
#include <memory>
#include <utility>

// The live objects of one kind that an engine has handed out, by handle, so
// that a stale or foreign handle finds nothing instead of crashing. Not
// locked: each engine guards its tables with its own lock.
template<typename Handle, typename T>
class HandleTable
{
public:
    using Objects = std::map<Handle, std::shared_ptr<T>>;

    Handle add(std::shared_ptr<T> object, Handle handle)
    {
        m_objects.emplace(handle, std::move(object));
        return handle;
    }
    // The first handle after last that is neither 0 (failure to callers)
    // nor in use.
    Handle unusedAfter(Handle &last) const
    {
        do {
            ++last;
        } while (last == Handle() || m_objects.count(last));
        return last;
    }
    std::shared_ptr<T> find(Handle handle) const
    {
        const auto it = m_objects.find(handle);
        return it == m_objects.end() ? nullptr : it->second;
    }
    std::shared_ptr<T> take(Handle handle)
    {
        std::shared_ptr<T> object = find(handle);
        m_objects.erase(handle);
        return object;
    }
    template<typename Predicate>
    Objects takeIf(Predicate predicate)
    {
        Objects taken;
        for (auto it = m_objects.begin(); it != m_objects.end();) {
            if (predicate(*it->second))
                taken.insert(m_objects.extract(it++));
            else
                ++it;
        }
        return taken;
    }
    Objects takeAll() { return std::exchange(m_objects, Objects()); }
    typename Objects::const_iterator begin() const { return m_objects.begin(); }
    typename Objects::const_iterator end() const { return m_objects.end(); }

private:
    Objects m_objects;
};

#endif // HANDLETABLE_H
