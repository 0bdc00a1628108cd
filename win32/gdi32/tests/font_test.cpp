// Logical fonts, the stock GUI font, text metrics and text extents.
#include "font_text.h"

#include <cstring>
#include <thread>

namespace {

TEST(StockFont, DefaultGuiFontIsTheDialogFaceAtElevenPixels) {
    HGDIOBJ gui = GetStockObject(DEFAULT_GUI_FONT);
    ASSERT_NE(gui, nullptr);
    EXPECT_EQ(GetObjectW(gui, 0, nullptr), static_cast<int>(sizeof(LOGFONTW)));
    LOGFONTW lf{};
    ASSERT_EQ(GetObjectW(gui, sizeof(lf), &lf), static_cast<int>(sizeof(lf)));
    EXPECT_EQ(lf.lfHeight, -11);
    EXPECT_EQ(lf.lfWidth, 0);
    EXPECT_EQ(lf.lfWeight, FW_NORMAL);
    EXPECT_EQ(lf.lfItalic, 0);
    EXPECT_EQ(lf.lfUnderline, 0);
    EXPECT_EQ(lf.lfCharSet, DEFAULT_CHARSET);
    EXPECT_STREQ(lf.lfFaceName, L"MS Shell Dlg");
}

TEST(CreateFont, LogfontRoundTripsThroughGetObject) {
    LOGFONTW in{};
    in.lfHeight = -14;
    in.lfWidth = 0;
    in.lfWeight = FW_BOLD;
    in.lfUnderline = 1;
    in.lfCharSet = GB2312_CHARSET;
    in.lfQuality = ANTIALIASED_QUALITY;
    in.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    std::wcscpy(in.lfFaceName, L"微软雅黑");
    GdiObject<HFONT> font(CreateFontIndirectW(&in));
    ASSERT_NE(font.get(), nullptr);
    EXPECT_EQ(GetObjectType(font), static_cast<DWORD>(OBJ_FONT));
    LOGFONTW out;
    std::memset(&out, 0xCC, sizeof(out));
    ASSERT_EQ(GetObjectW(font, sizeof(out), &out), static_cast<int>(sizeof(out)));
    EXPECT_EQ(std::memcmp(&in, &out, sizeof(in)), 0);
}

TEST(CreateFont, ShortBufferTakesTheStartOfTheLogfont) {
    GdiObject<HFONT> font(MakeUiFont(13));
    LONG height = 0;
    EXPECT_EQ(GetObjectW(font, sizeof(height), &height), static_cast<int>(sizeof(height)));
    EXPECT_EQ(height, -13);
    EXPECT_EQ(CreateFontIndirectW(nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(CreateFont, NamedArgumentsMakeTheSameLogfont) {
    GdiObject<HFONT> font(
        CreateFontW(-12, 0, 0, 0, FW_BOLD, 0, 1, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"MS Shell Dlg"));
    LOGFONTW lf{};
    ASSERT_EQ(GetObjectW(font, sizeof(lf), &lf), static_cast<int>(sizeof(lf)));
    EXPECT_EQ(lf.lfHeight, -12);
    EXPECT_EQ(lf.lfWeight, FW_BOLD);
    EXPECT_EQ(lf.lfUnderline, 1);
    EXPECT_STREQ(lf.lfFaceName, L"MS Shell Dlg");
}

TEST(SelectFont, ReturnsThePreviousFontAndDeletionWaitsForTheDc) {
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = MakeUiFont(12);
    HGDIOBJ old = SelectObject(dc, font);
    EXPECT_EQ(GetObjectType(old), static_cast<DWORD>(OBJ_FONT));
    EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), font);
    EXPECT_TRUE(DeleteObject(font));
    // Still usable while selected.
    SIZE sz{};
    EXPECT_TRUE(GetTextExtentPointW(dc, L"Km", 2, &sz));
    EXPECT_GT(sz.cx, 0);
    EXPECT_EQ(SelectObject(dc, old), font);
    EXPECT_EQ(GetObjectType(font), 0u);
    DeleteDC(dc);
}

class FontOnDc : public ::testing::Test {
protected:
    void SetUp() override {
        dc_ = CreateCompatibleDC(nullptr);
        ASSERT_NE(dc_, nullptr);
        old_ = SelectObject(dc_, GetStockObject(DEFAULT_GUI_FONT));
    }
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
    HDC dc_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

TEST_F(FontOnDc, NegativeHeightIsTheCharacterHeight) {
    GdiObject<HFONT> font(MakeUiFont(20));
    TEXTMETRICW tm = Metrics(font);
    EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, 20);
    EXPECT_EQ(tm.tmAscent + tm.tmDescent, tm.tmHeight);
    EXPECT_GT(tm.tmAscent, tm.tmDescent);
    EXPECT_EQ(tm.tmWeight, FW_NORMAL);
    EXPECT_GT(tm.tmAveCharWidth, 0);
    EXPECT_GE(tm.tmMaxCharWidth, tm.tmAveCharWidth);
}

TEST_F(FontOnDc, PositiveHeightIsTheCellHeight) {
    GdiObject<HFONT> font(
        CreateFontW(24, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"MS Shell Dlg"));
    TEXTMETRICW tm = Metrics(font);
    // Rounding the ascent and descent apart may add a pixel.
    EXPECT_NEAR(tm.tmHeight, 24, 1);
    EXPECT_GT(tm.tmInternalLeading, 0);
}

TEST_F(FontOnDc, MetricsReportWhatTheLogfontAsked) {
    GdiObject<HFONT> font(MakeUiFont(14, true, true));
    TEXTMETRICW tm = Metrics(font);
    EXPECT_EQ(tm.tmWeight, FW_BOLD);
    EXPECT_EQ(tm.tmUnderlined, 1);
    EXPECT_EQ(tm.tmItalic, 0);
    EXPECT_TRUE(tm.tmPitchAndFamily & TMPF_TRUETYPE);
    EXPECT_FALSE(GetTextMetricsW(dc_, nullptr));
}

TEST_F(FontOnDc, ExtentIsTheSumOfTheCharactersAndTheCellHeight) {
    GdiObject<HFONT> font(MakeUiFont(16));
    SIZE k = Extent(font, L"K"), m = Extent(font, L"m"), km = Extent(font, L"Km");
    EXPECT_GT(k.cx, 0);
    EXPECT_GT(m.cx, 0);
    EXPECT_EQ(km.cx, k.cx + m.cx);
    EXPECT_EQ(km.cy, Metrics(font).tmHeight);
    SIZE sentence = Extent(font, L"Download 42%");
    LONG sum = 0;
    for (const wchar_t* p = L"Download 42%"; *p; ++p) {
        wchar_t one[2] = {*p, 0};
        sum += Extent(font, one).cx;
    }
    EXPECT_EQ(sentence.cx, sum);
}

TEST_F(FontOnDc, EmptyTextHasNoWidthButTheCellHeight) {
    GdiObject<HFONT> font(MakeUiFont(12));
    SIZE sz = Extent(font, L"");
    EXPECT_EQ(sz.cx, 0);
    EXPECT_EQ(sz.cy, Metrics(font).tmHeight);
}

TEST_F(FontOnDc, ExtentGrowsWithHeight) {
    GdiObject<HFONT> small(MakeUiFont(12)), medium(MakeUiFont(16)), large(MakeUiFont(24));
    SIZE a = Extent(small, L"Install the game"), b = Extent(medium, L"Install the game"),
         c = Extent(large, L"Install the game");
    EXPECT_LT(a.cx, b.cx);
    EXPECT_LT(b.cx, c.cx);
    EXPECT_LT(a.cy, b.cy);
    EXPECT_LT(b.cy, c.cy);
}

TEST_F(FontOnDc, BoldIsAtLeastAsWide) {
    GdiObject<HFONT> normal(MakeUiFont(14)), bold(MakeUiFont(14, true));
    for (const wchar_t* text : {L"Km", L"Start download", L"下载"}) {
        EXPECT_GE(Extent(bold, text).cx, Extent(normal, text).cx) << "text " << text;
    }
    EXPECT_GT(Extent(bold, L"Start download").cx, Extent(normal, L"Start download").cx);
}

TEST_F(FontOnDc, ChineseTextMeasuresAboutOneEmACharacter) {
    GdiObject<HFONT> font(MakeUiFont(16));
    SIZE one = Extent(font, L"下");
    SIZE four = Extent(font, L"下载游戏");
    EXPECT_GE(one.cx, 8);
    EXPECT_LE(one.cx, 24);
    EXPECT_GE(four.cx, 4 * 8);
    EXPECT_EQ(four.cy, one.cy);
}

TEST_F(FontOnDc, LatinFaceStillMeasuresChineseText) {
    // Characters the dialog face lacks come from another installed face.
    SelectObject(dc_, GetStockObject(DEFAULT_GUI_FONT));
    SIZE sz{};
    ASSERT_TRUE(GetTextExtentPointW(dc_, L"游戏", 2, &sz));
    EXPECT_GE(sz.cx, 2 * 6);
}

TEST_F(FontOnDc, AnUnknownFaceStillMeasuresAndKeepsItsName) {
    GdiObject<HFONT> font(MakeUiFont(14, false, false, L"No Such Face 1234"));
    SIZE sz = Extent(font, L"Km");
    EXPECT_GT(sz.cx, 0);
    EXPECT_GE(sz.cy, 14);
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(dc_, LF_FACESIZE, face);
    EXPECT_STREQ(face, L"No Such Face 1234");
}

TEST_F(FontOnDc, ANewDcMeasuresInItsDefaultFont) {
    HDC fresh = CreateCompatibleDC(nullptr);
    TEXTMETRICW tm{};
    ASSERT_TRUE(GetTextMetricsW(fresh, &tm));
    EXPECT_GT(tm.tmHeight, 0);
    SIZE sz{};
    EXPECT_TRUE(GetTextExtentPointW(fresh, L"Km", 2, &sz));
    EXPECT_GT(sz.cx, 0);
    EXPECT_EQ(sz.cy, tm.tmHeight);
    DeleteDC(fresh);
}

TEST_F(FontOnDc, TextFaceIsTheLogfontFace) {
    GdiObject<HFONT> font(MakeUiFont(12));
    SelectObject(dc_, font);
    wchar_t face[LF_FACESIZE] = {};
    EXPECT_EQ(GetTextFaceW(dc_, LF_FACESIZE, face), 5);
    EXPECT_STREQ(face, L"微软雅黑");
    EXPECT_EQ(GetTextFaceW(dc_, 0, nullptr), 5);
}

TEST(TextExtent, ScreenDcMeasuresTheSelectedFont) {
    HFONT font = MakeUiFont(12);
    HDC screen = GetDC(nullptr);
    ASSERT_NE(screen, nullptr);
    SelectObject(screen, font);
    SIZE sz{};
    ASSERT_TRUE(GetTextExtentPointW(screen, L"Km", 2, &sz));
    EXPECT_GT(sz.cx, 0);
    EXPECT_GE(sz.cy, 12);
    EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
    DeleteObject(font);
}

TEST(TextExtent, FailsOnBadArguments) {
    SIZE sz{};
    SetLastError(0);
    EXPECT_FALSE(GetTextExtentPointW(nullptr, L"a", 1, &sz));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_FALSE(GetTextExtentPointW(dc, L"a", 1, nullptr));
    EXPECT_FALSE(GetTextExtentPointW(dc, nullptr, 3, &sz));
    EXPECT_TRUE(GetTextExtentPoint32W(dc, L"a", 1, &sz));
    DeleteDC(dc);
}

}  // namespace

namespace {

TEST(TextExtent, ThreadsMeasuringAtOnceAgree) {
    HFONT font = MakeUiFont(15);
    auto measure = [font] {
        HDC dc = CreateCompatibleDC(nullptr);
        SelectObject(dc, font);
        SIZE sz{};
        LONG first = -1;
        bool same = true;
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
    DeleteObject(font);
}

}  // namespace
