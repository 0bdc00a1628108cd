#include "internet_handles.h"

#include <cstdint>
#include <map>

namespace w32::inet {

namespace {

struct Entry {
    std::shared_ptr<InternetHandle> obj;
    uintptr_t parent = 0;
    std::vector<uintptr_t> children;
};

struct Table {
    std::mutex mutex;
    std::map<uintptr_t, Entry> entries;
    uintptr_t next = 0xCC0004;
};

Table& table() {
    static Table t;
    return t;
}

void abort_transfer(InternetHandle& obj) {
    if (obj.type != HandleType::Request) return;
    auto& req = static_cast<Request&>(obj);
    // Not under req.use: the thread blocked in the transfer holds it.
    std::shared_ptr<HttpTransfer> t = req.transfer();
    if (t) t->abort();
}

}  // namespace

Timeouts& default_timeouts() {
    static Timeouts t;
    return t;
}

std::mutex& defaults_mutex() {
    static std::mutex m;
    return m;
}

HINTERNET add_handle(std::shared_ptr<InternetHandle> obj, HINTERNET parent) {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    auto p = reinterpret_cast<uintptr_t>(parent);
    if (parent) {
        auto it = t.entries.find(p);
        if (it == t.entries.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
        }
        obj->timeouts = it->second.obj->timeouts;
        it->second.children.push_back(t.next);
    } else {
        std::lock_guard dl(defaults_mutex());
        obj->timeouts = default_timeouts();
    }
    uintptr_t h = t.next;
    t.next += 4;
    t.entries[h] = Entry{std::move(obj), p, {}};
    return reinterpret_cast<HINTERNET>(h);
}

std::shared_ptr<InternetHandle> find_handle(HINTERNET h) {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    auto it = t.entries.find(reinterpret_cast<uintptr_t>(h));
    if (it == t.entries.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return it->second.obj;
}

bool close_handle_tree(HINTERNET h) {
    Table& t = table();
    std::vector<std::shared_ptr<InternetHandle>> closed;
    {
        std::lock_guard lock(t.mutex);
        auto root = t.entries.find(reinterpret_cast<uintptr_t>(h));
        if (root == t.entries.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return false;
        }
        if (root->second.parent) {
            auto parent = t.entries.find(root->second.parent);
            if (parent != t.entries.end()) std::erase(parent->second.children, root->first);
        }
        std::vector<uintptr_t> todo{root->first};
        while (!todo.empty()) {
            uintptr_t v = todo.back();
            todo.pop_back();
            auto it = t.entries.find(v);
            if (it == t.entries.end()) continue;
            todo.insert(todo.end(), it->second.children.begin(), it->second.children.end());
            closed.push_back(std::move(it->second.obj));
            t.entries.erase(it);
        }
    }
    // Outside the table lock: a transfer's teardown may take a while.
    for (auto& obj : closed) abort_transfer(*obj);
    return true;
}

}  // namespace w32::inet
