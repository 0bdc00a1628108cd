// The toolkit's locks and barriers. Every process-wide lock of the toolkit is a
// StaticMutex: it works zero-initialised, before any constructor has run, and is
// never destroyed, so it may be used from static constructors and destructors.
#pragma once

#include <windows.h>

namespace Gui {

// Full barriers made of interlocked increments of private counters.
void ReadMemoryBarrier();
void WriteMemoryBarrier();
// A write barrier, then the store.
void BarrierWrite(volatile LONG* target, LONG value);
// Once-flags of lazily filled tables: read then barrier; barrier then set to 1.
bool ReadWithBarrier(const volatile BYTE& flag);
void BarrierWriteFlag(volatile BYTE& flag);

// The lock under which static mutexes create their sections; it is never deleted.
CRITICAL_SECTION* GetMutexInitLock();

// A re-entrant lock over a critical section.
class Mutex {
public:
    Mutex();
    ~Mutex();
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    void Enter();
    void Leave();

    // Holds the mutex for a scope.
    class Lock {
    public:
        explicit Lock(Mutex& m) : m_(m) { m_.Enter(); }
        ~Lock() { m_.Leave(); }
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        Mutex& m_;
    };

private:
    CRITICAL_SECTION section_;
};

// Only for objects of static storage duration: no constructor, no destructor, so
// zero-initialisation is all it needs; the section is created on first use.
class StaticMutex {
public:
    void Enter();
    void Leave();

    class Lock {
    public:
        explicit Lock(StaticMutex& m) : m_(m) { m_.Enter(); }
        ~Lock() { m_.Leave(); }
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        StaticMutex& m_;
    };

    // The section in use, created when needed.
    CRITICAL_SECTION* Get();

private:
    void Initialize();

    CRITICAL_SECTION* section_;
    CRITICAL_SECTION room_;
};

}  // namespace Gui
