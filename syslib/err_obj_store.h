// The process-wide error-record store: each thread's last error record (a code and a
// text), kept until the thread replaces or clears it. Built before the entry function runs
// and released at exit; safe from any thread.
#pragma once

#include <windows.h>

#include <map>
#include <mutex>
#include <string>
#include <thread>

struct ErrObjRecord {
    DWORD code = 0;
    std::wstring text;
};

class ErrObjSharedStore {
public:
    ErrObjSharedStore() = default;
    ~ErrObjSharedStore() = default;
    ErrObjSharedStore(const ErrObjSharedStore&) = delete;
    ErrObjSharedStore& operator=(const ErrObjSharedStore&) = delete;

    // Replaces the calling thread's record.
    void SetError(DWORD code, const std::wstring& text);
    // The calling thread's record; false when it has none.
    bool GetError(ErrObjRecord* record) const;
    void ClearError();
    // How many threads hold a record.
    size_t Count() const;

private:
    mutable std::mutex lock_;
    std::map<std::thread::id, ErrObjRecord> records_;
};
