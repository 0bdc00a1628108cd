// Static texts placed and shortened in the skin's font; the progress bar's block.
#include "base/string_util.h"
#include "ctrls/progress_ctrl.h"
#include "ctrls/static_text.h"
#include "ctrls/text_place.h"
#include "ctrls_support.h"

namespace {

using ctrls::StaticText;
using TextTest = ctrls_test::CtrlsTest;

TEST(TextPlaceTest, ALineSitsByTheSkinsAlignNumbers) {
    const Gui::Rect r(10, 20, 210, 36);
    const int x[] = {92, 10, 174, 92};  // align 0 centre, 1 left, 2 right, any other centre
    for (int align = 0; align < 4; ++align)
        EXPECT_EQ(ctrls::PlaceText(r, Gui::Size(36, 12), align), Gui::Point(x[align], 22));
    EXPECT_EQ(ctrls::PlaceText(r, Gui::Size(36, 12), 2, 1), Gui::Point(174, 20)) << "top";
}

TEST_F(TextTest, ATextTooWideEndsInDotsUntilThereIsRoom) {
    StaticText t;
    const std::wstring path = L"D:\\KeltoGames\\DemoGame\\下载";
    t.SetText(path).SetRect(0, 0, 60, 16);
    const std::wstring shown = t.GetShownText();
    EXPECT_EQ(path.substr(0, shown.size() - 3) + L"...", shown);
    EXPECT_LE(base::GetTextWidth(shown, t.GetFont()), 60);
    t.SetRect(0, 0, 400, 16);
    EXPECT_EQ(t.GetShownText(), path);
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
        EXPECT_EQ(ctrls_test::Canvas(bar).Count(Gui::RectC(0, 5, 420, 1), 0x06B025),
                  std::max(row.width - 2, 0));
    }
}

}  // namespace
