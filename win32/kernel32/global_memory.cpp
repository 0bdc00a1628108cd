// Global memory blocks. Every block is recorded in one table keyed by its handle:
// a fixed block's handle is its address, a movable block's handle is a token that
// stays the same when GlobalReAlloc moves the memory.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

struct Block {
    std::unique_ptr<char, FreeDeleter> memory;  // null for a discarded (0-byte) movable block
    SIZE_T size = 0;
    bool movable = false;
    UINT locks = 0;
    // The token a movable block's handle points to; owned here so it stays unique.
    std::unique_ptr<char> token;
};

struct Table {
    std::mutex lock;
    std::map<HGLOBAL, Block> blocks;
};

Table& table() {
    static Table* t = new Table;  // outlives static destructors that may still free blocks
    return *t;
}

// The block behind mem; null with ERROR_INVALID_HANDLE when there is none.
Block* find(Table& t, HGLOBAL mem) {
    auto it = t.blocks.find(mem);
    if (it == t.blocks.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return &it->second;
}

char* allocate(SIZE_T bytes, bool zero) {
    // malloc(0) may answer null; a block of 0 bytes still needs an address.
    void* p = zero ? std::calloc(bytes ? bytes : 1, 1) : std::malloc(bytes ? bytes : 1);
    return static_cast<char*>(p);
}

}  // namespace

HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes) {
    bool movable = flags & GMEM_MOVEABLE;
    Block block;
    block.movable = movable;
    block.size = bytes;
    if (!movable || bytes) {
        block.memory.reset(allocate(bytes, flags & GMEM_ZEROINIT));
        if (!block.memory) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
    }
    HGLOBAL handle;
    if (movable) {
        block.token = std::make_unique<char>();
        handle = block.token.get();
    } else {
        handle = block.memory.get();
    }
    Table& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    t.blocks.emplace(handle, std::move(block));
    return handle;
}

HGLOBAL WINAPI GlobalReAlloc(HGLOBAL mem, SIZE_T bytes, UINT flags) {
    Table& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    Block* b = find(t, mem);
    if (!b) return nullptr;
    if (flags & GMEM_MODIFY) return mem;  // only attribute changes; none matter here
    // A fixed block may move only when asked, and then its handle changes with it.
    if (!b->movable && !(flags & GMEM_MOVEABLE)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (b->movable && bytes == 0) {
        if (b->locks) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        b->memory.reset();
        b->size = 0;
        return mem;
    }
    char* old = b->memory.get();
    char* grown = static_cast<char*>(std::realloc(old, bytes ? bytes : 1));
    if (!grown) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    b->memory.release();
    b->memory.reset(grown);
    if ((flags & GMEM_ZEROINIT) && bytes > b->size)
        std::memset(grown + b->size, 0, bytes - b->size);
    b->size = bytes;
    if (b->movable) return mem;
    if (grown == mem) return mem;
    auto node = t.blocks.extract(mem);
    node.key() = grown;
    t.blocks.insert(std::move(node));
    return grown;
}

HGLOBAL WINAPI GlobalFree(HGLOBAL mem) {
    if (!mem) return nullptr;
    Table& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    if (!t.blocks.erase(mem)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return mem;
    }
    return nullptr;
}

LPVOID WINAPI GlobalLock(HGLOBAL mem) {
    Table& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    Block* b = find(t, mem);
    if (!b) return nullptr;
    if (!b->memory) {
        SetLastError(ERROR_DISCARDED);
        return nullptr;
    }
    if (b->movable && b->locks < GMEM_LOCKCOUNT) ++b->locks;
    return b->memory.get();
}

BOOL WINAPI GlobalUnlock(HGLOBAL mem) {
    Table& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    Block* b = find(t, mem);
    if (!b) return FALSE;
    if (!b->movable) return TRUE;
    if (b->locks == 0) {
        SetLastError(ERROR_NOT_LOCKED);
        return FALSE;
    }
    if (--b->locks == 0) {
        SetLastError(NO_ERROR);
        return FALSE;
    }
    return TRUE;
}

SIZE_T WINAPI GlobalSize(HGLOBAL mem) {
    Table& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    Block* b = find(t, mem);
    if (!b) return 0;
    return b->size;
}

UINT WINAPI GlobalFlags(HGLOBAL mem) {
    Table& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    Block* b = find(t, mem);
    if (!b) return GMEM_INVALID_HANDLE;
    return b->locks | (b->movable && !b->memory ? GMEM_DISCARDED : 0);
}

HGLOBAL WINAPI GlobalHandle(LPCVOID address) {
    Table& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    for (auto& [handle, block] : t.blocks) {
        if (block.memory.get() == address) return handle;
    }
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
}
