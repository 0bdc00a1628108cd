#include "gui/core/callback.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// An action that counts its runs and its destruction.
class Probe : public Gui::CallbackAction {
public:
    Probe(std::vector<std::string>& log, std::string name, int* destroyed = nullptr)
        : log_(log), name_(std::move(name)), destroyed_(destroyed) {}
    ~Probe() override {
        if (destroyed_) ++*destroyed_;
    }
    void Execute() override { log_.push_back(name_); }

private:
    std::vector<std::string>& log_;
    std::string name_;
    int* destroyed_;
};

class GateProbe : public Gui::GateAction {
public:
    GateProbe(std::vector<std::string>& log, std::string name, bool answer)
        : log_(log), name_(std::move(name)), answer_(answer) {}
    bool Execute() override {
        log_.push_back(name_);
        return answer_;
    }

private:
    std::vector<std::string>& log_;
    std::string name_;
    bool answer_;
};

class Target : public Gui::Pte<Target> {
public:
    void Hit() { log.push_back("hit"); }
    void Take(int v) { log.push_back("int " + std::to_string(v)); }
    void Take2(const std::wstring& s, long long v) {
        log.push_back(std::string(s.begin(), s.end()) + " " + std::to_string(v));
    }
    void Take4(int a, bool b, const std::wstring& c, long long d) {
        log.push_back(std::to_string(a) + (b ? " yes " : " no ") + std::string(c.begin(), c.end()) +
                      " " + std::to_string(d));
    }
    void Sum(int a, int b) { log.push_back("sum " + std::to_string(a + b)); }
    void Three(int a, int b, int c) { log.push_back("three " + std::to_string(a * b * c)); }
    std::vector<std::string> log;
};

int g_fn_runs = 0;
void CountRun() { ++g_fn_runs; }

TEST(Callback, EmptyCallbackDoesNothingAndTestsFalse) {
    Gui::Callback cb;
    EXPECT_FALSE(cb);
    cb();  // must not crash
    Gui::Callback1<int> cb1;
    EXPECT_FALSE(cb1);
    cb1(3);
}

TEST(Callback, FunctionCallbackRunsTheFunction) {
    g_fn_runs = 0;
    Gui::Callback cb = Gui::MakeCallback(&CountRun);
    EXPECT_TRUE(cb);
    cb();
    cb();
    EXPECT_EQ(g_fn_runs, 2);
}

TEST(Callback, CopiesShareOneActionFreedWithTheLastCopy) {
    std::vector<std::string> log;
    int destroyed = 0;
    {
        Gui::Callback a(new Probe(log, "a", &destroyed));
        Gui::Callback b = a;
        EXPECT_EQ(a.GetAction(), b.GetAction());
        EXPECT_EQ(a.GetAction()->count, 2);
        a.Clear();
        EXPECT_EQ(destroyed, 0);
        b();
    }
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(log, std::vector<std::string>{"a"});
}

TEST(Callback, AssigningACallbackToItselfKeepsTheAction) {
    std::vector<std::string> log;
    int destroyed = 0;
    Gui::Callback a(new Probe(log, "a", &destroyed));
    Gui::Callback& alias = a;
    a = alias;
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(a.GetAction()->count, 1);
    a();
    EXPECT_EQ(log, std::vector<std::string>{"a"});
}

TEST(Callback, AddingToAValidCallbackRunsTheOldOneThenTheAdded) {
    std::vector<std::string> log;
    Gui::Callback target(new Probe(log, "first"));
    target << Gui::Callback(new Probe(log, "second")) << Gui::Callback(new Probe(log, "third"));
    target();
    EXPECT_EQ(log, (std::vector<std::string>{"first", "second", "third"}));
}

TEST(Callback, AddingToAnEmptyCallbackReplacesIt) {
    std::vector<std::string> log;
    Gui::Callback target;
    Gui::Callback added(new Probe(log, "added"));
    target << added;
    EXPECT_EQ(target.GetAction(), added.GetAction());
}

