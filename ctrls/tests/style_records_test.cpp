#include <gtest/gtest.h>

#include "ctrls/button.h"
#include "ctrls/button_style.h"
#include "ctrls/edit_text.h"
#include "ctrls/option_ctrl.h"
#include "ctrls/progress_ctrl.h"
#include "ctrls/system_panel.h"
#include "ctrls/edit_style.h"
#include "ctrls/link_style.h"
#include "ctrls/option_style.h"
#include "ctrls/progress_style.h"
#include "ctrls/system_panel_style.h"
#include "gui/font.h"

namespace {

using Gui::Image;

Image OnePixel() {
    Gui::ImageBuffer b(1, 1);
    b[0][0] = Gui::MakeRGBA(1, 2, 3, 255);
    return Image(b);
}

template <class T>
void ExpectFreshHeader(const T& s) {
    EXPECT_EQ(s.status, 0);
    EXPECT_EQ(s.registered, 0);
    EXPECT_EQ(s.standard, nullptr);
}

// Byte offset of a field inside its record.
template <class T, class F>
std::ptrdiff_t At(const T& record, const F& field) {
    return reinterpret_cast<const char*>(&field) - reinterpret_cast<const char*>(&record);
}

TEST(StyleRecordsTest, HeaderLeadsEveryRecord) {
    ctrls::ButtonStyle b;
    EXPECT_EQ(At(b, b.status), 0);
    EXPECT_EQ(At(b, b.registered), 1);
    EXPECT_EQ(At(b, b.standard), static_cast<std::ptrdiff_t>(sizeof(void*)));
    EXPECT_EQ(At(b, b.look), static_cast<std::ptrdiff_t>(2 * sizeof(void*)));
    ctrls::SystemPanelStyle p;
    EXPECT_EQ(At(p, p.closebox), static_cast<std::ptrdiff_t>(2 * sizeof(void*)));
    ctrls::LinkStyle l;
    EXPECT_EQ(At(l, l.textfont0), static_cast<std::ptrdiff_t>(2 * sizeof(void*)));
}

TEST(StyleRecordsTest, NewButtonStyleHasEmptyLooksNullColoursOffsetOneAndAlignThree) {
    ctrls::ButtonStyle s;
    ExpectFreshHeader(s);
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(s.look[i].IsEmpty());
        EXPECT_EQ(s.textcolor[i].GetRaw(), 0xFFFFFFFFu);
    }
    EXPECT_EQ(s.pressoffset, Gui::Point(1, 1));
    EXPECT_EQ(s.align, 3);
}

TEST(StyleRecordsTest, NewSystemPanelStyleHasWhiteBackgroundAndNullInk) {
    ctrls::SystemPanelStyle s;
    ExpectFreshHeader(s);
    EXPECT_EQ(s.wndcolorbg.GetRaw(), 0xFFFFFFu);
    EXPECT_TRUE(s.titleink.IsNull());
    EXPECT_TRUE(s.changeui);
    EXPECT_FALSE(s.shadow);
    EXPECT_TRUE(s.titletext.empty());
    EXPECT_EQ(s.wndsize, Gui::Size(0, 0));
    EXPECT_TRUE(s.icon.IsEmpty());
    EXPECT_TRUE(s.wndbg.IsEmpty());
    EXPECT_EQ(s.titlefont, Gui::Font());
    for (const ctrls::ButtonStyle* b : {&s.closebox, &s.restorebox, &s.maxbox, &s.minbox}) {
        ExpectFreshHeader(*b);
        EXPECT_EQ(b->pressoffset, Gui::Point(1, 1));
        EXPECT_EQ(b->align, 3);
    }
}

TEST(StyleRecordsTest, CopyingARecordSharesImagesAndCopiesTheTitle) {
    ctrls::SystemPanelStyle s;
    s.wndbg = OnePixel();
    s.closebox.look[2] = OnePixel();
    s.titletext = "标题";
    ctrls::SystemPanelStyle copy = s;
    EXPECT_NE(s.wndbg.GetSerialId(), 0u);
    EXPECT_EQ(copy.wndbg.GetSerialId(), s.wndbg.GetSerialId());
    EXPECT_EQ(copy.closebox.look[2].GetSerialId(), s.closebox.look[2].GetSerialId());
    EXPECT_NE(copy.closebox.look[2].GetSerialId(), s.wndbg.GetSerialId());
    s.titletext[0] = 'x';
    EXPECT_EQ(copy.titletext, "标题");
    // The copy outlives the original's images.
    s = ctrls::SystemPanelStyle();
    EXPECT_EQ(copy.wndbg.GetWidth(), 1);
}

