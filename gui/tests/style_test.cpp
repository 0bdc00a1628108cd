#include "gui/style.h"

#include <gtest/gtest.h>

namespace {

struct Sample : Gui::StyleHeader<Sample> {
    int value = 7;
};

int fills = 0;

void FillSample(Sample& s) {
    ++fills;
    s.value = 42;
}

TEST(StyleTest, TheDefaultRecordIsFilledAndRegisteredOnceAndRefilledWhenCleared) {
    const std::size_t before = Gui::GetRegisteredStyleCount();
    Sample& a = const_cast<Sample&>(Gui::DefaultStyle<Sample, FillSample>());
    EXPECT_EQ((&Gui::DefaultStyle<Sample, FillSample>()), &a);
    EXPECT_EQ(fills, 1);
    EXPECT_EQ(a.value, 42);
    EXPECT_EQ(a.status + a.registered, 2);
    EXPECT_EQ(Gui::GetRegisteredStyleCount(), before + 1);
    // Both records point at the standard one, which points at itself.
    ASSERT_NE(a.standard, nullptr);
    EXPECT_NE(a.standard, &a);
    EXPECT_EQ(a.standard->standard, a.standard);
    EXPECT_EQ(a.standard->value, 42);
    a.value = 1;
    a.status = 0;
    EXPECT_EQ((Gui::DefaultStyle<Sample, FillSample>().value), 42);
    EXPECT_EQ(fills, 2);
    EXPECT_EQ(Gui::GetRegisteredStyleCount(), before + 1);
    Sample other;
    Gui::RegisterStyle(&other.status, &other.registered, [] {});
    Gui::RegisterStyle(&other.status, &other.registered, [] {});
    EXPECT_EQ(other.registered, 1);
    EXPECT_EQ(Gui::GetRegisteredStyleCount(), before + 2);
}

}  // namespace