TEST(Callback, MethodCallbackThroughADeadObjectDoesNothingAndIsReplacedByAdd) {
    std::vector<std::string> log;
    auto* t = new Target;
    Gui::Callback cb = Gui::MakePteCallback(t, &Target::Hit);
    EXPECT_TRUE(cb);
    cb();
    EXPECT_EQ(t->log.size(), 1u);
    delete t;
    EXPECT_FALSE(cb);
    cb();  // the object is gone: nothing is called
    Gui::Callback added(new Probe(log, "added"));
    cb << added;
    EXPECT_EQ(cb.GetAction(), added.GetAction());  // replaced, not forked
    cb();
    EXPECT_EQ(log, std::vector<std::string>{"added"});
}

TEST(Callback, RawMethodCallbackCallsTheMember) {
    Target t;
    Gui::Callback cb = Gui::MakeCallback(&t, &Target::Hit);
    cb();
    Gui::Callback arg = Gui::MakeCallbackArg(&t, &Target::Take, 7);
    arg();
    EXPECT_EQ(t.log, (std::vector<std::string>{"hit", "int 7"}));
}

TEST(Callback, StoredArgumentsAreCopiesAndReachTheMember) {
    Target t;
    std::wstring text = L"file";
    Gui::Callback two = Gui::MakePteCallback(&t, &Target::Take2, text, 5000000000LL);
    Gui::Callback four = Gui::MakePteCallback(&t, &Target::Take4, 3, true, text, -1LL);
    text = L"changed";
    two();
    four();
    EXPECT_EQ(t.log, (std::vector<std::string>{"file 5000000000", "3 yes file -1"}));
}

TEST(Callback, ArgumentCallbacksForwardTheirArguments) {
    Target t;
    Gui::Callback1<int> one = Gui::MakePteCallback1(&t, &Target::Take);
    Gui::Callback2<int, int> two = Gui::MakePteCallback2(&t, &Target::Sum);
    Gui::Callback3<int, int, int> three = Gui::MakePteCallback3(&t, &Target::Three);
    one(4);
    two(2, 3);
    three(2, 3, 4);
    EXPECT_EQ(t.log, (std::vector<std::string>{"int 4", "sum 5", "three 24"}));
}

TEST(Callback, ArgumentForksPassTheSameArgumentsToBoth) {
    Target a, b;
    Gui::Callback1<int> one = Gui::MakePteCallback1(&a, &Target::Take);
    one << Gui::MakePteCallback1(&b, &Target::Take);
    one(9);
    Gui::Callback2<int, int> two = Gui::MakePteCallback2(&a, &Target::Sum);
    two << Gui::MakePteCallback2(&b, &Target::Sum);
    two(1, 2);
    EXPECT_EQ(a.log, (std::vector<std::string>{"int 9", "sum 3"}));
    EXPECT_EQ(b.log, a.log);
}

TEST(Callback, StoredCallbackWithStoredArgumentsRunsLater) {
    Target t;
    Gui::Callback2<int, int> sum = Gui::MakePteCallback2(&t, &Target::Sum);
    Gui::Callback later = Gui::MakeCallbackCall(sum, 10, 20);
    EXPECT_TRUE(t.log.empty());
    later();
    EXPECT_EQ(t.log, std::vector<std::string>{"sum 30"});
}

TEST(Gate, ConstantGatesAnswerWithoutActions) {
    Gui::Gate empty;
    Gui::Gate yes(true);
    Gui::Gate no(false);
    EXPECT_FALSE(empty());
    EXPECT_TRUE(yes());
    EXPECT_FALSE(no());
    EXPECT_FALSE(yes);  // a constant is not a real action
    Gui::Gate copy = yes;
    copy = empty;
    copy = yes;
    EXPECT_TRUE(copy());
}

TEST(Gate, ForkedGateEvaluatesBothAndAnswersTheSecond) {
    std::vector<std::string> log;
    Gui::Gate g(new GateProbe(log, "first", true));
    g << Gui::Gate(new GateProbe(log, "second", false));
    EXPECT_FALSE(g());
    EXPECT_EQ(log, (std::vector<std::string>{"first", "second"}));
}

TEST(Gate, AddingToAConstantGateReplacesIt) {
    std::vector<std::string> log;
    Gui::Gate g(true);
    Gui::Gate added(new GateProbe(log, "added", false));
    g << added;
    EXPECT_EQ(g.GetAction(), added.GetAction());
    EXPECT_FALSE(g());
}

}  // namespace
