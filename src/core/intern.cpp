// Interned strings: one stored copy per distinct text, kept for the life of
// the process so callers may compare them by pointer.
#include <mutex>
#include <new>
#include <string>
#include <string_view>
#include <unordered_set>

#include "core/messages.h"

namespace zv::core {

namespace {

struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};

struct InternTable {
    std::mutex mutex;
    // Node-based: a stored string never moves when the table grows.
    std::unordered_set<std::string, TextHash, std::equal_to<>> texts;
};

InternTable& table()
{
    // Never destroyed: its strings must outlive every static destructor.
    alignas(InternTable) static unsigned char storage[sizeof(InternTable)];
    static InternTable* t = ::new (storage) InternTable;
    return *t;
}

}  // namespace

const char* intern(std::string_view text)
{
    InternTable& t = table();
    std::lock_guard lock(t.mutex);
    auto it = t.texts.find(text);
    if (it == t.texts.end())
        it = t.texts.emplace(text).first;
    return it->c_str();
}

}  // namespace zv::core
