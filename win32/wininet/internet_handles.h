// The tree of Internet handles: sessions, their connections and their requests.
// Handles are values of their own (not kernel handles); closing one closes the
// handles opened under it and cancels a call blocked on any of them.
#pragma once

#include "http_transfer.h"

#include <wininet.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace w32::inet {

enum class HandleType { Session, Connection, Request };

struct InternetHandle {
    explicit InternetHandle(HandleType t) : type(t) {}
    virtual ~InternetHandle() = default;
    const HandleType type;
    Timeouts timeouts;
    DWORD_PTR context = 0;
};

struct Session : InternetHandle {
    Session() : InternetHandle(HandleType::Session) {}
    std::wstring agent;
    DWORD access_type = INTERNET_OPEN_TYPE_PRECONFIG;
    std::wstring proxy, proxy_bypass;
};

struct Connection : InternetHandle {
    Connection() : InternetHandle(HandleType::Connection) {}
    std::shared_ptr<Session> session;
    std::wstring host;
    INTERNET_PORT port = INTERNET_DEFAULT_HTTP_PORT;
    bool secure = false;
};

struct Request : InternetHandle {
    Request() : InternetHandle(HandleType::Request) {}
    std::shared_ptr<Session> session;
    std::wstring host;
    INTERNET_PORT port = INTERNET_DEFAULT_HTTP_PORT;
    bool secure = false;
    std::wstring verb, object, version, referrer;
    std::vector<std::wstring> accept_types;
    DWORD flags = 0;
    // One thread drives a request at a time; the transfer is replaced on each send.
    std::mutex use;

    std::shared_ptr<HttpTransfer> transfer() {
        std::lock_guard lock(transfer_mutex_);
        return transfer_;
    }
    void set_transfer(std::shared_ptr<HttpTransfer> t) {
        std::lock_guard lock(transfer_mutex_);
        transfer_ = std::move(t);
    }

private:
    std::mutex transfer_mutex_;
    std::shared_ptr<HttpTransfer> transfer_;
};

// Registers obj under parent (null for a session); inherits the parent's time-outs.
HINTERNET add_handle(std::shared_ptr<InternetHandle> obj, HINTERNET parent);
// The object behind h, or null with ERROR_INVALID_HANDLE.
std::shared_ptr<InternetHandle> find_handle(HINTERNET h);
template <class T>
std::shared_ptr<T> find_as(HINTERNET h, HandleType type) {
    auto obj = find_handle(h);
    if (!obj) return nullptr;
    if (obj->type != type) {
        SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
        return nullptr;
    }
    return std::static_pointer_cast<T>(obj);
}
// Closes h and everything under it; false with ERROR_INVALID_HANDLE for an unknown h.
bool close_handle_tree(HINTERNET h);

// Time-outs that new sessions start with (set through a null handle).
Timeouts& default_timeouts();
std::mutex& defaults_mutex();

}  // namespace w32::inet
