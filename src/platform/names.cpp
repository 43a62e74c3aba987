#include "platform/names.h"

#include <mutex>
#include <new>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/log.h"

namespace zv::platform {

namespace {

struct NamePool {
    std::mutex mutex;
    // Sorted, unique; std::set keeps every string at a fixed address.
    std::set<std::string, std::less<>> names;
};

NamePool& name_pool()
{
    // Never destroyed: its strings must outlive every static destructor.
    alignas(NamePool) static unsigned char storage[sizeof(NamePool)];
    static NamePool* p = ::new (storage) NamePool;
    return *p;
}

struct Aliases {
    std::mutex mutex;
    // Newest last here; lookups scan from the back so the newest wins.
    std::vector<std::pair<const char*, const char*>> list;
};

Aliases& aliases()
{
    // Never destroyed: its strings must outlive every static destructor.
    alignas(Aliases) static unsigned char storage[sizeof(Aliases)];
    static Aliases* a = ::new (storage) Aliases;
    return *a;
}

char fold(char c)
{
    if (c == '_' || c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f')
        return ' ';
    if (c >= 'A' && c <= 'Z')
        return static_cast<char>(c - 'A' + 'a');
    return c;
}

const char* find_alias_locked(const Aliases& a, std::string_view name)
{
    for (auto it = a.list.rbegin(); it != a.list.rend(); ++it)
        if (names_equal(it->first, name))
            return it->second;
    return nullptr;
}

}  // namespace

bool names_equal(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i]))
            return false;
    return true;
}

const char* pool_name(std::string_view text)
{
    NamePool& p = name_pool();
    std::lock_guard lock(p.mutex);
    auto it = p.names.find(text);
    if (it == p.names.end())
        it = p.names.emplace(text).first;
    return it->c_str();
}

bool add_alias(const char* name, const char* value)
{
    Aliases& a = aliases();
    std::lock_guard lock(a.mutex);
    if (find_alias_locked(a, name)) {
        log_printf("Second alias for '%s' ('%s') ignored\n", name, value);
        return false;
    }
    try {
        a.list.emplace_back(pool_name(name), pool_name(value));
    } catch (const std::bad_alloc&) {
        log_printf("Can't alias %s to %s -- out of memory\n", name, value);
        return false;
    }
    return true;
}

const char* lookup_alias(const char* name)
{
    Aliases& a = aliases();
    std::lock_guard lock(a.mutex);
    const char* value = find_alias_locked(a, name);
    return value ? value : name;
}

void clear_aliases()
{
    Aliases& a = aliases();
    std::lock_guard lock(a.mutex);
    a.list.clear();
}

}  // namespace zv::platform
