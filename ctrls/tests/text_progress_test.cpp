// Static texts placed and shortened in the skin's font; the progress bar's block.
#include "base/string_util.h"
#include "ctrls/progress_ctrl.h"
#include "ctrls/static_text.h"
#include "ctrls_support.h"

namespace {

using ctrls::StaticText;
using ctrls_test::Canvas;
using TextTest = ctrls_test::CtrlsTest;

TEST_F(TextTest, TextSitsLeftCentredOrRight) {
    StaticText t;
    t.SetText(L"下载器").SetInk(Gui::Color(255, 0, 0)).SetRect(0, 0, 200, 16);
    const int width = Gui::GetTextSize(t.GetText(), t.GetFont()).cx;
    const int left[] = {(200 - width) / 2, 0, 200 - width};
    for (int align : {StaticText::CENTER, StaticText::LEFT, StaticText::RIGHT}) {
        // The first and last columns not all black lie within the text's cell.
        const Canvas painted(t.SetAlign(align));
        int first = -1, last = -1;
        for (int x = 0; x < 200; ++x)
            if (painted.Count(Gui::RectC(x, 0, 1, 16), 0) < 16) {
                first = first < 0 ? x : first;
                last = x;
            }
        EXPECT_NEAR(first, left[align], 2) << align;
        EXPECT_NEAR(last + 1, left[align] + width, 2) << align;
    }
}

TEST_F(TextTest, ATextTooWideEndsInDotsUntilThereIsRoom) {
    StaticText t;
    const std::wstring path = L"D:\\KeltoGames\\DemoGame\\下载";
    t.SetText(path).SetRect(0, 0, 60, 16);
    const std::wstring shown = t.GetShownText();
    ASSERT_GT(shown.size(), 3u);
    EXPECT_EQ(path.substr(0, shown.size() - 3) + L"...", shown);
    EXPECT_LE(base::GetTextWidth(shown, t.GetFont()), 60);
    t.SetRect(0, 0, 400, 16);
    EXPECT_EQ(t.GetShownText(), path);
    EXPECT_EQ(t.SetText(L"D:\\").GetShownText(), L"D:\\");
}

TEST_F(TextTest, AProgressBlockCoversThePartDoneAndRepaintsOnlyWhenItGrows) {
    ctrls::ProgressCtrl bar;
    root.Add(bar.LeftPos(20, 420).TopPos(206, 10));
    const struct {
        int pos, total, got, width;
        bool repaint;
    } rows[] = {{-5, 10000, 0, 0, false},        {1, 10000, 1, 0, false},
                {24, 10000, 24, 1, true},        {2500, 10000, 2500, 105, true},
                {2510, 10000, 2510, 105, false}, {12000, 10000, 10000, 420, true},
                {3, 0, 1, 420, false},           {1, 4, 1, 105, true}};
    for (const auto& row : rows) {
        root.invalid.clear();
        bar.Set(row.pos, row.total);
        root.ClearRefreshPending();
        EXPECT_EQ(bar.Get(), row.got) << row.pos;
        EXPECT_EQ(bar.GetBlockWidth(), row.width) << row.pos;
        EXPECT_EQ(!root.invalid.empty(), row.repaint) << row.pos;
        // The standard block's face, inside its one-pixel edge, spans the width.
        EXPECT_EQ(Canvas(bar).Count(Gui::RectC(0, 5, 420, 1), 0x06B025),
                  std::max(row.width - 2, 0));
    }
}

}  // namespace
