// Events: manual-reset (stays signalled until reset) and auto-reset (one satisfied
// wait takes the signal). Named events are shared within the process.
#include "fast_waitable.h"
#include "named_objects.h"

#include <w32/error.h>

namespace w32 {
namespace {

class EventObject : public FastWaitable {
public:
    EventObject(bool manual, bool state, std::wstring key)
        : manual_(manual), state_(state), key_(std::move(key)) {}

    Kind kind() const override { return Kind::Event; }
    // These two with the state lock held.
    bool signaled(DWORD) const override { return state_; }
    DWORD acquire(DWORD) override {
        if (!manual_) state_ = false;
        return WAIT_OBJECT_0;
    }
    void last_handle_closed() override {
        if (!key_.empty()) forget_name(key_, this);
    }

    void set(bool state) {
        change_state([&] {
            state_ = state;
            return 0;
        });
    }

private:
    const bool manual_;
    bool state_;
    const std::wstring key_;
};

bool set_state(HANDLE event, bool state) {
    auto obj = get_as<EventObject>(event);
    if (!obj) return false;
    obj->set(state);
    return true;
}

}  // namespace
}  // namespace w32

using namespace w32;

HANDLE WINAPI CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manual_reset, BOOL initial_state,
                           LPCWSTR name) {
    if (!name || !*name) {
        return new_handle(std::make_shared<EventObject>(manual_reset, initial_state, L""));
    }
    auto key = object_key(name);
    return named_handle(key, Kind::Event, [&](bool*) -> ObjectPtr {
        return std::make_shared<EventObject>(manual_reset, initial_state, key);
    });
}

BOOL WINAPI SetEvent(HANDLE event) { return set_state(event, true) ? TRUE : FALSE; }

BOOL WINAPI ResetEvent(HANDLE event) { return set_state(event, false) ? TRUE : FALSE; }
