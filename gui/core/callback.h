// Callbacks: small value handles to shared, reference-counted actions. Copying a
// callback shares its action; running it executes the action. Counts are changed
// with interlocked operations, so callbacks may be copied, run and dropped on any
// thread. An action bound to a method through a Ptr does nothing once its object
// is gone. A Gate is the same kind of handle for actions that answer a bool.
#pragma once

#include <windows.h>

#include <utility>

#include "gui/core/pte.h"

namespace Gui {

namespace detail {

// The count every action starts with; actions are shared, never copied.
class Counted {
public:
    volatile LONG count = 1;

protected:
    Counted() = default;
    Counted(const Counted&) = delete;
    Counted& operator=(const Counted&) = delete;
};

}  // namespace detail

class CallbackAction : public detail::Counted {
public:
    virtual void Execute() = 0;
    virtual bool IsValid() const { return true; }
    virtual ~CallbackAction() {}
};

template <class P1>
class Callback1Action : public detail::Counted {
public:
    virtual void Execute(P1 p1) = 0;
    virtual bool IsValid() const { return true; }
    virtual ~Callback1Action() {}
};

template <class P1, class P2>
class Callback2Action : public detail::Counted {
public:
    virtual void Execute(P1 p1, P2 p2) = 0;
    virtual bool IsValid() const { return true; }
    virtual ~Callback2Action() {}
};

template <class P1, class P2, class P3>
class Callback3Action : public detail::Counted {
public:
    virtual void Execute(P1 p1, P2 p2, P3 p3) = 0;
    virtual bool IsValid() const { return true; }
    virtual ~Callback3Action() {}
};

class GateAction : public detail::Counted {
public:
    virtual bool Execute() = 0;
    virtual bool IsValid() const { return true; }
    virtual ~GateAction() {}
};

namespace detail {

// The handle of every callback kind: one owned reference to an action, or null.
template <class Action>
class ActionHandle {
public:
    ActionHandle() : action_(nullptr) {}
    // Takes over a new action, whose count is already 1.
    explicit ActionHandle(Action* fresh) : action_(fresh) {}
    ActionHandle(const ActionHandle& other) : action_(other.action_) { Retain(action_); }
    ActionHandle(ActionHandle&& other) noexcept : action_(other.action_) {
        other.action_ = nullptr;
    }
    ~ActionHandle() { Drop(action_); }

    ActionHandle& operator=(const ActionHandle& other) {
        // The source first, so that assigning a handle to itself keeps the action.
        Retain(other.action_);
        Drop(action_);
        action_ = other.action_;
        return *this;
    }
    ActionHandle& operator=(ActionHandle&& other) noexcept {
        if (this != &other) {
            Drop(action_);
            action_ = other.action_;
            other.action_ = nullptr;
        }
        return *this;
    }

    void Clear() {
        Drop(action_);
        action_ = nullptr;
    }
    explicit operator bool() const { return action_ && action_->IsValid(); }
    Action* GetAction() const { return action_; }

protected:
    static void Retain(Action* a) {
        if (a) InterlockedIncrement(&a->count);
    }
    static void Drop(Action* a) {
        if (a && InterlockedDecrement(&a->count) == 0) delete a;
    }

    Action* action_;
};

}  // namespace detail

class Callback : public detail::ActionHandle<CallbackAction> {
public:
    using ActionHandle::ActionHandle;
    void operator()() const {
        if (action_) action_->Execute();
    }
    void Execute() const { (*this)(); }
};

template <class P1>
class Callback1 : public detail::ActionHandle<Callback1Action<P1>> {
public:
    using detail::ActionHandle<Callback1Action<P1>>::ActionHandle;
    void operator()(P1 p1) const {
        if (this->action_) this->action_->Execute(p1);
    }
};

template <class P1, class P2>
class Callback2 : public detail::ActionHandle<Callback2Action<P1, P2>> {
public:
    using detail::ActionHandle<Callback2Action<P1, P2>>::ActionHandle;
    void operator()(P1 p1, P2 p2) const {
        if (this->action_) this->action_->Execute(p1, p2);
    }
};

template <class P1, class P2, class P3>
class Callback3 : public detail::ActionHandle<Callback3Action<P1, P2, P3>> {
public:
    using detail::ActionHandle<Callback3Action<P1, P2, P3>>::ActionHandle;
    void operator()(P1 p1, P2 p2, P3 p3) const {
        if (this->action_) this->action_->Execute(p1, p2, p3);
    }
};

// The pointer values 0 (answers false) and 1 (answers true) are constants that are
// never counted or dereferenced.
class Gate {
public:
    Gate() : action_(nullptr) {}
    explicit Gate(bool answer) : action_(answer ? True() : nullptr) {}
    explicit Gate(GateAction* fresh) : action_(fresh) {}
    Gate(const Gate& other) : action_(other.action_) { Retain(action_); }
    Gate(Gate&& other) noexcept : action_(other.action_) { other.action_ = nullptr; }
    ~Gate() { Drop(action_); }

