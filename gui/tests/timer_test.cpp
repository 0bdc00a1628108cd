// Timer passes driven with chosen ticks, so the order and the repeats are exact.
#include "gui/timer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/lambda_callback.h"
#include "testing/scoped_env.h"

namespace {

using Log = std::vector<std::string>;
using testing_support::Do;

Log g_log;

Gui::Callback Rec(const std::string& name, std::atomic<int>* destroyed = nullptr) {
    return Do([name] { g_log.push_back(name); }, destroyed);
}

class TimeCallbacks : public ::testing::Test {
protected:
    void SetUp() override { g_log.clear(); }
    void TearDown() override { Gui::KillTimeCallback(nullptr, reinterpret_cast<void*>(~0ull)); }
    char ids_[8] = {};
};

TEST_F(TimeCallbacks, EntriesRunInDueOrderOncePastTheirDueTickNeverInsideTheCall) {
    // From the start of a millisecond, so that equal delays give equal ticks.
    for (DWORD t = GetTickCount(); GetTickCount() == t;) {
    }
    const DWORD before = GetTickCount();
    for (auto [delay, name] : {std::pair{1000, "a"}, {500, "b"}, {1000, "c"}, {500, "d"}})
        Gui::SetTimeCallback(delay, Rec(name));
    Gui::SetTimeCallback(-700, Rec("e"), ids_);
    Gui::SetTimeCallback(0, Rec("zero"));
    Gui::PostCallback(Rec("posted"));
    EXPECT_TRUE(g_log.empty());
    Gui::ProcessTimeCallbacks(before);  // due is at least this: not strictly past
    EXPECT_TRUE(g_log.empty());
    Gui::ProcessTimeCallbacks(GetTickCount() + 1100);
    EXPECT_EQ(g_log, (Log{"zero", "posted", "b", "d", "e", "a", "c"}));
}

TEST_F(TimeCallbacks, ARepeatRunsOncePerPassEveryPeriodUntilKilledEvenFromItsOwnCall) {
    const DWORD now = GetTickCount() + 1000;
    Gui::SetTimeCallback(-100, Rec("tick"), ids_);
    for (DWORD pass : {0, 50, 101, 202}) Gui::ProcessTimeCallbacks(now + pass);
    EXPECT_EQ(g_log.size(), 3u);  // once at 0 though due again within that pass; not at 50
    EXPECT_TRUE(Gui::ExistsTimeCallback(ids_));
    int runs = 0;
    Gui::SetTimeCallback(-10, Do([&] {
        if (++runs == 2) Gui::KillTimeCallback(ids_ + 1);
    }),
                         ids_ + 1);
    for (int pass = 0; pass < 5; ++pass) Gui::ProcessTimeCallbacks(now + 1000 + pass * 20);
    EXPECT_EQ(runs, 2);
    EXPECT_FALSE(Gui::ExistsTimeCallback(ids_ + 1));
    // An entry killed from its own call goes once the call has returned.
    std::atomic<int> destroyed{0};
    int destroyed_during_call = -1;
    Gui::Callback entry = Do([&] {
        Gui::KillTimeCallback(ids_ + 2);
        destroyed_during_call = destroyed;
    });
    entry << Rec("after", &destroyed);
    Gui::SetTimeCallback(5, entry, ids_ + 2);
    entry.Clear();
    g_log.clear();
    Gui::ProcessTimeCallbacks(GetTickCount() + 1000);
    EXPECT_EQ(g_log, Log{"after"});
    EXPECT_EQ(std::make_pair(destroyed_during_call, destroyed.load()), std::make_pair(0, 1));
}

TEST_F(TimeCallbacks, KillingTakesExactlyTheIdsInsideTheRangeAndOwnersTakeTheirs) {
    for (int i = 0; i < 5; ++i) Gui::SetTimeCallback(5000, Rec(std::to_string(i)), ids_ + i);
    Gui::KillTimeCallback(ids_ + 1, ids_ + 3);
    Gui::KillTimeCallback(ids_ + 4);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(Gui::ExistsTimeCallback(ids_ + i), i == 0 || i == 3);
    struct Owner : Gui::Pte<Owner> {
        void Hit() { g_log.push_back("hit"); }
    };
    auto* owner = new Owner;
    Gui::SetTimeCallback(5, Gui::MakePteCallback(owner, &Owner::Hit));
    delete owner;  // its guarded callback runs and does nothing
    Gui::SetTimeCallback(6, Do([] {
                             g_log.push_back("first");
                             Gui::SetTimeCallback(1, Rec("added"));  // due in the same pass
                         }));
    Gui::ProcessTimeCallbacks(GetTickCount() + 1000);
    {
        Gui::TimeCallback member;
        member.Set(10, Rec("dropped"));
        EXPECT_TRUE(member.Exists());
        member.KillSet(10, Rec("kept"));
        Gui::ProcessTimeCallbacks(GetTickCount() + 1000);
        member.Set(10, Rec("gone with the member"));
    }
    Gui::ProcessTimeCallbacks(GetTickCount() + 10000);
    EXPECT_EQ(g_log, (Log{"first", "added", "kept", "0", "3"}));
}

TEST_F(TimeCallbacks, TheTickWrapNeitherHastensNorHoldsBackAnEntry) {
    testing_support::ScopedEnv tick("WIN32_TICK_START", "0xFFFFFF00");
    const DWORD start = GetTickCount();
    ASSERT_TRUE(start >= 0xFFFFFF00u && start < 0xFFFFFF40u) << start;
    Gui::SetTimeCallback(0x200, Rec("past the wrap"));   // due near 0x100
    Gui::SetTimeCallback(0x40, Rec("before the wrap"));  // due near 0xFFFFFF40
    Gui::ProcessTimeCallbacks(0xFFFFFF30u);
    EXPECT_TRUE(g_log.empty());
    Gui::ProcessTimeCallbacks(0x00000020u);  // the counter wrapped
    EXPECT_EQ(g_log, Log{"before the wrap"});
    Gui::ProcessTimeCallbacks(0x000000C0u);
    EXPECT_EQ(g_log.size(), 1u);
    Gui::ProcessTimeCallbacks(0x00000200u);
    EXPECT_EQ(g_log, (Log{"before the wrap", "past the wrap"}));
}

}  // namespace
