// The style records: each control's default record.
#include <gtest/gtest.h>

#include "ctrls/button.h"
#include "ctrls/edit_text.h"
#include "ctrls/link_style.h"
#include "ctrls/option_ctrl.h"
#include "ctrls/progress_ctrl.h"
#include "ctrls/system_panel.h"

namespace {

// The default link record is made once per process: each test runs it in a process of
// its own, also when the whole program runs.
void InFreshProcess(void (*body)()) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT((body(), exit(::testing::Test::HasFailure())), ::testing::ExitedWithCode(0), "");
}

TEST(StyleRecordsTest, DefaultLinkStyleTakesTheDefaultFontAndDarkGreyOnce) {
    InFreshProcess([] {
        Gui::Font f;
        Gui::SetDefaultFont(f.Height(13).Bold());
        const std::size_t before = Gui::GetRegisteredStyleCount();
        const ctrls::LinkStyle& d = ctrls::LinkStyle::Default();
        EXPECT_EQ(d.textcolor.GetRaw(), 0x333333u);
        EXPECT_TRUE(d.textfont0 == f && d.textfont1 == f && d.status == 1);
        ASSERT_TRUE(d.standard && d.standard != &d && d.standard->standard == d.standard);
        EXPECT_EQ(d.standard->textcolor.GetRaw(), 0x333333u);
        EXPECT_EQ(d.standard->textfont0, f);
        EXPECT_EQ(&ctrls::LinkStyle::Default(), &d);
        EXPECT_EQ(Gui::GetRegisteredStyleCount(), before + 1);
    });
}

TEST(StyleRecordsTest, DefaultLinkStyleBeforeTheDefaultFontKeepsZeroFontsForGood) {
    InFreshProcess([] {
        ASSERT_FALSE(Gui::IsDefaultFontSet());
        const ctrls::LinkStyle& d = ctrls::LinkStyle::Default();
        Gui::Font f;
        Gui::SetDefaultFont(f.Height(20));
        EXPECT_TRUE(d.textfont0 == Gui::Font() && d.textfont1 == Gui::Font());
        EXPECT_EQ(ctrls::LinkStyle::Default().textfont0, Gui::Font());
        EXPECT_EQ(d.textcolor.GetRaw(), 0x333333u);
    });
}

// Each control's default record is filled with its standard look and entered once.
TEST(StyleRecordsTest, EachControlsDefaultRecordIsFilledAndRegisteredOnce) {
    auto check = [](const auto& d, const Gui::Image& look) {
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
