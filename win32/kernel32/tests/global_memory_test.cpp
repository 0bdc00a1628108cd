// Global memory blocks: movable and fixed, zeroing, lock counts, resizing, freeing.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(GlobalMemory, MovableZeroedBlockHasRequestedSizeAndZeroBytes) {
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 1000);
    ASSERT_NE(mem, nullptr);
    EXPECT_EQ(GlobalSize(mem), 1000u);
    auto* p = static_cast<unsigned char*>(GlobalLock(mem));
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(p[i], 0) << i;
    GlobalUnlock(mem);
    EXPECT_EQ(GlobalFree(mem), nullptr);
}

TEST(GlobalMemory, MovableHandleIsNotTheAddressAndKeepsItsContent) {
    HGLOBAL mem = GlobalAlloc(0x102, 16);
    ASSERT_NE(mem, nullptr);
    char* p = static_cast<char*>(GlobalLock(mem));
    ASSERT_NE(p, nullptr);
    EXPECT_NE(static_cast<void*>(p), mem);
    std::memcpy(p, "hello", 6);
    GlobalUnlock(mem);
    char* again = static_cast<char*>(GlobalLock(mem));
    EXPECT_STREQ(again, "hello");
    EXPECT_EQ(GlobalHandle(again), mem);
    GlobalUnlock(mem);
    GlobalFree(mem);
}

TEST(GlobalMemory, LockCountRisesAndFallsAndUnlockReportsTheLastOne) {
    HGLOBAL mem = GlobalAlloc(GHND, 8);
    ASSERT_NE(mem, nullptr);
    EXPECT_EQ(GlobalFlags(mem) & GMEM_LOCKCOUNT, 0u);
    GlobalLock(mem);
    GlobalLock(mem);
    EXPECT_EQ(GlobalFlags(mem) & GMEM_LOCKCOUNT, 2u);
    EXPECT_TRUE(GlobalUnlock(mem));
    SetLastError(12345);
    EXPECT_FALSE(GlobalUnlock(mem));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(NO_ERROR));
    EXPECT_FALSE(GlobalUnlock(mem));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_LOCKED));
    GlobalFree(mem);
}

TEST(GlobalMemory, FixedBlockHandleIsItsAddress) {
    HGLOBAL mem = GlobalAlloc(GPTR, 32);
    ASSERT_NE(mem, nullptr);
    EXPECT_EQ(GlobalLock(mem), mem);
    EXPECT_EQ(static_cast<unsigned char*>(mem)[31], 0);
    EXPECT_EQ(GlobalSize(mem), 32u);
    EXPECT_TRUE(GlobalUnlock(mem));
    EXPECT_EQ(GlobalFree(mem), nullptr);
}

TEST(GlobalMemory, ReAllocGrowsMovableBlockUnderTheSameHandle) {
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, 4);
    ASSERT_NE(mem, nullptr);
    std::memcpy(GlobalLock(mem), "abcd", 4);
    GlobalUnlock(mem);
    EXPECT_EQ(GlobalReAlloc(mem, 100000, GMEM_MOVEABLE | GMEM_ZEROINIT), mem);
    EXPECT_EQ(GlobalSize(mem), 100000u);
    auto* p = static_cast<char*>(GlobalLock(mem));
    EXPECT_EQ(std::memcmp(p, "abcd", 4), 0);
    EXPECT_EQ(p[99999], 0);
    GlobalUnlock(mem);
    GlobalFree(mem);
}

TEST(GlobalMemory, EmptyMovableBlockIsDiscardedAndCannotBeLocked) {
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, 0);
    ASSERT_NE(mem, nullptr);
    EXPECT_EQ(GlobalSize(mem), 0u);
    EXPECT_TRUE(GlobalFlags(mem) & GMEM_DISCARDED);
    EXPECT_EQ(GlobalLock(mem), nullptr);
    EXPECT_EQ(GlobalFree(mem), nullptr);
}

TEST(GlobalMemory, FreedOrUnknownHandleFailsWithInvalidHandle) {
    HGLOBAL mem = GlobalAlloc(GHND, 8);
    ASSERT_EQ(GlobalFree(mem), nullptr);
    EXPECT_EQ(GlobalFree(mem), mem);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(GlobalLock(mem), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(GlobalSize(mem), 0u);
    EXPECT_EQ(GlobalFree(nullptr), nullptr);
}

}  // namespace
