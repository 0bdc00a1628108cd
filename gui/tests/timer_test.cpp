// Timer passes driven with chosen ticks, so the order and the repeats are exact.
#include "gui/timer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/lambda_callback.h"

namespace {

std::vector<std::string> g_log;

class Record : public Gui::CallbackAction {
public:
    explicit Record(std::string name, bool* destroyed = nullptr)
        : name_(std::move(name)), destroyed_(destroyed) {}
    ~Record() override {
        if (destroyed_) *destroyed_ = true;
    }
    void Execute() override { g_log.push_back(name_); }

private:
    std::string name_;
    bool* destroyed_;
};

Gui::Callback Rec(const std::string& name, bool* destroyed = nullptr) {
    return Gui::Callback(new Record(name, destroyed));
}

using testing_support::Do;

class TimeCallbacks : public ::testing::Test {
protected:
    void SetUp() override { g_log.clear(); }
    void TearDown() override { Gui::KillTimeCallback(nullptr, reinterpret_cast<void*>(~0ull)); }
};

int Ids[8];

TEST_F(TimeCallbacks, NoCallbackRunsInsideTheCallThatSetsIt) {
    Gui::SetTimeCallback(0, Rec("zero"));
    Gui::PostCallback(Rec("posted"));
    EXPECT_TRUE(g_log.empty());
    DWORD set_at = GetTickCount();
    Gui::ProcessTimeCallbacks(set_at - 10);  // not yet due
    EXPECT_TRUE(g_log.empty());
    Gui::ProcessTimeCallbacks(GetTickCount() + 2);
    EXPECT_EQ(g_log, (std::vector<std::string>{"zero", "posted"}));
}

TEST_F(TimeCallbacks, AnEntryRunsOnlyOnceTheTickIsPastItsDueTime) {
    DWORD before = GetTickCount();
    Gui::SetTimeCallback(100, Rec("a"));
    DWORD after = GetTickCount();
    Gui::ProcessTimeCallbacks(before + 100);  // due is at least this: not strictly past
    EXPECT_TRUE(g_log.empty());
    Gui::ProcessTimeCallbacks(after + 101);
    EXPECT_EQ(g_log, std::vector<std::string>{"a"});
}

TEST_F(TimeCallbacks, EntriesRunInDueOrderAndEqualDueTimesInInsertionOrder) {
    // Start at the beginning of a millisecond so that equal delays give equal ticks.
    DWORD t = GetTickCount();
    while (GetTickCount() == t) {
    }
    Gui::SetTimeCallback(1000, Rec("a"));
    Gui::SetTimeCallback(500, Rec("b"));
    Gui::SetTimeCallback(1000, Rec("c"));
    Gui::SetTimeCallback(500, Rec("d"));
    Gui::SetTimeCallback(-700, Rec("e"), &Ids[0]);
    Gui::ProcessTimeCallbacks(GetTickCount() + 1100);
    EXPECT_EQ(g_log, (std::vector<std::string>{"b", "d", "e", "a", "c"}));
}

TEST_F(TimeCallbacks, ARepeatingEntryRunsOncePerPassEveryPeriod) {
    DWORD now = GetTickCount() + 200;
    Gui::SetTimeCallback(-100, Rec("tick"), &Ids[0]);
    Gui::ProcessTimeCallbacks(now);
    EXPECT_EQ(g_log.size(), 1u);  // once, though it would be due again within the pass
    Gui::ProcessTimeCallbacks(now + 50);
    EXPECT_EQ(g_log.size(), 1u);
    Gui::ProcessTimeCallbacks(now + 101);
    EXPECT_EQ(g_log.size(), 2u);
    Gui::ProcessTimeCallbacks(now + 202);
    EXPECT_EQ(g_log.size(), 3u);
    EXPECT_TRUE(Gui::ExistsTimeCallback(&Ids[0]));
}

TEST_F(TimeCallbacks, KillingTheIdFromInsideTheCallbackStopsTheRepeat) {
    int runs = 0;
    Gui::SetTimeCallback(-10, Do([&] {
        if (++runs == 2) Gui::KillTimeCallback(&Ids[1]);
    }),
                         &Ids[1]);
    DWORD now = GetTickCount() + 20;
    for (int pass = 0; pass < 5; ++pass) Gui::ProcessTimeCallbacks(now + pass * 20);
    EXPECT_EQ(runs, 2);
    EXPECT_FALSE(Gui::ExistsTimeCallback(&Ids[1]));
}

TEST_F(TimeCallbacks, KillingTheRunningEntryLetsTheCallFinishFirst) {
    bool destroyed = false;
    bool destroyed_during_call = true;
    Gui::Callback self_killer = Do([&] {
        Gui::KillTimeCallback(&Ids[2]);
        destroyed_during_call = destroyed;
        g_log.push_back("ran");
    });
    // A fork keeps the probe alive exactly as long as the entry's callback.
    Gui::Callback entry = self_killer;
    entry << Rec("after", &destroyed);
    Gui::SetTimeCallback(5, entry, &Ids[2]);
    entry.Clear();
    self_killer.Clear();
    Gui::ProcessTimeCallbacks(GetTickCount() + 10);
    EXPECT_EQ(g_log, (std::vector<std::string>{"ran", "after"}));
    EXPECT_FALSE(destroyed_during_call);
    EXPECT_TRUE(destroyed);  // the entry went once the call returned
}

TEST_F(TimeCallbacks, KillingARangeRemovesExactlyTheIdsInside) {
    char base[8];
    for (int i = 0; i < 5; ++i) Gui::SetTimeCallback(1000, Rec(std::to_string(i)), base + i);
    Gui::KillTimeCallback(base + 1, base + 3);
    EXPECT_TRUE(Gui::ExistsTimeCallback(base + 0));
    EXPECT_FALSE(Gui::ExistsTimeCallback(base + 1));
    EXPECT_FALSE(Gui::ExistsTimeCallback(base + 2));
    EXPECT_TRUE(Gui::ExistsTimeCallback(base + 3));
    EXPECT_TRUE(Gui::ExistsTimeCallback(base + 4));
    Gui::KillTimeCallback(base + 4);
    EXPECT_FALSE(Gui::ExistsTimeCallback(base + 4));
    Gui::ProcessTimeCallbacks(GetTickCount() + 2000);
    EXPECT_EQ(g_log, (std::vector<std::string>{"0", "3"}));
}

TEST_F(TimeCallbacks, ACallbackWhoseObjectDiedIsRunAndDoesNothing) {
    struct Owner : Gui::Pte<Owner> {
        void Hit() { g_log.push_back("hit"); }
    };
    auto* owner = new Owner;
    Gui::SetTimeCallback(5, Gui::MakePteCallback(owner, &Owner::Hit), owner);
    Gui::SetTimeCallback(6, Rec("next"));
    delete owner;
    Gui::ProcessTimeCallbacks(GetTickCount() + 20);
    EXPECT_EQ(g_log, std::vector<std::string>{"next"});
    EXPECT_FALSE(Gui::ExistsTimeCallback(owner));
}

TEST_F(TimeCallbacks, CallbacksMayAddEntriesDuringAPass) {
    DWORD now = GetTickCount() + 50;
    Gui::SetTimeCallback(1, Do([] {
                             g_log.push_back("first");
                             Gui::SetTimeCallback(1, Rec("added"));
                             Gui::SetTimeCallback(5000, Rec("later"));
                         }));
    Gui::ProcessTimeCallbacks(now);
    EXPECT_EQ(g_log, (std::vector<std::string>{"first", "added"}));
}

TEST_F(TimeCallbacks, TimeCallbackMemberOwnsItsEntries) {
    {
        Gui::TimeCallback member;
        member.Set(10, Rec("dropped"));
        EXPECT_TRUE(member.Exists());
        member.KillSet(10, Rec("kept"));
        Gui::ProcessTimeCallbacks(GetTickCount() + 20);
        EXPECT_EQ(g_log, std::vector<std::string>{"kept"});
        member.Set(10, Rec("gone with the member"));
    }
    Gui::ProcessTimeCallbacks(GetTickCount() + 20);
    EXPECT_EQ(g_log, std::vector<std::string>{"kept"});
}

TEST_F(TimeCallbacks, TheTickWrapNeitherHastensNorHoldsBackAnEntry) {
    setenv("WIN32_TICK_START", "0xFFFFFF00", 1);
    DWORD start = GetTickCount();
    ASSERT_GE(start, 0xFFFFFF00u);
    ASSERT_LT(start, 0xFFFFFF40u);
    Gui::SetTimeCallback(0x200, Rec("past the wrap"));   // due near 0x100
    Gui::SetTimeCallback(0x40, Rec("before the wrap"));  // due near 0xFFFFFF40
    Gui::ProcessTimeCallbacks(0xFFFFFF30u);
    EXPECT_TRUE(g_log.empty());
    Gui::ProcessTimeCallbacks(0x00000020u);  // the counter wrapped
    EXPECT_EQ(g_log, std::vector<std::string>{"before the wrap"});
    Gui::ProcessTimeCallbacks(0x000000C0u);
    EXPECT_EQ(g_log.size(), 1u);
    Gui::ProcessTimeCallbacks(0x00000200u);
    EXPECT_EQ(g_log, (std::vector<std::string>{"before the wrap", "past the wrap"}));
    unsetenv("WIN32_TICK_START");
}

}  // namespace
