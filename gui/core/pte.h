// Guarded pointers: a Ptr to an object derived from Pte<T> reads null once the
// object has been destroyed. The tracking record is shared by the Ptr handles,
// not owned by the object, and is changed only under one process-wide lock.
// Reading a Ptr is not locked: read it on the thread that destroys the object, or
// keep the object alive otherwise.
#pragma once

#include <windows.h>

namespace Gui {

template <class T>
class Ptr;

class PteBase {
public:
    struct Prec {
        PteBase* ptr;  // null once the object is gone
        LONG n;        // the Ptr handles sharing this record
    };

protected:
    PteBase() : prec_(nullptr) {}
    // A copy is a new object: nobody watches it yet.
    PteBase(const PteBase&) : prec_(nullptr) {}
    PteBase& operator=(const PteBase&) { return *this; }
    ~PteBase();

private:
    template <class T>
    friend class Ptr;

    // A counted reference to this object's record, made when there is none.
    Prec* GetPrec();
    // Another reference to the record when its object still lives, else null.
    static Prec* CopyPrec(Prec* prec);
    static void Release(Prec* prec);
    static PteBase* Target(const Prec* prec) {
        return prec ? __atomic_load_n(&prec->ptr, __ATOMIC_ACQUIRE) : nullptr;
    }

    Prec* prec_;
};

// The base a watched class T derives from; a Ptr may also watch classes derived
// from T.
template <class T>
class Pte : public PteBase {};

template <class T>
class Ptr {
public:
    Ptr() : prec_(nullptr) {}
    Ptr(T* object) : prec_(Take(object)) {}
    Ptr(const Ptr& other) : prec_(PteBase::CopyPrec(other.prec_)) {}
    Ptr(Ptr&& other) noexcept : prec_(other.prec_) { other.prec_ = nullptr; }
    ~Ptr() { PteBase::Release(prec_); }

    Ptr& operator=(T* object) {
        PteBase::Release(prec_);
        prec_ = nullptr;
        prec_ = Take(object);
        return *this;
    }
    Ptr& operator=(const Ptr& other) {
        if (this != &other) {
            PteBase::Prec* taken = PteBase::CopyPrec(other.prec_);
            PteBase::Release(prec_);
            prec_ = taken;
        }
        return *this;
    }
    Ptr& operator=(Ptr&& other) noexcept {
        if (this != &other) {
            PteBase::Release(prec_);
            prec_ = other.prec_;
            other.prec_ = nullptr;
        }
        return *this;
    }

    T* Get() const {
        PteBase* target = PteBase::Target(prec_);
        return target ? static_cast<T*>(target) : nullptr;
    }
    operator T*() const { return Get(); }
    T* operator->() const { return Get(); }

    friend bool operator==(const Ptr& a, T* b) { return a.Get() == b; }
    friend bool operator==(const Ptr& a, const Ptr& b) { return a.Get() == b.Get(); }

private:
    static PteBase::Prec* Take(T* object) {
        return object ? static_cast<PteBase*>(object)->GetPrec() : nullptr;
    }

    PteBase::Prec* prec_;
};

}  // namespace Gui
