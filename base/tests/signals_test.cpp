#include "base/signals.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

using Log = std::vector<std::string>;

// A receiver that records its calls and can run an action from inside a slot.
class Receiver : public signals::has_slots<signals::single_threaded> {
public:
    Receiver(std::string name, Log* log) : name_(std::move(name)), log_(log) {}

    void OnEvent() {
        log_->push_back(name_);
        if (action_) {
            auto action = action_;  // the action may destroy this receiver
            action();
        }
    }
    void OnText(const std::wstring& text) {
        log_->push_back(name_ + ":" + std::string(text.begin(), text.end()));
        last_text_address = &text;
    }
    void OnProgress(float fraction, const std::wstring& speed, const std::wstring& size,
                    bool animate) {
        log_->push_back(name_ + ":" + std::to_string(static_cast<int>(fraction * 100)) + ":" +
                        std::string(speed.begin(), speed.end()) + ":" +
                        std::string(size.begin(), size.end()) + ":" + (animate ? "1" : "0"));
    }

    std::function<void()> action_;
    const std::wstring* last_text_address = nullptr;

private:
    std::string name_;
    Log* log_;
};

// has_slots is not the first base here, so the receiver's address and its slot-holder
// address differ.
class Painter {
public:
    virtual ~Painter() = default;
    int paint_count = 0;
};
class PanelReceiver : public Painter, public Receiver {
public:
    using Receiver::Receiver;
};

TEST(SignalsTest, EmittingWithoutConnectionsCallsNothing) {
    Log log;
    Receiver elsewhere("elsewhere", &log);
    signals::signal0<> other;
    other.connect(&elsewhere, &Receiver::OnEvent);

    signals::signal0<> empty;
    empty.emit();
    signals::signal4<float, const std::wstring&, const std::wstring&, bool> progress;
    progress.emit(0.5f, L"1 KB/s", L"2 MB", true);
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(empty.is_empty());
}

TEST(SignalsTest, SlotsAreCalledInConnectionOrderWithTheArgumentsAsGiven) {
    Log log;
    Receiver a("a", &log), b("b", &log), c("c", &log);
    signals::signal1<const std::wstring&> text;
    text.connect(&b, &Receiver::OnText);
    text.connect(&a, &Receiver::OnText);
    text.connect(&c, &Receiver::OnText);

    const std::wstring message = L"disk full";
    text.emit(message);
    EXPECT_EQ(log, (Log{"b:disk full", "a:disk full", "c:disk full"}));
    // The text reaches the slot by reference, not as a copy.
    EXPECT_EQ(a.last_text_address, &message);

    log.clear();
    signals::signal4<float, const std::wstring&, const std::wstring&, bool> progress;
    progress.connect(&a, &Receiver::OnProgress);
    progress(0.25f, L"3 KB/s", L"1 MB/4 MB", false);
    EXPECT_EQ(log, Log{"a:25:3 KB/s:1 MB/4 MB:0"});
}

TEST(SignalsTest, ByValueArgumentsReachEverySlotIntact) {
    Log log;
    struct Sink : signals::has_slots<> {
        Log* log;
        void Take(std::string text, int n) { log->push_back(text + std::to_string(n)); }
    } first, second;
    first.log = second.log = &log;
    signals::signal2<std::string, int> sig;
    sig.connect(&first, &Sink::Take);
    sig.connect(&second, &Sink::Take);
    sig.emit("long enough to live on the heap, not in the small buffer ", 7);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], log[1]);
}

TEST(SignalsTest, ConnectingTwiceCallsTwiceAndDestroyingTheReceiverRemovesBoth) {
    Log log;
    signals::signal0<> sig;
    auto receiver = std::make_unique<Receiver>("r", &log);
    Receiver stays("stays", &log);
    sig.connect(receiver.get(), &Receiver::OnEvent);
    sig.connect(&stays, &Receiver::OnEvent);
    sig.connect(receiver.get(), &Receiver::OnEvent);
    sig.emit();
    EXPECT_EQ(log, (Log{"r", "stays", "r"}));

    log.clear();
    receiver.reset();
    sig.emit();
    EXPECT_EQ(log, Log{"stays"});
}

TEST(SignalsTest, DestroyingAReceiverOfSeveralSignalsLeavesOnlyTheOtherSlots) {
    Log log;
    signals::signal0<> finished, state;
    signals::signal1<const std::wstring&> error;
    auto panel = std::make_unique<PanelReceiver>("panel", &log);
    Receiver other("other", &log);
    finished.connect(panel.get(), &Receiver::OnEvent);
    state.connect(panel.get(), &PanelReceiver::OnEvent);
    state.connect(&other, &Receiver::OnEvent);
    state.connect(panel.get(), &Receiver::OnEvent);
    error.connect(panel.get(), &Receiver::OnText);
    error.connect(&other, &Receiver::OnText);

    panel.reset();
    finished.emit();
    state.emit();
    error.emit(L"x");
    EXPECT_EQ(log, (Log{"other", "other:x"}));
    EXPECT_TRUE(finished.is_empty());
}