    Gate& operator=(const Gate& other) {
        Retain(other.action_);
        Drop(action_);
        action_ = other.action_;
        return *this;
    }
    Gate& operator=(Gate&& other) noexcept {
        if (this != &other) {
            Drop(action_);
            action_ = other.action_;
            other.action_ = nullptr;
        }
        return *this;
    }

    bool operator()() const {
        if (action_ == True()) return true;
        if (!action_) return false;
        return action_->Execute();
    }
    explicit operator bool() const { return IsReal(action_) && action_->IsValid(); }
    void Clear() {
        Drop(action_);
        action_ = nullptr;
    }
    GateAction* GetAction() const { return action_; }
    static bool IsReal(const GateAction* a) { return a && a != True(); }

private:
    static GateAction* True() { return reinterpret_cast<GateAction*>(static_cast<uintptr_t>(1)); }
    static void Retain(GateAction* a) {
        if (IsReal(a)) InterlockedIncrement(&a->count);
    }
    static void Drop(GateAction* a) {
        if (IsReal(a) && InterlockedDecrement(&a->count) == 0) delete a;
    }

    GateAction* action_;
};

// ---- Concrete actions ----

class CallbackForkAction : public CallbackAction {
public:
    CallbackForkAction(const Callback& first, const Callback& second)
        : first_(first), second_(second) {}
    void Execute() override {
        first_();
        second_();
    }

private:
    Callback first_;
    Callback second_;
};

template <class P1>
class Callback1ForkAction : public Callback1Action<P1> {
public:
    Callback1ForkAction(const Callback1<P1>& first, const Callback1<P1>& second)
        : first_(first), second_(second) {}
    void Execute(P1 p1) override {
        first_(p1);
        second_(p1);
    }

private:
    Callback1<P1> first_;
    Callback1<P1> second_;
};

template <class P1, class P2>
class Callback2ForkAction : public Callback2Action<P1, P2> {
public:
    Callback2ForkAction(const Callback2<P1, P2>& first, const Callback2<P1, P2>& second)
        : first_(first), second_(second) {}
    void Execute(P1 p1, P2 p2) override {
        first_(p1, p2);
        second_(p1, p2);
    }

private:
    Callback2<P1, P2> first_;
    Callback2<P1, P2> second_;
};

class GateForkAction : public GateAction {
public:
    GateForkAction(const Gate& first, const Gate& second) : first_(first), second_(second) {}
    bool Execute() override {
        first_();
        return second_();
    }

private:
    Gate first_;
    Gate second_;
};

class CallbackFnAction : public CallbackAction {
public:
    explicit CallbackFnAction(void (*fn)()) : fn_(fn) {}
    void Execute() override { fn_(); }

private:
    void (*fn_)();
};

template <class T, class M>
class CallbackMethodAction : public CallbackAction {
public:
    CallbackMethodAction(T* object, M method) : object_(object), method_(method) {}
    void Execute() override { (object_->*method_)(); }

private:
    T* object_;
    M method_;
};

template <class T, class M, class A1>
class CallbackMethodActionArg : public CallbackAction {
public:
    CallbackMethodActionArg(T* object, M method, A1 arg1)
        : object_(object), method_(method), arg1_(std::move(arg1)) {}
    void Execute() override { (object_->*method_)(arg1_); }

private:
    T* object_;
    M method_;
    A1 arg1_;
};

// Guarded method actions: run only while the object lives.
template <class T, class M>
class CallbackMethodActionPte : public CallbackAction {
public:
    CallbackMethodActionPte(T* object, M method) : object_(object), method_(method) {}
    void Execute() override {
        if (T* o = object_.Get()) (o->*method_)();
    }
    bool IsValid() const override { return object_.Get() != nullptr; }

private:
    Ptr<T> object_;
    M method_;
};

template <class T, class M, class A1>
class CallbackMethodActionArgPte : public CallbackAction {
public:
    CallbackMethodActionArgPte(T* object, M method, A1 arg1)
        : object_(object), method_(method), arg1_(std::move(arg1)) {}
    void Execute() override {
        if (T* o = object_.Get()) (o->*method_)(arg1_);
    }
    bool IsValid() const override { return object_.Get() != nullptr; }

private:
    Ptr<T> object_;
    M method_;
    A1 arg1_;
};

template <class T, class M, class A1, class A2>
class CallbackMethodActionArg2Pte : public CallbackAction {
public:
    CallbackMethodActionArg2Pte(T* object, M method, A1 arg1, A2 arg2)
        : object_(object), method_(method), arg1_(std::move(arg1)), arg2_(std::move(arg2)) {}
    void Execute() override {
        if (T* o = object_.Get()) (o->*method_)(arg1_, arg2_);
    }
    bool IsValid() const override { return object_.Get() != nullptr; }

private:
    Ptr<T> object_;
    M method_;
    A1 arg1_;
    A2 arg2_;
};

template <class T, class M, class A1, class A2, class A3, class A4>
class CallbackMethodActionArg4Pte : public CallbackAction {
public:
    CallbackMethodActionArg4Pte(T* object, M method, A1 arg1, A2 arg2, A3 arg3, A4 arg4)
        : object_(object),
          method_(method),
          arg1_(std::move(arg1)),
          arg2_(std::move(arg2)),
          arg3_(std::move(arg3)),
          arg4_(std::move(arg4)) {}
    void Execute() override {
        if (T* o = object_.Get()) (o->*method_)(arg1_, arg2_, arg3_, arg4_);
    }
    bool IsValid() const override { return object_.Get() != nullptr; }

private:
    Ptr<T> object_;
    M method_;
    A1 arg1_;
    A2 arg2_;
    A3 arg3_;
    A4 arg4_;
};

template <class T, class M, class P1>
class Callback1MethodActionPte : public Callback1Action<P1> {
public:
    Callback1MethodActionPte(T* object, M method) : object_(object), method_(method) {}
    void Execute(P1 p1) override {
        if (T* o = object_.Get()) (o->*method_)(p1);
    }
    bool IsValid() const override { return object_.Get() != nullptr; }

private:
    Ptr<T> object_;
    M method_;
};

template <class T, class M, class P1, class P2>
class Callback2MethodActionPte : public Callback2Action<P1, P2> {
public:
    Callback2MethodActionPte(T* object, M method) : object_(object), method_(method) {}
    void Execute(P1 p1, P2 p2) override {
        if (T* o = object_.Get()) (o->*method_)(p1, p2);
    }
    bool IsValid() const override { return object_.Get() != nullptr; }

private:
    Ptr<T> object_;
    M method_;
};

template <class T, class M, class P1, class P2, class P3>
class Callback3MethodActionPte : public Callback3Action<P1, P2, P3> {
public:
    Callback3MethodActionPte(T* object, M method) : object_(object), method_(method) {}
    void Execute(P1 p1, P2 p2, P3 p3) override {
        if (T* o = object_.Get()) (o->*method_)(p1, p2, p3);
    }
    bool IsValid() const override { return object_.Get() != nullptr; }

private:
    Ptr<T> object_;
    M method_;
};

template <class P1, class P2>
class CallbackActionCallArg2 : public CallbackAction {
public:
    CallbackActionCallArg2(const Callback2<P1, P2>& callback, std::decay_t<P1> arg1,
                           std::decay_t<P2> arg2)
        : callback_(callback), arg1_(std::move(arg1)), arg2_(std::move(arg2)) {}
    void Execute() override { callback_(arg1_, arg2_); }

private:
    Callback2<P1, P2> callback_;
    std::decay_t<P1> arg1_;
    std::decay_t<P2> arg2_;
};

// ---- Adding one callback to another ----

// The target runs both, itself first, when it holds a valid action; an empty
// target, or one whose object died, is replaced by the added callback.
inline Callback& operator<<(Callback& target, const Callback& added) {
    if (target) {
        target = Callback(new CallbackForkAction(target, added));
    } else {
        target = added;
    }
    return target;
}

template <class P1>
Callback1<P1>& operator<<(Callback1<P1>& target, const Callback1<P1>& added) {
    if (target) {
        target = Callback1<P1>(new Callback1ForkAction<P1>(target, added));
    } else {
        target = added;
    }
    return target;
}

template <class P1, class P2>
Callback2<P1, P2>& operator<<(Callback2<P1, P2>& target, const Callback2<P1, P2>& added) {
    if (target) {
        target = Callback2<P1, P2>(new Callback2ForkAction<P1, P2>(target, added));
    } else {
        target = added;
    }
    return target;
}

inline Gate& operator<<(Gate& target, const Gate& added) {
    if (target) {
        target = Gate(new GateForkAction(target, added));
    } else {
        target = added;
    }
    return target;
}

// ---- Makers ----

inline Callback MakeCallback(void (*fn)()) { return Callback(new CallbackFnAction(fn)); }

template <class T, class M>
Callback MakeCallback(T* object, M method) {
    return Callback(new CallbackMethodAction<T, M>(object, method));
}

template <class T, class M, class A1>
Callback MakeCallbackArg(T* object, M method, A1 arg1) {
    return Callback(
        new CallbackMethodActionArg<T, M, std::decay_t<A1>>(object, method, std::move(arg1)));
}

// Guarded: T derives from Pte<T>.
template <class T, class M>
Callback MakePteCallback(T* object, M method) {
    return Callback(new CallbackMethodActionPte<T, M>(object, method));
}

template <class T, class M, class A1>
Callback MakePteCallback(T* object, M method, A1 arg1) {
    return Callback(
        new CallbackMethodActionArgPte<T, M, std::decay_t<A1>>(object, method, std::move(arg1)));
}

template <class T, class M, class A1, class A2>
Callback MakePteCallback(T* object, M method, A1 arg1, A2 arg2) {
    return Callback(new CallbackMethodActionArg2Pte<T, M, std::decay_t<A1>, std::decay_t<A2>>(
        object, method, std::move(arg1), std::move(arg2)));
}

template <class T, class M, class A1, class A2, class A3, class A4>
Callback MakePteCallback(T* object, M method, A1 arg1, A2 arg2, A3 arg3, A4 arg4) {
    return Callback(new CallbackMethodActionArg4Pte<T, M, std::decay_t<A1>, std::decay_t<A2>,
                                                    std::decay_t<A3>, std::decay_t<A4>>(
        object, method, std::move(arg1), std::move(arg2), std::move(arg3), std::move(arg4)));
}

template <class T, class C, class P1>
Callback1<P1> MakePteCallback1(T* object, void (C::*method)(P1)) {
    using M = void (C::*)(P1);
    return Callback1<P1>(new Callback1MethodActionPte<T, M, P1>(object, method));
}

template <class T, class C, class P1, class P2>
Callback2<P1, P2> MakePteCallback2(T* object, void (C::*method)(P1, P2)) {
    using M = void (C::*)(P1, P2);
    return Callback2<P1, P2>(new Callback2MethodActionPte<T, M, P1, P2>(object, method));
}

template <class T, class C, class P1, class P2, class P3>
Callback3<P1, P2, P3> MakePteCallback3(T* object, void (C::*method)(P1, P2, P3)) {
    using M = void (C::*)(P1, P2, P3);
    return Callback3<P1, P2, P3>(new Callback3MethodActionPte<T, M, P1, P2, P3>(object, method));
}

template <class P1, class P2, class A1, class A2>
Callback MakeCallbackCall(const Callback2<P1, P2>& callback, A1 arg1, A2 arg2) {
    return Callback(new CallbackActionCallArg2<P1, P2>(callback, std::move(arg1), std::move(arg2)));
}

}  // namespace Gui
