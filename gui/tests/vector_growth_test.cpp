#include "gui/vector_growth.h"

#include <gtest/gtest.h>

namespace {

TEST(VectorGrowth, CapacityGrowsByHalfAndAtLeastByOne) {
    Gui::VectorBase v;
    const int expected[] = {1, 2, 3, 4, 6, 9, 13};
    for (int want : expected) {
        Gui::VectorGrowAndFree(v, 4);
        EXPECT_EQ(v.alloc, want);
    }
    Gui::VectorFree(v.vector);
}

TEST(VectorGrowth, RawAllocCopiesItemsAndLeavesTheOldArrayToTheCaller) {
    Gui::VectorBase v;
    Gui::VectorReAlloc(v, 2, sizeof(int));
    static_cast<int*>(v.vector)[0] = 11;
    static_cast<int*>(v.vector)[1] = 22;
    v.items = 2;
    void* old = Gui::VectorGrow(v, sizeof(int));
    ASSERT_NE(old, v.vector);
    EXPECT_EQ(static_cast<int*>(old)[1], 22);  // still readable until freed
    EXPECT_EQ(v.alloc, 3);
    EXPECT_EQ(static_cast<int*>(v.vector)[0], 11);
    EXPECT_EQ(static_cast<int*>(v.vector)[1], 22);
    Gui::VectorFree(old);
    Gui::VectorFree(v.vector);
}

TEST(VectorGrowth, ZeroCapacityHoldsNoArray) {
    Gui::VectorBase v;
    Gui::VectorReAlloc(v, 3, 8);
    ASSERT_NE(v.vector, nullptr);
    Gui::VectorReAlloc(v, 0, 8);
    EXPECT_EQ(v.vector, nullptr);
    EXPECT_EQ(v.alloc, 0);
}

TEST(VectorGrowth, ShrinkingBelowTheCountKeepsOnlyWhatFits) {
    Gui::VectorBase v;
    Gui::VectorReAlloc(v, 4, sizeof(int));
    for (int i = 0; i < 4; ++i) static_cast<int*>(v.vector)[i] = i + 1;
    v.items = 4;
    Gui::VectorReAlloc(v, 2, sizeof(int));
    EXPECT_EQ(v.items, 2);
    EXPECT_EQ(static_cast<int*>(v.vector)[1], 2);
    Gui::VectorFree(v.vector);
}

}  // namespace
