// Static texts placed and shortened in the skin's font; the progress bar's block.
#include <gtest/gtest.h>

#include "base/string_util.h"
#include "ctrls/progress_ctrl.h"
#include "ctrls/static_text.h"
#include "ctrls_support.h"

namespace {

using ctrls::StaticText;
using ctrls_test::Canvas;

TEST(TextTest, TextSitsLeftCentredOrRightAndMiddleHigh) {
    ctrls_test::LoadDemoSkin();
    StaticText t;
    t.SetText(L"下载器").SetInk(Gui::Color(255, 0, 0)).SetRect(0, 0, 200, 16);
    const struct {
        int align;
        double centre;
    } rows[] = {{StaticText::LEFT, -1}, {StaticText::CENTER, 100}, {StaticText::RIGHT, -1}};
    for (const auto& row : rows) {
        t.SetAlign(row.align);
        const Gui::Rect ink = Canvas(t).Ink(0, Gui::Rect(0, 0, 200, 16));
        if (row.align == StaticText::LEFT) EXPECT_LE(ink.left, 1);
        if (row.align == StaticText::RIGHT) EXPECT_GE(ink.right, 198);
        if (row.centre > 0) EXPECT_NEAR((ink.left + ink.right) / 2.0, row.centre, 2);
        EXPECT_NEAR((ink.top + ink.bottom) / 2.0, 8, 3);
    }
}

TEST(TextTest, ATextTooWideEndsInDotsUntilThereIsRoom) {
    ctrls_test::LoadDemoSkin();
    StaticText t;
    const std::wstring path = L"D:\\KeltoGames\\DemoGame\\下载";
    t.SetText(path).SetRect(0, 0, 60, 16);
    const std::wstring shown = t.GetShownText();
    ASSERT_GT(shown.size(), 3u);
    EXPECT_EQ(shown.substr(shown.size() - 3), L"...");
    EXPECT_EQ(path.compare(0, shown.size() - 3, shown, 0, shown.size() - 3), 0);
    EXPECT_LE(base::GetTextWidth(shown, t.GetFont()), 60);
    t.SetRect(0, 0, 400, 16);
    EXPECT_EQ(t.GetShownText(), path);
    t.SetText(L"D:\\");
    EXPECT_EQ(t.GetShownText(), L"D:\\");
}

TEST(ProgressTest, TheBlockCoversThePartDoneAndRepaintsOnlyWhenItGrows) {
    ctrls_test::LoadDemoSkin();
    ctrls_test::Root root;
    ctrls::ProgressCtrl bar;
    root.Add(bar.LeftPos(20, 420).TopPos(206, 10));
    const struct {
        int pos, total, got, width;
        bool repaint;
    } rows[] = {
        {-5, 10000, 0, 0, false},        {1, 10000, 1, 0, false},
        {24, 10000, 24, 1, true},        {2500, 10000, 2500, 105, true},
        {2510, 10000, 2510, 105, false}, {12000, 10000, 10000, 420, true},
        {3, 0, 1, 420, false},           {1, 4, 1, 105, true},
    };
    for (const auto& row : rows) {
        root.invalid.clear();
        bar.Set(row.pos, row.total);
        root.ClearRefreshPending();
        EXPECT_EQ(bar.Get(), row.got) << row.pos;
        EXPECT_EQ(bar.GetBlockWidth(), row.width) << row.pos;
        EXPECT_EQ(!root.invalid.empty(), row.repaint) << row.pos;
        // The standard block's face, inside its one-pixel edge, spans the width.
        const Canvas painted(bar);
        int face = 0;
        for (int x = 0; x < 420; ++x) face += painted.At(x, 5) == 0x06B025;
        EXPECT_EQ(face, std::max(row.width - 2, 0)) << row.pos;
    }
}

}  // namespace
