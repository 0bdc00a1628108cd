#include "base/signals.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

// The n-th allocation of this thread from now fails; -1 lets every allocation through.
thread_local int g_fail_countdown = -1;

}  // namespace

void* operator new(std::size_t size) {
    if (g_fail_countdown >= 0 && g_fail_countdown-- == 0) throw std::bad_alloc();
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
// Every form that the runtime would otherwise serve from its own heap, so that what this
// malloc hands out is always given back to free.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size == 0 ? 1 : size);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

using Log = std::vector<std::string>;
using Signal = signals::signal0<>;
using TextSignal = signals::signal1<const std::wstring&>;

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// A receiver that records its calls and can run an action from inside a slot.
class Receiver : public signals::has_slots<> {
public:
    Receiver(std::string name, Log* log) : name_(std::move(name)), log_(log) {}

    void OnEvent() {
        log_->push_back(name_);
        if (auto action = action_) action();  // a copy: the action may destroy this receiver
    }
    void OnText(const std::wstring& text) {
        log_->push_back(name_ + ":" + Narrow(text));
        last_text_address = &text;
    }
    void OnProgress(float fraction, const std::wstring& speed, const std::wstring& size,
                    bool animate) {
        log_->push_back(name_ + ":" + std::to_string(int(fraction * 100)) + ":" + Narrow(speed) +
                        ":" + Narrow(size) + ":" + (animate ? "1" : "0"));
    }
    void Take(std::string text, int n) { log_->push_back(text + std::to_string(n)); }

    std::function<void()> action_;
    const std::wstring* last_text_address = nullptr;

private:
    std::string name_;
    Log* log_;
};

template <class S>
void Connect(S& sig, std::initializer_list<Receiver*> receivers) {
    for (Receiver* r : receivers) sig.connect(r, &Receiver::OnEvent);
}

// has_slots is not the first base here, so the receiver's address and its slot-holder
// address differ.
struct Painter {
    virtual ~Painter() = default;
};
struct PanelReceiver : Painter, Receiver {
    using Receiver::Receiver;
};

// Stands where a signal was, counting what receivers still ask of it.
class SpySignal : public signals::_signal_base<signals::single_threaded> {
public:
    explicit SpySignal(int* calls) : calls_(calls) {}
    void slot_disconnect(signals::has_slots<>*) override { ++*calls_; }
    void slot_duplicate(const signals::has_slots<>*, signals::has_slots<>*) override { ++*calls_; }

private:
    int* calls_;
};
static_assert(sizeof(SpySignal) <= sizeof(Signal));

// Room for an object that may be destroyed and replaced by another at the same address.
template <class T>
struct Storage {
    alignas(T) unsigned char bytes[sizeof(T)];
};

TEST(SignalsTest, SlotsAreCalledInConnectionOrderWithTheArgumentsAsGiven) {
    Log log;
    Receiver a("a", &log), b("b", &log), c("c", &log);
    Signal empty, other;
    other.connect(&c, &Receiver::OnEvent);
    empty.emit();
    empty.connect(static_cast<Receiver*>(nullptr), &Receiver::OnEvent);
    EXPECT_TRUE(empty.is_empty());

    TextSignal text;
    for (Receiver* r : {&b, &a, &c}) text.connect(r, &Receiver::OnText);
    const std::wstring message = L"disk full";
    text.emit(message);
    EXPECT_EQ(a.last_text_address, &message);  // by reference, not a copy
    signals::signal4<float, const std::wstring&, const std::wstring&, bool> progress;
    progress.connect(&a, &Receiver::OnProgress);
    progress(0.25f, L"3 KB/s", L"1 MB/4 MB", false);
    // By-value arguments reach every slot intact.
    signals::signal2<std::string, int> by_value;
    for (Receiver* r : {&a, &b}) by_value.connect(r, &Receiver::Take);
    const std::string heap = "long enough to live on the heap, not in the small buffer ";
    by_value.emit(heap, 7);
    EXPECT_EQ(log, (Log{"b:disk full", "a:disk full", "c:disk full", "a:25:3 KB/s:1 MB/4 MB:0",
                        heap + "7", heap + "7"}));
}

TEST(SignalsTest, DisconnectingOrDestroyingAReceiverRemovesAllItsConnections) {
    Log log;
    Signal finished, state;
    TextSignal error;
    auto panel = std::make_unique<PanelReceiver>("panel", &log);
    Receiver other("other", &log);
    finished.connect(panel.get(), &Receiver::OnEvent);
    state.connect(panel.get(), &PanelReceiver::OnEvent);
    state.connect(&other, &Receiver::OnEvent);
    state.connect(panel.get(), &Receiver::OnEvent);
    error.connect(panel.get(), &Receiver::OnText);
    error.connect(&other, &Receiver::OnText);
    state.emit();
    EXPECT_EQ(log, (Log{"panel", "other", "panel"}));  // connected twice: called twice

    log.clear();
    panel.reset();
    finished.emit(), state.emit(), error.emit(L"x");
    EXPECT_EQ(log, (Log{"other", "other:x"}));
    EXPECT_TRUE(finished.is_empty());

    log.clear();
    Receiver again("again", &log);
    state.connect(&again, &Receiver::OnEvent);
    state.disconnect(&other);
    state.emit();
    state.connect(&other, &Receiver::OnEvent);
    state.emit();
    EXPECT_EQ(log, (Log{"again", "again", "other"}));
}

TEST(SignalsTest, AReceiverOutlivingItsSignalCallsNothingOnItWhenDestroyed) {
    Log log;
    Storage<Signal> storage;
    auto* sig = new (&storage) Signal;
    auto receiver = std::make_unique<Receiver>("r", &log);
    sig->connect(receiver.get(), &Receiver::OnEvent);
    sig->emit();
    sig->~Signal();

    // Whatever lives at the old address now must not hear from the receiver.
    int calls = 0;
    auto* spy = new (&storage) SpySignal(&calls);
    Receiver copy(*receiver);
    receiver.reset();
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(log, Log{"r"});
    spy->~SpySignal();
}

// For every slot position k and every receiver j, the slot at k destroys receiver j (itself
// too): every receiver still alive at its turn is called once, none after its death, and
// the next emission reaches exactly the survivors.
TEST(SignalsTest, ReceiversDyingAtEveryPointOfAnEmissionAreNeverCalledDead) {
    constexpr int kCount = 5;
    for (int killer = 0; killer < kCount; ++killer) {
        for (int victim = 0; victim < kCount; ++victim) {
            SCOPED_TRACE("killer " + std::to_string(killer) + " victim " + std::to_string(victim));
            Log log, expected;
            Signal sig;
            std::vector<std::unique_ptr<Receiver>> receivers;
            for (int i = 0; i < kCount; ++i) {
                receivers.push_back(std::make_unique<Receiver>(std::to_string(i), &log));
                sig.connect(receivers.back().get(), &Receiver::OnEvent);
            }
            receivers[killer]->action_ = [&receivers, victim] { receivers[victim].reset(); };
            sig.emit();
            for (auto& r : receivers)
                if (r) r->action_ = nullptr;
            sig.emit();
            for (int i = 0; i < kCount; ++i)
                if (i != victim || victim <= killer) expected.push_back(std::to_string(i));
            for (int i = 0; i < kCount; ++i)
                if (i != victim) expected.push_back(std::to_string(i));
            EXPECT_EQ(log, expected);
        }
    }
}

TEST(SignalsTest, ASlotThatDisconnectsOthersSkipsTheirPendingCalls) {
    Log log;
    Signal sig, all;
    Receiver a("a", &log), b("b", &log), c("c", &log);
    Connect(sig, {&a, &b, &c});
    a.action_ = [&] {
        c.disconnect_all();
        sig.disconnect(&b);
    };
    sig.emit();
    a.action_ = nullptr;
    sig.emit();
    EXPECT_EQ(log, (Log{"a", "a"}));

    log.clear();
    Connect(all, {&b, &c});
    b.action_ = [&] { all.disconnect_all(); };
    all.emit();
    EXPECT_EQ(log, Log{"b"});
    EXPECT_TRUE(all.is_empty());
}

TEST(SignalsTest, ASlotThatDestroysTheSignalEndsEveryLevelOfTheEmission) {
    Log log;
    auto* sig = new Signal;
    Receiver a("a", &log), b("b", &log);
    Connect(*sig, {&a, &b});
    a.action_ = [sig] { delete sig; };
    sig->emit();
    EXPECT_EQ(log, Log{"a"});
    // Both receivers have forgotten the dead signal: a copy of one would otherwise ask it
    // for connections.
    a.action_ = nullptr;
    Receiver copy(a);

    log.clear();
    sig = new Signal;
    Receiver outer("outer", &log), inner("inner", &log), last("last", &log);
    Connect(*sig, {&outer, &inner, &last});
    bool nested = false;
    outer.action_ = [&] {
        if (!nested) nested = true, sig->emit();
    };
    inner.action_ = [&] {
        if (nested) delete sig;
    };
    sig->emit();
    EXPECT_EQ(log, (Log{"outer", "outer", "inner"}));
}

TEST(SignalsTest, ChangesInANestedEmissionHoldForTheOuterOneButNewSlotsWaitForTheNext) {
    Log log;
    Signal sig;
    Receiver a("a", &log), c("c", &log), late("late", &log);
    auto b = std::make_unique<Receiver>("b", &log);
    Connect(sig, {&a, b.get(), &c});
    bool nested = false;
    a.action_ = [&] {
        if (!nested) nested = true, sig.emit();  // a, b, c; then b dies inside c below
    };
    c.action_ = [&] {
        b.reset();
        sig.connect(&late, &Receiver::OnEvent);
    };
    sig.emit();
    EXPECT_EQ(log, (Log{"a", "a", "b", "c", "c"}));
    log.clear();
    c.action_ = nullptr;
    sig.emit();
    EXPECT_EQ(log, (Log{"a", "c", "late", "late"}));
}

TEST(SignalsTest, CopiesOfReceiversAndSignalsHaveConnectionsOfTheirOwn) {
    Log log;
    Signal sig;
    TextSignal text;
    auto original = std::make_unique<Receiver>("r", &log);
    Receiver b("b", &log);
    Connect(sig, {original.get(), original.get()});
    text.connect(original.get(), &Receiver::OnText);
    Receiver copy(*original);
    sig.emit();
    EXPECT_EQ(log.size(), 4u);  // two connections each

    log.clear();
    original.reset();
    sig.emit(), text.emit(L"t");
    EXPECT_EQ(log, (Log{"r", "r", "r:t"}));

    log.clear();
    sig.disconnect_all();
    auto a = std::make_unique<Receiver>("a", &log);
    Connect(sig, {a.get(), &b});
    Signal sig_copy(sig);
    a.reset();
    sig.emit(), sig_copy.emit();
    EXPECT_EQ(log, (Log{"b", "b"}));
}

// Runs op with its n-th allocation failing, for n = 0, 1, 2, ... until op succeeds; after
// each failure, check() looks at what is left. Answers how many failures were seen.
template <class Op, class Check>
int FailEachAllocationInTurn(Op op, Check check) {
    for (int n = 0; n < 100; ++n) {
        bool failed = false;
        g_fail_countdown = n;
        try {
            op();
        } catch (const std::bad_alloc&) {
            failed = true;
        }
        g_fail_countdown = -1;
        if (!failed) return n;
        SCOPED_TRACE("allocation " + std::to_string(n) + " failed");
        check();
    }
    ADD_FAILURE() << "the operation never succeeded";
    return 100;
}

// When an allocation fails in a connect or a copy, neither side keeps a connection to an
// object that does not exist: a ghost at the failed object's address is never called.
TEST(SignalsTest, AFailedConnectOrReceiverCopyLeavesNoConnectionToAGhost) {
    const int connect_failures = FailEachAllocationInTurn(
        [] {
            Log log;
            Signal sig;
            Receiver kept("kept", &log);
            sig.connect(&kept, &Receiver::OnEvent);
            Storage<Receiver> storage;
            auto* receiver = new (&storage) Receiver("receiver", &log);
            try {
                sig.connect(receiver, &Receiver::OnEvent);
            } catch (...) {
                receiver->~Receiver();
                auto* ghost = new (&storage) Receiver("ghost", &log);
                sig.emit();
                EXPECT_EQ(log, Log{"kept"});
                ghost->~Receiver();
                throw;
            }
            receiver->~Receiver();
        },
        [] {});
    EXPECT_GE(connect_failures, 2);  // the connection and its list entry at least

    Log log;
    Signal first, second;
    Receiver original("original", &log);
    Connect(first, {&original, &original});
    Connect(second, {&original});
    Storage<Receiver> storage;
    auto copy = [&] { (new (&storage) Receiver(original))->~Receiver(); };
    auto check = [&] {
        auto* ghost = new (&storage) Receiver("ghost", &log);
        log.clear();
        first.emit(), second.emit();
        EXPECT_EQ(log, (Log{"original", "original", "original"}));
        ghost->~Receiver();
    };
    EXPECT_GE(FailEachAllocationInTurn(copy, check), 3);
}

TEST(SignalsTest, AFailedSignalCopyIsForgottenByEveryReceiver) {
    Log log;
    Signal sig;
    Storage<Signal> storage;
    const int failures = FailEachAllocationInTurn(
        [&] {
            Receiver a("a", &log), b("b", &log);
            Connect(sig, {&a, &b, &a});
            Signal* copy = nullptr;
            try {
                copy = new (&storage) Signal(sig);
            } catch (...) {
                int calls = 0;
                auto* spy = new (&storage) SpySignal(&calls);
                { Receiver a_copy(a); }  // copies and deaths reach only live signals
                sig.disconnect_all();
                EXPECT_EQ(calls, 0);
                spy->~SpySignal();
                throw;
            }
            log.clear();
            copy->emit();
            EXPECT_EQ(log, (Log{"a", "b", "a"}));
            copy->~Signal();
        },
        [] {});
    EXPECT_GE(failures, 3);
}

}  // namespace
