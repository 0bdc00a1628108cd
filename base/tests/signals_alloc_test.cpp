// Signals when an allocation fails in the middle of a connect or a copy: the failure
// propagates, and neither side keeps a connection to an object that does not exist.
#include "base/signals.h"

#include <gtest/gtest.h>

#include <cstdlib>
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
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using Log = std::vector<std::string>;

class Receiver : public signals::has_slots<> {
public:
    Receiver(const char* name, Log* log) : name_(name), log_(log) {}
    void OnEvent() { log_->push_back(name_); }

private:
    const char* name_;
    Log* log_;
};

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

// Room for a receiver that may be destroyed and replaced by a ghost at the same address.
struct ReceiverStorage {
    alignas(Receiver) unsigned char bytes[sizeof(Receiver)];
};

TEST(SignalsAllocationTest, AFailedConnectLeavesNoConnectionToOutliveTheReceiver) {
    const int failures = FailEachAllocationInTurn(
        [] {
            Log log;
            signals::signal0<> sig;
            Receiver kept("kept", &log);
            sig.connect(&kept, &Receiver::OnEvent);
            ReceiverStorage storage;
            auto* receiver = new (&storage) Receiver("receiver", &log);
            try {
                sig.connect(receiver, &Receiver::OnEvent);
            } catch (...) {
                // A ghost at the dead receiver's address tells whether the signal still
                // calls there.
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
    EXPECT_GE(failures, 2);  // the connection and its list entry at least
}

TEST(SignalsAllocationTest, AFailedReceiverCopyLeavesTheSignalsOnlyTheOriginal) {
    Log log;
    signals::signal0<> first, second;
    Receiver original("original", &log);
    first.connect(&original, &Receiver::OnEvent);
    first.connect(&original, &Receiver::OnEvent);
    second.connect(&original, &Receiver::OnEvent);
    ReceiverStorage storage;

    const int failures = FailEachAllocationInTurn(
        [&] {
            auto* copy = new (&storage) Receiver(original);
            copy->~Receiver();
        },
        [&] {
            // The copy never finished; a ghost at its address must not be called.
            auto* ghost = new (&storage) Receiver("ghost", &log);
            log.clear();
            first.emit();
            second.emit();
            EXPECT_EQ(log, (Log{"original", "original", "original"}));
            ghost->~Receiver();
        });
    EXPECT_GE(failures, 3);
}

// Stands where a failed signal copy was, counting what receivers still ask of it.
class SpySignal : public signals::_signal_base<signals::single_threaded> {
public:
    explicit SpySignal(int* calls) : calls_(calls) {}
    void slot_disconnect(signals::has_slots<>*) override { ++*calls_; }
    void slot_duplicate(const signals::has_slots<>*, signals::has_slots<>*) override {
        ++*calls_;
    }

private:
    int* calls_;
};

TEST(SignalsAllocationTest, AFailedSignalCopyIsForgottenByEveryReceiver) {
    using Signal = signals::signal0<>;
    static_assert(sizeof(SpySignal) <= sizeof(Signal));
    Log log;
    Signal sig;
    alignas(Signal) unsigned char storage[sizeof(Signal)];

    const int failures = FailEachAllocationInTurn(
        [&] {
            Receiver a("a", &log), b("b", &log);
            sig.connect(&a, &Receiver::OnEvent);
            sig.connect(&b, &Receiver::OnEvent);
            sig.connect(&a, &Receiver::OnEvent);
            Signal* copy = nullptr;
            try {
                copy = new (storage) Signal(sig);
            } catch (...) {
                int calls = 0;
                auto* spy = new (storage) SpySignal(&calls);
                {
                    // Copies and deaths of the receivers reach only live signals.
                    Receiver a_copy(a);
                }
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
