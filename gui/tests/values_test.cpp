// The toolkit's small values: rectangles, fonts and text measuring, style
// records, vector growth and the Windows version checks.
#include <gtest/gtest.h>

#include <thread>
#include <tuple>

#include "draw_support.h"
#include "gui/font.h"
#include "gui/geometry.h"
#include "gui/style.h"
#include "gui/vector_growth.h"
#include "gui/win_version.h"
#include "testing/scoped_env.h"

namespace {

TEST(Geometry, AnEmptyIntersectionHasNoNegativeExtent) {
    const Gui::Rect a(0, 0, 10, 10);
    EXPECT_EQ(a.Intersection(Gui::Rect(20, 0, 30, 10)), Gui::Rect(20, 0, 20, 10));
    EXPECT_EQ(a.Intersection(Gui::Rect(0, 20, 10, 30)), Gui::Rect(0, 20, 10, 20));
    EXPECT_EQ(a.Intersection(Gui::Rect(5, 5, 20, 20)), Gui::Rect(5, 5, 10, 10));
    Gui::Rect r;
    EXPECT_FALSE(r.IsNull());
    r.SetNull();
    EXPECT_TRUE(r.IsNull());
}

TEST(FontTest, FlagsSetAndClearOnlyTheirOwnBit) {
    Gui::Font f;
    f.Height(-7).Bold().Underline();
    EXPECT_EQ(std::make_tuple(f.GetHeight(), f.GetFlags(), Gui::Font(f).Bold(false).GetFlags(),
                              Gui::Font(f).Underline(false).GetFlags()),
              std::make_tuple(-7, 0xA000, 0x2000, 0x8000));
    EXPECT_TRUE(f.NoBold().IsUnderline() && !f.NoUnderline().IsBold());
    EXPECT_EQ(f.GetFlags(), 0);
}

SIZE ExtentOnMemoryDc(const std::wstring& text, HFONT font) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ prior = SelectObject(dc, font);
    SIZE size = {};
    GetTextExtentPointW(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, prior);
    DeleteDC(dc);
    return size;
}

// The width is GDI's extent of the text; the height the font's character height. The
// default font is zero until set.
TEST(FontTest, TextIsMeasuredInItsFontAndTheScreenKeepsItsOwn) {
    EXPECT_FALSE(Gui::IsDefaultFontSet() || Gui::GetDefaultFont() != Gui::Font());
    const Gui::Font f = test::RealiseSkinFont(12);
    Gui::SetDefaultFont(f);
    EXPECT_TRUE(Gui::IsDefaultFontSet() && Gui::GetDefaultFont() == f);
    HDC screen = GetDC(nullptr);
    const HGDIOBJ before = GetCurrentObject(screen, OBJ_FONT);
    ReleaseDC(nullptr, screen);
    const std::wstring text = L"下载 Download";
    const Gui::Size size = Gui::GetTextSize(text, f);
    const SIZE extent = ExtentOnMemoryDc(text, f.GetHandle());
    EXPECT_EQ(size, Gui::Size(extent.cx, 12));
    EXPECT_GT(extent.cy, 12);  // the cell is taller than the em
    EXPECT_EQ(Gui::GetTextSize(text.c_str(), f), size);
    EXPECT_EQ(Gui::GetTextSize(L"", f), Gui::Size(0, 12));
    EXPECT_GT(Gui::GetTextSize(text, test::RealiseSkinFont(24)).cx, size.cx);
    const Gui::Size unrealised = Gui::GetTextSize(L"abc", Gui::Font());
    EXPECT_TRUE(unrealised.cy == 0 && unrealised.cx > 0);
    Gui::Size there;
    std::thread([&] { there = Gui::GetTextSize(text, f); }).join();
    EXPECT_EQ(there, size);
    screen = GetDC(nullptr);
    EXPECT_EQ(GetCurrentObject(screen, OBJ_FONT), before);
    ReleaseDC(nullptr, screen);
}

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
    EXPECT_EQ(std::make_tuple(fills, a.value, a.status + a.registered), std::make_tuple(1, 42, 2));
    // Both records point at the standard one, which points at itself.
    ASSERT_NE(a.standard, nullptr);
    EXPECT_NE(a.standard, &a);
    EXPECT_EQ(std::make_tuple(a.standard->standard, a.standard->value),
              std::make_tuple(a.standard, 42));
    a.value = 1;
    a.status = 0;
    EXPECT_EQ((Gui::DefaultStyle<Sample, FillSample>().value), 42);
    EXPECT_EQ(fills, 2);
    EXPECT_EQ(Gui::GetRegisteredStyleCount(), before + 1);
    Sample other;
    for (int i = 0; i < 2; ++i) Gui::RegisterStyle(&other.status, &other.registered, [] {});
    EXPECT_EQ(other.registered, 1);
    EXPECT_EQ(Gui::GetRegisteredStyleCount(), before + 2);
}

int* Ints(const Gui::VectorBase& v) { return static_cast<int*>(v.vector); }

TEST(VectorGrowth, CapacityGrowsByHalfAndItemsMoveOrAreCutToWhatFits) {
    Gui::VectorBase v;
    for (int want : {1, 2, 3, 4, 6, 9, 13}) {
        Gui::VectorGrowAndFree(v, 4);
        EXPECT_EQ(v.alloc, want);
    }
    Gui::VectorReAlloc(v, 2, sizeof(int));
    Ints(v)[0] = 11, Ints(v)[1] = 22, v.items = 2;
    void* old = Gui::VectorGrow(v, sizeof(int));
    ASSERT_NE(old, v.vector);
    EXPECT_EQ(static_cast<int*>(old)[1], 22);  // still readable until freed
    Gui::VectorFree(old);
    EXPECT_EQ(v.alloc, 3);
    EXPECT_EQ(Ints(v)[0] + Ints(v)[1], 33);
    Gui::VectorReAlloc(v, 1, sizeof(int));  // shrinking below the count keeps what fits
    EXPECT_EQ(v.items * 100 + Ints(v)[0], 111);
    Gui::VectorReAlloc(v, 0, sizeof(int));
    EXPECT_TRUE(v.vector == nullptr && v.items + v.alloc == 0);
}

// Answered anew on every call: the layer's Windows 7 by default.
TEST(WinVersion, EachTestFollowsTheVersionOfTheMoment) {
    const struct {
        const char* version;
        bool w2k, xp, vista;
    } rows[] = {{"", true, true, true},
                {"5.0.2195", true, false, false},
                {"5.1.2600", true, true, false},
                {"4.10.2222", false, false, false}};
    for (const auto& row : rows) {
        testing_support::ScopedEnv env("WIN32_WINDOWS_VERSION", row.version);
        EXPECT_EQ(std::make_tuple(Gui::IsWin2K(), Gui::IsWinXP(), Gui::IsWinVista()),
                  std::make_tuple(row.w2k, row.xp, row.vista))
            << row.version;
    }
}

}  // namespace
