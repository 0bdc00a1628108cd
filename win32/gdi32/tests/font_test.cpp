// Logical fonts, the stock GUI font, text metrics and text extents.
#include "dib_canvas.h"

#include <cstring>
#include <thread>

namespace {

LOGFONTW LogfontOf(HGDIOBJ font) {
    LOGFONTW lf{};
    EXPECT_EQ(GetObjectW(font, sizeof(lf), &lf), static_cast<int>(sizeof(lf)));
    return lf;
}

TEST(Fonts, LogfontsRoundTripAndTheStockGuiFontIsTheDialogFaceAtElevenPixels) {
    HGDIOBJ gui = GetStockObject(DEFAULT_GUI_FONT);
    EXPECT_EQ(GetObjectW(gui, 0, nullptr), static_cast<int>(sizeof(LOGFONTW)));
    LOGFONTW lf = LogfontOf(gui);
    EXPECT_EQ(std::tuple(lf.lfHeight, lf.lfWidth + lf.lfItalic + lf.lfUnderline, lf.lfWeight),
              std::tuple(-11, 0, FW_NORMAL));
    EXPECT_EQ(lf.lfCharSet, DEFAULT_CHARSET);
    EXPECT_STREQ(lf.lfFaceName, L"MS Shell Dlg");
    LOGFONTW in{};
    in.lfHeight = -14;
    in.lfWeight = FW_BOLD;
    in.lfUnderline = 1;
    in.lfCharSet = GB2312_CHARSET;
    in.lfQuality = ANTIALIASED_QUALITY;
    in.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    wcscpy(in.lfFaceName, L"微软雅黑");
    GdiObject<HFONT> font(CreateFontIndirectW(&in));
    EXPECT_EQ(GetObjectType(font), static_cast<DWORD>(OBJ_FONT));
    LOGFONTW out = LogfontOf(font);
    EXPECT_EQ(std::memcmp(&in, &out, sizeof(in)), 0);
    LONG height = 0;  // a short buffer takes the start of the record
    EXPECT_EQ(GetObjectW(font, sizeof(height), &height), static_cast<int>(sizeof(height)));
    EXPECT_EQ(height, -14);
    EXPECT_EQ(CreateFontIndirectW(nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

class FontOnDc : public ::testing::Test {
protected:
    void SetUp() override { old_ = SelectObject(dc_, GetStockObject(DEFAULT_GUI_FONT)); }
    void TearDown() override {
        SelectObject(dc_, old_);
        DeleteDC(dc_);
    }
    SIZE Extent(HFONT font, const wchar_t* text) {
        SelectObject(dc_, font);
        SIZE sz{-1, -1};
        EXPECT_TRUE(GetTextExtentPointW(dc_, text, static_cast<int>(std::wcslen(text)), &sz));
        return sz;
    }
    TEXTMETRICW Metrics(HFONT font) {
        SelectObject(dc_, font);
        TEXTMETRICW tm{};
        EXPECT_TRUE(GetTextMetricsW(dc_, &tm));
        return tm;
    }
    HDC dc_ = CreateCompatibleDC(nullptr);
    HGDIOBJ old_ = nullptr;
};

TEST_F(FontOnDc, MetricsFollowTheLogfont) {
    GdiObject<HFONT> font(MakeUiFont(20)), bold(MakeUiFont(14, true, true));
    GdiObject<HFONT> cell(MakeUiFont(-24));
    TEXTMETRICW tm = Metrics(font);  // a negative height is the character height
    EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, 20);
    EXPECT_EQ(tm.tmAscent + tm.tmDescent, tm.tmHeight);
    EXPECT_GT(tm.tmAscent, tm.tmDescent);
    tm = Metrics(cell);  // a positive one the cell height; rounding may add a pixel
    EXPECT_NEAR(tm.tmHeight, 24, 1);
    EXPECT_GT(tm.tmInternalLeading, 0);
    tm = Metrics(bold);
    EXPECT_EQ(std::pair(tm.tmWeight, tm.tmUnderlined), std::pair(LONG{FW_BOLD}, BYTE{1}));
    EXPECT_FALSE(GetTextMetricsW(dc_, nullptr));
}

TEST_F(FontOnDc, ExtentsAddUpGrowWithHeightAndWeightAndMeasureChinese) {
    GdiObject<HFONT> small(MakeUiFont(12)), font(MakeUiFont(16)), large(MakeUiFont(24));
    const wchar_t* sentence = L"Download 42%";
    LONG sum = 0;
    for (const wchar_t* p = sentence; *p; ++p) sum += Extent(font, std::wstring(1, *p).c_str()).cx;
    EXPECT_EQ(Extent(font, sentence).cx, sum);
    EXPECT_EQ(Extent(font, sentence).cy, Metrics(font).tmHeight);
    EXPECT_EQ(Extent(font, L"").cx, 0);
    EXPECT_EQ(Extent(font, L"").cy, Metrics(font).tmHeight);
    SIZE a = Extent(small, sentence), b = Extent(font, sentence), c = Extent(large, sentence);
    EXPECT_TRUE(a.cx < b.cx && b.cx < c.cx && a.cy < b.cy && b.cy < c.cy);
    GdiObject<HFONT> normal(MakeUiFont(14)), bold(MakeUiFont(14, true));
    for (const wchar_t* text : {L"Km", L"下载"})
        EXPECT_GE(Extent(bold, text).cx, Extent(normal, text).cx) << "text " << text;
    EXPECT_GT(Extent(bold, L"Start download").cx, Extent(normal, L"Start download").cx);
    SIZE one = Extent(font, L"下"), four = Extent(font, L"下载游戏");
    EXPECT_TRUE(one.cx >= 8 && one.cx <= 24) << one.cx;
    EXPECT_GE(four.cx, 4 * 8);
    EXPECT_EQ(four.cy, one.cy);
}

TEST_F(FontOnDc, AnUnknownFaceKeepsItsNameAndGlyphsAFaceLacksComeFromAnother) {
    GdiObject<HFONT> unknown(MakeUiFont(14, false, false, L"No Such Face"));
    SIZE sz = Extent(unknown, L"Km");
    EXPECT_TRUE(sz.cx > 0 && sz.cy >= 14) << sz.cx << "x" << sz.cy;
    wchar_t face[LF_FACESIZE] = {};
    EXPECT_EQ(GetTextFaceW(dc_, LF_FACESIZE, face), 13);  // with the terminator
    EXPECT_STREQ(face, L"No Such Face");
    EXPECT_GE(Extent(static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)), L"游戏").cx, 2 * 6);
}

TEST(TextExtent, EveryDcMeasuresItsFontAndBadArgumentsFail) {
    HDC fresh = CreateCompatibleDC(nullptr), screen = GetDC(nullptr);
    TEXTMETRICW tm{};
    SIZE sz{};
    ASSERT_TRUE(GetTextMetricsW(fresh, &tm));  // a new DC's default font
    EXPECT_TRUE(GetTextExtentPoint32W(fresh, L"Km", 2, &sz));
    EXPECT_GT(sz.cx, 0);
    EXPECT_EQ(sz.cy, tm.tmHeight);
    GdiObject<HFONT> font(MakeUiFont(30));
    SelectObject(screen, font);
    ASSERT_TRUE(GetTextExtentPointW(screen, L"Km", 2, &sz));
    EXPECT_GE(sz.cy, 30);
    EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
    SetLastError(0);
    EXPECT_FALSE(GetTextExtentPointW(nullptr, L"a", 1, &sz));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(GetTextExtentPointW(fresh, L"a", 1, nullptr));
    EXPECT_FALSE(GetTextExtentPointW(fresh, nullptr, 3, &sz));
    DeleteDC(fresh);
}

TEST(TextExtent, ASelectedFontOutlivesDeletionAndThreadsMeasuringItAgree) {
    HFONT font = MakeUiFont(15);
    auto measure = [font] {
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, font);
        SIZE sz{};
        LONG first = -1;
        bool same = GetObjectType(old) == OBJ_FONT;
        for (int i = 0; i < 200; ++i) {
            GetTextExtentPointW(dc, L"下载 Km 42%", 9, &sz);
            if (first < 0) first = sz.cx;
            same = same && sz.cx == first;
        }
        DeleteDC(dc);
        return same ? first : -1;
    };
    LONG a = 0, b = 0;
    std::thread other([&] { a = measure(); });
    b = measure();
    other.join();
    EXPECT_GT(a, 0);
    EXPECT_EQ(a, b);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), font);
    EXPECT_TRUE(DeleteObject(font));
    SIZE sz{};
    EXPECT_TRUE(GetTextExtentPointW(dc, L"Km", 2, &sz));  // still usable while selected
    EXPECT_GT(sz.cx, 0);
    EXPECT_EQ(SelectObject(dc, old), font);
    EXPECT_EQ(GetObjectType(font), 0u);
    DeleteDC(dc);
}

}  // namespace