// Stands in for a signal, to see whether a receiver still calls the one it was connected to.
class SpySignal : public signals::_signal_base<signals::single_threaded> {
public:
    explicit SpySignal(int* calls) : calls_(calls) {}
    void slot_disconnect(signals::has_slots<signals::single_threaded>*) override { ++*calls_; }
    void slot_duplicate(const signals::has_slots<signals::single_threaded>*,
                        signals::has_slots<signals::single_threaded>*) override {
        ++*calls_;
    }

private:
    int* calls_;
};

TEST(SignalsTest, AReceiverOutlivingItsSignalCallsNothingOnItWhenDestroyed) {
    using Signal = signals::signal0<>;
    static_assert(sizeof(SpySignal) <= sizeof(Signal));
    Log log;
    alignas(Signal) unsigned char storage[sizeof(Signal)];
    auto* sig = new (storage) Signal;
    auto receiver = std::make_unique<Receiver>("r", &log);
    sig->connect(receiver.get(), &Receiver::OnEvent);
    sig->emit();
    sig->~Signal();

    // Whatever lives at the old address now must not hear from the receiver.
    int calls = 0;
    auto* spy = new (storage) SpySignal(&calls);
    Receiver copy(*receiver);
    receiver.reset();
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(log, Log{"r"});
    spy->~SpySignal();
}

TEST(SignalsTest, ASlotThatDestroysItsOwnReceiverLetsTheEmissionGoOn) {
    Log log;
    signals::signal0<> sig;
    Receiver before("before", &log), after("after", &log);
    auto* dying = new Receiver("dying", &log);
    sig.connect(&before, &Receiver::OnEvent);
    sig.connect(dying, &Receiver::OnEvent);
    sig.connect(dying, &Receiver::OnEvent);
    sig.connect(&after, &Receiver::OnEvent);
    dying->action_ = [dying] { delete dying; };
    sig.emit();
    EXPECT_EQ(log, (Log{"before", "dying", "after"}));

    log.clear();
    sig.emit();
    EXPECT_EQ(log, (Log{"before", "after"}));
}

// For every slot position k and every receiver j, the slot at k destroys receiver j: every
// receiver still alive at its turn is called once, none after its death, and the next
// emission reaches exactly the survivors.
TEST(SignalsTest, ReceiversDyingAtEveryPointOfAnEmissionAreNeverCalledDead) {
    constexpr int kCount = 5;
    for (int killer = 0; killer < kCount; ++killer) {
        for (int victim = 0; victim < kCount; ++victim) {
            SCOPED_TRACE("killer " + std::to_string(killer) + " victim " + std::to_string(victim));
            Log log;
            signals::signal0<> sig;
            std::vector<std::unique_ptr<Receiver>> receivers;
            for (int i = 0; i < kCount; ++i) {
                receivers.push_back(std::make_unique<Receiver>(std::to_string(i), &log));
                sig.connect(receivers.back().get(), &Receiver::OnEvent);
            }
            receivers[killer]->action_ = [&receivers, victim] { receivers[victim].reset(); };
            sig.emit();

            Log expected;
            for (int i = 0; i < kCount; ++i) {
                if (i != victim || victim <= killer) expected.push_back(std::to_string(i));
            }
            EXPECT_EQ(log, expected);

            log.clear();
            for (auto& r : receivers) {
                if (r) r->action_ = nullptr;
            }
            sig.emit();
            expected.clear();
            for (int i = 0; i < kCount; ++i) {
                if (i != victim) expected.push_back(std::to_string(i));
            }
            EXPECT_EQ(log, expected);
        }
    }
}

TEST(SignalsTest, ASlotThatDisconnectsOtherReceiversSkipsTheirPendingCalls) {
    Log log;
    signals::signal0<> sig;
    Receiver a("a", &log), b("b", &log), c("c", &log);
    sig.connect(&a, &Receiver::OnEvent);
    sig.connect(&b, &Receiver::OnEvent);
    sig.connect(&c, &Receiver::OnEvent);
    a.action_ = [&] {
        c.disconnect_all();
        sig.disconnect(&b);
    };
    sig.emit();
    EXPECT_EQ(log, Log{"a"});

    log.clear();
    a.action_ = nullptr;
    sig.emit();
    EXPECT_EQ(log, Log{"a"});
}

TEST(SignalsTest, ASlotThatDisconnectsEverythingEndsTheEmissionQuietly) {
    Log log;
    signals::signal0<> sig;
    Receiver a("a", &log), b("b", &log);
    sig.connect(&a, &Receiver::OnEvent);
    sig.connect(&b, &Receiver::OnEvent);
    a.action_ = [&] { sig.disconnect_all(); };
    sig.emit();
    EXPECT_EQ(log, Log{"a"});
    EXPECT_TRUE(sig.is_empty());
}

