#include "named_objects.h"

#include <map>
#include <mutex>

namespace w32 {
namespace {

struct Registry {
    std::mutex mu;
    std::map<std::wstring, std::weak_ptr<Object>> names;
};

Registry& registry() {
    static auto* r = new Registry;
    return *r;
}

// Holds one more handle count on an object that still has handles, so that it cannot
// reach its last close while we open a new handle to it.
class Pin {
public:
    explicit Pin(ObjectPtr obj) : obj_(std::move(obj)) {
        int n = obj_->handle_count.load();
        while (n > 0 && !obj_->handle_count.compare_exchange_weak(n, n + 1)) {
        }
        pinned_ = n > 0;
    }
    ~Pin() {
        if (pinned_ && obj_->handle_count.fetch_sub(1) == 1) obj_->last_handle_closed();
    }
    Pin(const Pin&) = delete;
    Pin& operator=(const Pin&) = delete;
    bool pinned() const { return pinned_; }

private:
    ObjectPtr obj_;
    bool pinned_ = false;
};

}  // namespace

std::wstring object_key(LPCWSTR name) {
    std::wstring key(name);
    static const std::wstring kLocal = L"Local\\";
    if (key.compare(0, kLocal.size(), kLocal) == 0) key.erase(0, kLocal.size());
    return key;
}

HANDLE named_handle(const std::wstring& key, Kind kind,
                    const std::function<ObjectPtr(bool* existed)>& make) {
    auto& r = registry();
    std::unique_lock lock(r.mu);
    auto it = r.names.find(key);
    if (it != r.names.end()) {
        if (auto obj = it->second.lock()) {
            auto pin = std::make_unique<Pin>(obj);
            if (pin->pinned()) {
                lock.unlock();
                if (obj->kind() != kind) {
                    pin.reset();
                    SetLastError(ERROR_INVALID_HANDLE);
                    return nullptr;
                }
                HANDLE h = new_handle(obj);
                DWORD error = h ? ERROR_ALREADY_EXISTS : GetLastError();
                pin.reset();
                SetLastError(error);
                return h;
            }
        }
        // The object is on its way out (its last handle is closing): a new one takes the name.
    }
    bool existed = false;
    ObjectPtr obj = make(&existed);
    if (!obj) return nullptr;
    HANDLE h = new_handle(obj);
    if (!h) return nullptr;
    r.names[key] = obj;
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return h;
}

void forget_name(const std::wstring& key, const Object* obj) {
    auto& r = registry();
    std::lock_guard lock(r.mu);
    auto it = r.names.find(key);
    if (it == r.names.end()) return;
    auto live = it->second.lock();
    if (!live || live.get() == obj) r.names.erase(it);
}

}  // namespace w32
