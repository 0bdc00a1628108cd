#include <gtest/gtest.h>

#include "gui/style.h"

namespace {

struct Sample : Gui::StyleHeader<Sample> {
    int value = 7;
};

int fills = 0;

void FillSample(Sample& s) {
    ++fills;
    s.value = 42;
}

TEST(StyleTest, NewHeaderIsUnsetAndUnregistered) {
    Sample s;
    EXPECT_EQ(s.status, 0);
    EXPECT_EQ(s.registered, 0);
    EXPECT_EQ(s.standard, nullptr);
}

TEST(StyleTest, RegisterStyleEntersARecordOnce) {
    Sample s;
    const std::size_t before = Gui::GetRegisteredStyleCount();
    Gui::RegisterStyle(&s.status, &s.registered, [] {});
    EXPECT_EQ(s.registered, 1);
    Gui::RegisterStyle(&s.status, &s.registered, [] {});
    EXPECT_EQ(Gui::GetRegisteredStyleCount(), before + 1);
}

TEST(StyleTest, DefaultRecordIsFilledAndRegisteredOnce) {
    const std::size_t before = Gui::GetRegisteredStyleCount();
    const Sample& a = Gui::DefaultStyle<Sample, FillSample>();
    const Sample& b = Gui::DefaultStyle<Sample, FillSample>();
    EXPECT_EQ(&a, &b);
    EXPECT_EQ(fills, 1);
    EXPECT_EQ(a.value, 42);
    EXPECT_EQ(a.status, 1);
    EXPECT_EQ(a.registered, 1);
    EXPECT_EQ(Gui::GetRegisteredStyleCount(), before + 1);
    // Both records point at the standard one, which points at itself.
    ASSERT_NE(a.standard, nullptr);
    EXPECT_NE(a.standard, &a);
    EXPECT_EQ(a.standard->standard, a.standard);
    EXPECT_EQ(a.standard->value, 42);
}

TEST(StyleTest, ClearedStatusRefillsWithoutRegisteringAgain) {
    Sample& a = const_cast<Sample&>(Gui::DefaultStyle<Sample, FillSample>());
    const std::size_t count = Gui::GetRegisteredStyleCount();
    const int before = fills;
    a.value = 1;
    a.status = 0;
    EXPECT_EQ((Gui::DefaultStyle<Sample, FillSample>().value), 42);
    EXPECT_EQ(fills, before + 1);
    EXPECT_EQ(a.status, 1);
    EXPECT_EQ(Gui::GetRegisteredStyleCount(), count);
}

}  // namespace
