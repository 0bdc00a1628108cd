#include "gui/core/callback.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <string>
#include <vector>

#include "testing/lambda_callback.h"

namespace {

using Log = std::vector<std::wstring>;
using testing_support::Do;

struct GateProbe : Gui::GateAction {
    GateProbe(Log& log, const wchar_t* name, bool answer) : log(log), name(name), answer(answer) {}
    bool Execute() override { return log.push_back(name), answer; }
    Log& log;
    const wchar_t* name;
    bool answer;
};

struct Target : Gui::Pte<Target> {
    void Hit() { Put(L"hit"); }
    void Take(int v) { Put(v); }
    void Take2(const std::wstring& s, long long v) { Put(s, v); }
    void Take4(int a, bool b, const std::wstring& c, long long d) { Put(a, b, c, d); }
    void Sum(int a, int b) { Put(a + b); }
    void Three(int a, int b, int c) { Put(a * b * c); }
    template <class... A>
    void Put(const A&... a) {
        std::wostringstream out;
        ((out << a << L' '), ...);
        log.push_back(out.str());
    }
    Log log;
};

int g_fn_runs = 0;
void CountRun() { ++g_fn_runs; }

TEST(Callback, EveryKindCallsItsTargetWithCopiesOfItsArgumentsAndCopiesShareIt) {
    Gui::Callback empty;
    Gui::Callback1<int> empty1;
    EXPECT_FALSE(empty || empty1);
    empty();  // nothing to call
    empty1(3);
    g_fn_runs = 0;
    Gui::MakeCallback (&CountRun)();
    EXPECT_EQ(g_fn_runs, 1);

    Target t;
    std::wstring text = L"file";
    Gui::Callback calls[] = {
        Gui::MakeCallback(&t, &Target::Hit), Gui::MakeCallbackArg(&t, &Target::Take, 7),
        Gui::MakePteCallback(&t, &Target::Take2, text, 5000000000LL),
        Gui::MakePteCallback(&t, &Target::Take4, 3, true, text, -1LL),
        Gui::MakeCallbackCall(Gui::MakePteCallback2(&t, &Target::Sum), 10, 20)};
    text = L"changed";  // nothing was called yet, and the copies stay
    for (auto& c : calls) c();
    Gui::MakePteCallback1(&t, &Target::Take)(4);
    Gui::MakePteCallback2(&t, &Target::Sum)(2, 3);
    Gui::MakePteCallback3(&t, &Target::Three)(2, 3, 4);
    EXPECT_EQ(t.log, (Log{L"hit ", L"7 ", L"file 5000000000 ", L"3 1 file -1 ", L"30 ", L"4 ",
                          L"5 ", L"24 "}));

    // Copies share one action, freed with the last copy.
    Log log;
    std::atomic<int> destroyed{0};
    {
        Gui::Callback a = Do([&] { log.push_back(L"a"); }, &destroyed);
        Gui::Callback& alias = a;
        a = alias;
        EXPECT_EQ(a.GetAction()->count, 1);
        Gui::Callback b = a;
        EXPECT_EQ(a.GetAction(), b.GetAction());
        EXPECT_EQ(a.GetAction()->count, 2);
        a.Clear();
        EXPECT_EQ(destroyed, 0);
        b();
    }
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(log, Log{L"a"});
}

TEST(Callback, AddingRunsBothInOrderAndReplacesAnEmptyOrDeadTarget) {
    Log log;
    auto note = [&](const wchar_t* name) { return Do([&log, name] { log.push_back(name); }); };
    Gui::Callback target = note(L"first");
    target << note(L"second") << note(L"third");
    target();
    EXPECT_EQ(log, (Log{L"first", L"second", L"third"}));

    Gui::Callback empty;
    Gui::Callback added = note(L"added");
    empty << added;
    EXPECT_EQ(empty.GetAction(), added.GetAction());

    auto* t = new Target;
    Gui::Callback method = Gui::MakePteCallback(t, &Target::Hit);
    EXPECT_TRUE(method);
    delete t;
    EXPECT_FALSE(method);
    method();  // the object is gone: nothing is called
    method << added;
    EXPECT_EQ(method.GetAction(), added.GetAction());  // replaced, not forked

    Target a, b;
    Gui::Callback1<int> one = Gui::MakePteCallback1(&a, &Target::Take);
    one << Gui::MakePteCallback1(&b, &Target::Take);
    one(9);
    Gui::Callback2<int, int> two = Gui::MakePteCallback2(&a, &Target::Sum);
    two << Gui::MakePteCallback2(&b, &Target::Sum);
    two(1, 2);
    EXPECT_EQ(a.log, (Log{L"9 ", L"3 "}));
    EXPECT_EQ(b.log, a.log);
}

TEST(Gate, ConstantsAnswerAloneAndAForkAnswersItsSecond) {
    Gui::Gate empty, yes(true), no(false);
    EXPECT_EQ(std::vector<bool>({empty(), yes(), no()}), std::vector<bool>({false, true, false}));
    EXPECT_FALSE(yes);  // a constant is not a real action
    Gui::Gate copy = yes;
    copy = empty;
    copy = yes;
    EXPECT_TRUE(copy());
    Log log;
    Gui::Gate added(new GateProbe(log, L"second", false));
    yes << added;  // a constant is replaced
    EXPECT_EQ(yes.GetAction(), added.GetAction());
    Gui::Gate g(new GateProbe(log, L"first", true));
    g << added;
    EXPECT_FALSE(g());
    EXPECT_EQ(log, (Log{L"first", L"second"}));
}

}  // namespace
