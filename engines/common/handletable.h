#ifndef HANDLETABLE_H
#define HANDLETABLE_H

#include <map>
#include <memory>

// The live objects of one kind that an engine has handed out, by handle.
// A stale or foreign handle finds nothing, so an entry point can refuse it
// instead of crashing. Not locked: each engine guards its tables with its
// own lock, and works on a found object outside it where calls are long.
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
    // A new handle for add(): the one after last that is not 0, which
    // entry points return for failure, and not in use.
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
    bool contains(Handle handle) const { return m_objects.count(handle) != 0; }
    std::shared_ptr<T> take(Handle handle)
    {
        const auto it = m_objects.find(handle);
        if (it == m_objects.end())
            return nullptr;
        std::shared_ptr<T> object = std::move(it->second);
        m_objects.erase(it);
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
    Objects takeAll()
    {
        Objects all;
        all.swap(m_objects);
        return all;
    }
    typename Objects::const_iterator begin() const { return m_objects.begin(); }
    typename Objects::const_iterator end() const { return m_objects.end(); }

private:
    Objects m_objects;
};

#endif // HANDLETABLE_H
