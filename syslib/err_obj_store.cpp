#include "syslib/err_obj_store.h"

void ErrObjSharedStore::SetError(DWORD code, const std::wstring& text) {
    std::lock_guard<std::mutex> hold(lock_);
    ErrObjRecord& record = records_[std::this_thread::get_id()];
    record.code = code;
    record.text = text;
}

bool ErrObjSharedStore::GetError(ErrObjRecord* record) const {
    std::lock_guard<std::mutex> hold(lock_);
    auto it = records_.find(std::this_thread::get_id());
    if (it == records_.end()) return false;
    if (record != nullptr) *record = it->second;
    return true;
}

void ErrObjSharedStore::ClearError() {
    std::lock_guard<std::mutex> hold(lock_);
    records_.erase(std::this_thread::get_id());
}

size_t ErrObjSharedStore::Count() const {
    std::lock_guard<std::mutex> hold(lock_);
    return records_.size();
}
