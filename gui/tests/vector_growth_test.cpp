#include "gui/vector_growth.h"

#include <gtest/gtest.h>

namespace {

int* Ints(const Gui::VectorBase& v) { return static_cast<int*>(v.vector); }

TEST(VectorGrowth, CapacityGrowsByHalfAndItemsMoveOrAreCutToWhatFits) {
    Gui::VectorBase v;
    for (int want : {1, 2, 3, 4, 6, 9, 13}) {
        Gui::VectorGrowAndFree(v, 4);
        EXPECT_EQ(v.alloc, want);
    }
    Gui::VectorReAlloc(v, 2, sizeof(int));
    Ints(v)[0] = 11;
    Ints(v)[1] = 22;
    v.items = 2;
    void* old = Gui::VectorGrow(v, sizeof(int));
    ASSERT_NE(old, v.vector);
    EXPECT_EQ(static_cast<int*>(old)[1], 22);  // still readable until freed
    Gui::VectorFree(old);
    EXPECT_EQ(v.alloc, 3);
    EXPECT_EQ(Ints(v)[0] + Ints(v)[1], 33);
    Gui::VectorReAlloc(v, 1, sizeof(int));  // shrinking below the count keeps what fits
    EXPECT_EQ(v.items, 1);
    EXPECT_EQ(Ints(v)[0], 11);
    Gui::VectorReAlloc(v, 0, sizeof(int));
    EXPECT_EQ(v.vector, nullptr);
    EXPECT_EQ(v.items + v.alloc, 0);
}

}  // namespace