TEST(StyleRecordsTest, NewOptionEditAndProgressStylesStartEmpty) {
    ctrls::OptionStyle o;
    ExpectFreshHeader(o);
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(o.unpressed[i].IsEmpty() && o.pressed[i].IsEmpty());
    ctrls::EditStyle e;
    ExpectFreshHeader(e);
    for (Gui::Color c : {e.paper, e.disabled, e.text, e.textdisabled, e.selected, e.selectedtext})
        EXPECT_TRUE(c.IsNull());
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(e.edge[i].IsEmpty());
    ctrls::ProgressStyle p;
    ExpectFreshHeader(p);
    EXPECT_TRUE(p.bg.IsEmpty());
    EXPECT_TRUE(p.block.IsEmpty());
    EXPECT_FALSE(p.tile);
    EXPECT_FALSE(p.animate);
}

TEST(StyleRecordsTest, NewLinkStyleHasNullColourAndZeroFonts) {
    ctrls::LinkStyle s;
    ExpectFreshHeader(s);
    EXPECT_TRUE(s.textcolor.IsNull());
    EXPECT_EQ(s.textfont0.GetHeight(), 0);
    EXPECT_EQ(s.textfont0.GetFlags(), 0);
    EXPECT_EQ(s.textfont1.GetHeight(), 0);
    EXPECT_EQ(s.textfont1.GetFlags(), 0);
}

void DefaultLinkStyleTakesTheDefaultFontAndDarkGrey() {
    Gui::Font f;
    f.Height(13).Bold();
    Gui::SetDefaultFont(f);
    const std::size_t before = Gui::GetRegisteredStyleCount();
    const ctrls::LinkStyle& d = ctrls::LinkStyle::Default();
    EXPECT_EQ(d.textcolor.GetRaw(), 0x333333u);
    EXPECT_EQ(d.textfont0, Gui::GetDefaultFont());
    EXPECT_EQ(d.textfont1, Gui::GetDefaultFont());
    EXPECT_EQ(d.status, 1);
    ASSERT_NE(d.standard, nullptr);
    EXPECT_NE(d.standard, &d);
    EXPECT_EQ(d.standard->standard, d.standard);
    EXPECT_EQ(d.standard->textcolor.GetRaw(), 0x333333u);
    EXPECT_EQ(d.standard->textfont0, f);
    // Twice: registered once, the same record.
    EXPECT_EQ(&ctrls::LinkStyle::Default(), &d);
    EXPECT_EQ(Gui::GetRegisteredStyleCount(), before + 1);
}

void DefaultLinkStyleBeforeTheDefaultFontKeepsZeroFontsForGood() {
    ASSERT_FALSE(Gui::IsDefaultFontSet());
    const ctrls::LinkStyle& d = ctrls::LinkStyle::Default();
    EXPECT_EQ(d.textfont0, Gui::Font());
    EXPECT_EQ(d.textfont1, Gui::Font());
    Gui::Font f;
    f.Height(20);
    Gui::SetDefaultFont(f);
    EXPECT_EQ(ctrls::LinkStyle::Default().textfont0, Gui::Font());
    EXPECT_EQ(d.textcolor.GetRaw(), 0x333333u);
}

// The default link record is made once per process: these run in processes of
// their own, also when the whole program runs.
void InFreshProcess(void (*body)()) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT((body(), exit(::testing::Test::HasFailure())), ::testing::ExitedWithCode(0), "");
}

TEST(StyleRecordsTest, DefaultLinkStyleTakesTheDefaultFontAndDarkGrey) {
    InFreshProcess(&DefaultLinkStyleTakesTheDefaultFontAndDarkGrey);
}

TEST(StyleRecordsTest, DefaultLinkStyleBeforeTheDefaultFontKeepsZeroFontsForGood) {
    InFreshProcess(&DefaultLinkStyleBeforeTheDefaultFontKeepsZeroFontsForGood);
}

// Each control's default record is filled with its standard look and entered once.
TEST(StyleRecordsTest, EachControlsDefaultRecordIsFilledAndRegisteredOnce) {
    auto check = [](const auto& d, const Image& look) {
        EXPECT_TRUE(d.status == 1 && d.registered == 1 && d.standard != &d);
        EXPECT_EQ(d.standard->standard, d.standard);
        EXPECT_FALSE(look.IsEmpty());
    };
    for (std::size_t pass = 0, count = 0; pass < 2; ++pass) {
        check(ctrls::Button::StyleDefault(), ctrls::Button::StyleDefault().look[3]);
        check(ctrls::SystemPanel::StyleDefault(),
              ctrls::SystemPanel::StyleDefault().minbox.look[1]);
        check(ctrls::OptionCtrl::StyleDefault(), ctrls::OptionCtrl::StyleDefault().pressed[0]);
        check(ctrls::EditText::StyleDefault(), ctrls::EditText::StyleDefault().edge[2]);
        check(ctrls::ProgressCtrl::StyleDefault(), ctrls::ProgressCtrl::StyleDefault().block);
        EXPECT_TRUE(pass == 0 || Gui::GetRegisteredStyleCount() == count);
        count = Gui::GetRegisteredStyleCount();
    }
}

}  // namespace