TEST(SignalsTest, ASlotThatDestroysTheSignalEndsTheEmission) {
    Log log;
    auto* sig = new signals::signal0<>;
    Receiver a("a", &log), b("b", &log);
    sig->connect(&a, &Receiver::OnEvent);
    sig->connect(&b, &Receiver::OnEvent);
    a.action_ = [sig] { delete sig; };
    sig->emit();
    EXPECT_EQ(log, Log{"a"});
    // Both receivers have forgotten the dead signal: a copy of one would otherwise ask it
    // for connections.
    a.action_ = nullptr;
    Receiver copy(a);
    EXPECT_EQ(log, Log{"a"});
}

TEST(SignalsTest, DestroyingTheSignalDuringANestedEmissionEndsBothLevels) {
    Log log;
    auto* sig = new signals::signal0<>;
    Receiver outer("outer", &log), inner("inner", &log), last("last", &log);
    sig->connect(&outer, &Receiver::OnEvent);
    sig->connect(&inner, &Receiver::OnEvent);
    sig->connect(&last, &Receiver::OnEvent);
    bool nested = false;
    outer.action_ = [&] {
        if (nested) return;
        nested = true;
        sig->emit();
    };
    inner.action_ = [&] {
        if (nested) delete sig;
    };
    sig->emit();
    EXPECT_EQ(log, (Log{"outer", "outer", "inner"}));
}

TEST(SignalsTest, ANestedEmissionKeepsConnectionsRemovedInItGoneForTheOuterOne) {
    Log log;
    signals::signal0<> sig;
    Receiver a("a", &log), c("c", &log);
    auto b = std::make_unique<Receiver>("b", &log);
    sig.connect(&a, &Receiver::OnEvent);
    sig.connect(b.get(), &Receiver::OnEvent);
    sig.connect(&c, &Receiver::OnEvent);
    bool nested = false;
    a.action_ = [&] {
        if (nested) return;
        nested = true;
        sig.emit();  // a, b, c; then b dies inside c below
    };
    c.action_ = [&] { b.reset(); };
    sig.emit();
    EXPECT_EQ(log, (Log{"a", "a", "b", "c", "c"}));
}

TEST(SignalsTest, ConnectionsMadeDuringAnEmissionAreCalledFromTheNextOne) {
    Log log;
    signals::signal0<> sig;
    Receiver a("a", &log), late("late", &log);
    sig.connect(&a, &Receiver::OnEvent);
    a.action_ = [&] { sig.connect(&late, &Receiver::OnEvent); };
    sig.emit();
    EXPECT_EQ(log, Log{"a"});

    log.clear();
    a.action_ = nullptr;
    sig.emit();
    EXPECT_EQ(log, (Log{"a", "late"}));
}

TEST(SignalsTest, ACopiedReceiverHasConnectionsOfItsOwn) {
    Log log;
    signals::signal0<> sig;
    signals::signal1<const std::wstring&> text;
    auto original = std::make_unique<Receiver>("r", &log);
    sig.connect(original.get(), &Receiver::OnEvent);
    sig.connect(original.get(), &Receiver::OnEvent);
    text.connect(original.get(), &Receiver::OnText);
    Receiver copy(*original);

    sig.emit();
    EXPECT_EQ(log.size(), 4u);  // two connections each

    log.clear();
    original.reset();
    sig.emit();
    text.emit(L"t");
    EXPECT_EQ(log, (Log{"r", "r", "r:t"}));
    EXPECT_EQ(copy.last_text_address != nullptr, true);
}

TEST(SignalsTest, ACopiedSignalReachesTheSameReceiversUntilTheyDie) {
    Log log;
    signals::signal0<> sig;
    auto a = std::make_unique<Receiver>("a", &log);
    Receiver b("b", &log);
    sig.connect(a.get(), &Receiver::OnEvent);
    sig.connect(&b, &Receiver::OnEvent);
    signals::signal0<> copy(sig);
    copy.emit();
    EXPECT_EQ(log, (Log{"a", "b"}));

    log.clear();
    a.reset();
    sig.emit();
    copy.emit();
    EXPECT_EQ(log, (Log{"b", "b"}));
}

TEST(SignalsTest, ADisconnectedReceiverIsNoLongerCalledAndCanReconnect) {
    Log log;
    signals::signal0<> sig;
    Receiver a("a", &log), b("b", &log);
    sig.connect(&a, &Receiver::OnEvent);
    sig.connect(&b, &Receiver::OnEvent);
    sig.disconnect(&a);
    sig.emit();
    EXPECT_EQ(log, Log{"b"});

    log.clear();
    sig.connect(&a, &Receiver::OnEvent);
    sig.emit();
    EXPECT_EQ(log, (Log{"b", "a"}));
}

TEST(SignalsTest, ANullReceiverConnectsNothing) {
    signals::signal0<> sig;
    sig.connect(static_cast<Receiver*>(nullptr), &Receiver::OnEvent);
    EXPECT_TRUE(sig.is_empty());
    sig.emit();
}

}  // namespace
