#include <w32/builtin.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>
#include <string>

namespace w32 {
namespace {

struct Registry {
    std::mutex mu;
    std::map<std::string, std::map<std::string, void*>> modules;
};

Registry& registry() {
    static auto* r = new Registry;
    return *r;
}

std::string module_key(const char* dll) {
    std::string key(dll ? dll : "");
    std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::tolower(c); });
    if (key.size() < 4 || key.compare(key.size() - 4, 4, ".dll") != 0) key += ".dll";
    return key;
}

}  // namespace

void register_builtin_export(const char* dll, const char* name, void* fn) {
    auto& r = registry();
    std::lock_guard lock(r.mu);
    r.modules[module_key(dll)][name] = fn;
}

void* find_builtin_export(const char* dll, const char* name) {
    auto& r = registry();
    std::lock_guard lock(r.mu);
    auto m = r.modules.find(module_key(dll));
    if (m == r.modules.end() || !name) return nullptr;
    auto f = m->second.find(name);
    return f == m->second.end() ? nullptr : f->second;
}

bool is_builtin_module(const char* dll) {
    auto& r = registry();
    std::lock_guard lock(r.mu);
    return r.modules.count(module_key(dll)) != 0;
}

}  // namespace w32
