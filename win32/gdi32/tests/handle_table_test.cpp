// GDI handles: a deleted object's handle stays dead while others come and go.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(GdiHandles, ADeletedHandleStaysInvalidAndLiveOnesStayDistinct) {
    HBRUSH gone = CreateSolidBrush(RGB(1, 2, 3));
    ASSERT_NE(gone, nullptr);
    ASSERT_TRUE(DeleteObject(gone));
    std::set<HGDIOBJ> live;
    for (int i = 0; i < 5000; ++i) {
        HBRUSH b = CreateSolidBrush(RGB(i & 0xFF, 0, 0));
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(GetObjectType(gone), 0u) << "after " << i << " objects";
        if (i % 2) {
            EXPECT_TRUE(live.insert(b).second) << "handle given twice";
        } else {
            ASSERT_TRUE(DeleteObject(b));
        }
    }
    for (HGDIOBJ h : live) {
        EXPECT_EQ(GetObjectType(h), static_cast<DWORD>(OBJ_BRUSH));
        DeleteObject(h);
    }
    EXPECT_FALSE(DeleteObject(gone));
}

}  // namespace
