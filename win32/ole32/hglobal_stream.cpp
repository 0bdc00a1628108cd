// IStream over a global memory block. Clones share the block, its size and its
// lock; each stream keeps its own position. The block is touched only between
// GlobalLock and GlobalUnlock, as other users of the handle expect.
#include <objbase.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

namespace {

struct SharedBlock {
    std::mutex lock;
    HGLOBAL mem = nullptr;
    bool owns = false;
    ULONGLONG size = 0;

    SharedBlock(HGLOBAL m, bool o) : mem(m), owns(o), size(GlobalSize(m)) {}
    ~SharedBlock() {
        if (owns) GlobalFree(mem);
    }
    SharedBlock(const SharedBlock&) = delete;
    SharedBlock& operator=(const SharedBlock&) = delete;

    // Caller holds lock. Keeps the bytes below the old size; new ones are zero.
    HRESULT resize(ULONGLONG bytes) {
        if (bytes > 0xFFFFFFFFull) return STG_E_MEDIUMFULL;
        if (bytes == size) return S_OK;
        HGLOBAL moved =
            GlobalReAlloc(mem, static_cast<SIZE_T>(bytes), GMEM_MOVEABLE | GMEM_ZEROINIT);
        if (!moved) return E_OUTOFMEMORY;
        mem = moved;
        size = bytes;
        return S_OK;
    }
};

// Holds a block locked for the lifetime of one read or write.
class LockedBlock {
public:
    explicit LockedBlock(HGLOBAL mem) : mem_(mem), bytes_(static_cast<char*>(GlobalLock(mem))) {}
    ~LockedBlock() {
        if (bytes_) GlobalUnlock(mem_);
    }
    LockedBlock(const LockedBlock&) = delete;
    LockedBlock& operator=(const LockedBlock&) = delete;
    char* bytes() const { return bytes_; }

private:
    HGLOBAL mem_;
    char* bytes_;
};

class HGlobalStream final : public IStream {
public:
    HGlobalStream(std::shared_ptr<SharedBlock> block, ULONGLONG position)
        : block_(std::move(block)), position_(position) {}
    virtual ~HGlobalStream() = default;

    HGLOBAL handle() const {
        std::lock_guard<std::mutex> guard(block_->lock);
        return block_->mem;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_ISequentialStream || riid == IID_IStream) {
            *object = static_cast<IStream*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }

    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }

    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG size, ULONG* read) override {
        if (!buffer) return STG_E_INVALIDPOINTER;
        std::lock_guard<std::mutex> guard(block_->lock);
        ULONG count = 0;
        if (position_ < block_->size)
            count = static_cast<ULONG>(std::min<ULONGLONG>(size, block_->size - position_));
        if (count) {
            LockedBlock locked(block_->mem);
            if (!locked.bytes()) return E_FAIL;
            std::memcpy(buffer, locked.bytes() + position_, count);
            position_ += count;
        }
        if (read) *read = count;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Write(const void* buffer, ULONG size, ULONG* written) override {
        if (written) *written = 0;
        if (!buffer) return STG_E_INVALIDPOINTER;
        if (size == 0) return S_OK;
        std::lock_guard<std::mutex> guard(block_->lock);
        ULONGLONG end = position_ + size;
        if (end > block_->size) {
            HRESULT hr = block_->resize(end);
            if (FAILED(hr)) return STG_E_MEDIUMFULL;
        }
        LockedBlock locked(block_->mem);
        if (!locked.bytes()) return STG_E_MEDIUMFULL;
        std::memcpy(locked.bytes() + position_, buffer, size);
        position_ = end;
        if (written) *written = size;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin,
                                   ULARGE_INTEGER* new_position) override {
        std::lock_guard<std::mutex> guard(block_->lock);
        LONGLONG base;
        switch (origin) {
            case STREAM_SEEK_SET:
                base = 0;
                break;
            case STREAM_SEEK_CUR:
                base = static_cast<LONGLONG>(position_);
                break;
            case STREAM_SEEK_END:
                base = static_cast<LONGLONG>(block_->size);
                break;
            default:
                return STG_E_INVALIDFUNCTION;
        }
        LONGLONG target = base + move.QuadPart;
        if (target < 0) return STG_E_INVALIDFUNCTION;
        position_ = static_cast<ULONGLONG>(target);
        if (new_position) new_position->QuadPart = position_;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER new_size) override {
        std::lock_guard<std::mutex> guard(block_->lock);
        return block_->resize(new_size.QuadPart);
    }

    HRESULT STDMETHODCALLTYPE CopyTo(IStream* target, ULARGE_INTEGER size, ULARGE_INTEGER* read,
                                     ULARGE_INTEGER* written) override {
        if (!target) return STG_E_INVALIDPOINTER;
        ULONGLONG total_read = 0, total_written = 0, left = size.QuadPart;
        HRESULT hr = S_OK;
        char chunk[8192];
        while (left > 0) {
            ULONG got = 0, put = 0;
            hr = Read(chunk, static_cast<ULONG>(std::min<ULONGLONG>(left, sizeof chunk)), &got);
            if (FAILED(hr) || got == 0) break;
            total_read += got;
            hr = target->Write(chunk, got, &put);
            total_written += put;
            if (FAILED(hr)) break;
            left -= got;
        }
        if (read) read->QuadPart = total_read;
        if (written) written->QuadPart = total_written;
        return FAILED(hr) ? hr : S_OK;
    }

    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Revert() override { return S_OK; }

    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }

    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD flags) override {
        if (!stat) return STG_E_INVALIDPOINTER;
        if (flags > (STATFLAG_NONAME | STATFLAG_NOOPEN)) return STG_E_INVALIDFLAG;
        std::memset(stat, 0, sizeof *stat);
        stat->type = STGTY_STREAM;
        std::lock_guard<std::mutex> guard(block_->lock);
        stat->cbSize.QuadPart = block_->size;
        stat->grfMode = STGM_READWRITE;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Clone(IStream** clone) override {
        if (!clone) return STG_E_INVALIDPOINTER;
        std::lock_guard<std::mutex> guard(block_->lock);
        *clone = new (std::nothrow) HGlobalStream(block_, position_);
        return *clone ? S_OK : E_OUTOFMEMORY;
    }

private:
    std::atomic<ULONG> refs_{1};
    std::shared_ptr<SharedBlock> block_;
    ULONGLONG position_;
};

}  // namespace

HRESULT WINAPI CreateStreamOnHGlobal(HGLOBAL mem, BOOL delete_on_release, LPSTREAM* stream) {
    if (!stream) return E_INVALIDARG;
    *stream = nullptr;
    if (!mem) {
        mem = GlobalAlloc(GMEM_MOVEABLE, 0);
        if (!mem) return E_OUTOFMEMORY;
    } else if (GlobalFlags(mem) == GMEM_INVALID_HANDLE) {
        return E_INVALIDARG;
    }
    auto block = std::make_shared<SharedBlock>(mem, delete_on_release != FALSE);
    *stream = new (std::nothrow) HGlobalStream(std::move(block), 0);
    return *stream ? S_OK : E_OUTOFMEMORY;
}

HRESULT WINAPI GetHGlobalFromStream(LPSTREAM stream, HGLOBAL* mem) {
    if (!mem) return E_INVALIDARG;
    *mem = nullptr;
    auto* ours = dynamic_cast<HGlobalStream*>(stream);
    if (!ours) return E_INVALIDARG;
    *mem = ours->handle();
    return S_OK;
}
