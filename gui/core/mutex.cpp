#include "gui/core/mutex.h"

namespace Gui {
namespace {

// Targets of the barrier increments; their values mean nothing.
volatile LONG g_read_barrier;
volatile LONG g_write_barrier;

}  // namespace

void ReadMemoryBarrier() { InterlockedIncrement(&g_read_barrier); }

void WriteMemoryBarrier() { InterlockedIncrement(&g_write_barrier); }

void BarrierWrite(volatile LONG* target, LONG value) {
    WriteMemoryBarrier();
    __atomic_store_n(target, value, __ATOMIC_RELAXED);
}

bool ReadWithBarrier(const volatile BYTE& flag) {
    const BYTE value = __atomic_load_n(&flag, __ATOMIC_ACQUIRE);
    ReadMemoryBarrier();
    return value != 0;
}

void BarrierWriteFlag(volatile BYTE& flag) {
    WriteMemoryBarrier();
    __atomic_store_n(&flag, BYTE(1), __ATOMIC_RELEASE);
}

CRITICAL_SECTION* GetMutexInitLock() {
    // A function-local static is created once even when threads we did not start
    // race to it; the section itself is zero-initialised and never deleted.
    static CRITICAL_SECTION* lock = [] {
        static CRITICAL_SECTION section;
        InitializeCriticalSection(&section);
        return &section;
    }();
    return lock;
}

Mutex::Mutex() { InitializeCriticalSection(&section_); }

Mutex::~Mutex() { DeleteCriticalSection(&section_); }

void Mutex::Enter() { EnterCriticalSection(&section_); }

void Mutex::Leave() { LeaveCriticalSection(&section_); }

CRITICAL_SECTION* StaticMutex::Get() {
    // Acquire: a section published by another thread is seen initialised.
    CRITICAL_SECTION* section = __atomic_load_n(&section_, __ATOMIC_ACQUIRE);
    ReadMemoryBarrier();
    if (!section) {
        Initialize();
        section = __atomic_load_n(&section_, __ATOMIC_ACQUIRE);
    }
    return section;
}

void StaticMutex::Initialize() {
    CRITICAL_SECTION* init = GetMutexInitLock();
    EnterCriticalSection(init);
    CRITICAL_SECTION* section = __atomic_load_n(&section_, __ATOMIC_ACQUIRE);
    ReadMemoryBarrier();
    if (!section) {
        InitializeCriticalSection(&room_);
        WriteMemoryBarrier();
        __atomic_store_n(&section_, &room_, __ATOMIC_RELEASE);
    }
    LeaveCriticalSection(init);
}

void StaticMutex::Enter() { EnterCriticalSection(Get()); }

void StaticMutex::Leave() { LeaveCriticalSection(Get()); }

}  // namespace Gui
