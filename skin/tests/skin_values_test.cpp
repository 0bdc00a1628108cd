#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include "gui/image.h"
#include "skin/skin_loader.h"

namespace {

using skin::SkinLoader;

const char kInfo[] = R"(
n { ok "42" neg " -7 " bad "4x" empty "" big "99999999999" }
b { one "1" zero "0" yes "true" no "false" odd "2" }
c { red "#FF0000" null "#" short "#12345" bad "#GG0000" named "red" }
geo { point "3,-4" size "10, 20" rect "1,2,3,4" three "1,2,3" words "a,b" }
palette { ink "#112233" alias "@palette.ink" alias2 "@palette.alias" }
loop { a "@loop.b" b "@loop.a" self "@loop.self" deep "@loop.deep.x" }
img
{
    plain "a.png"
    both "a.png[1,2,5,6]"
    first "a.png[3,4]"
    first_of_four "a.png[3,4,-1,6]"
    negative "a.png[-1,2,5,6]"
    negative_b "a.png[2,-1,5,6]"
    negative_d "a.png[3,4,6,-1]"
    spaced " a.png [ 1 , 2 ] "
    fromreader "b.png[0,0]"
    missing "none.png"
    open "a.png[1,2"
    one "a.png[1]"
    three "a.png[1,2,3]"
    five "a.png[1,2,3,4,5]"
    word "a.png[1,x]"
    trailing "a.png[1,2]x"
    noname "[1,2]"
    huge "a.png[99999999999,1]"
    alias "@img.both"
}
font { plain { Height 12 } bold "@font.plain" { Bold 1 Underline 1 } zero { Height 0 } none { Bold 1 } }
base { look0 "a.png[1,1,2,2]" align "2" posx "5,6" font "@font.plain" }
derived "@base" { align "1" }
)";

Gui::Image Pixels(int w, int h) {
    Gui::ImageBuffer b(w, h);
    for (int i = 0; i < w * h; ++i) b.Begin()[i] = Gui::MakeRGBA(1, 2, 3, 255);
    return Gui::Image(b);
}

class SkinValues : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(loader().LoadInfo(kInfo));
        loader().AddImage("a.png", Pixels(8, 8));
        loader().SetImageReader([this](const std::string& name) {
            reads_.push_back(name);
            return name == "b.png" ? Pixels(4, 4) : Gui::Image();
        });
    }
    void TearDown() override { loader().Clear(); }
    static SkinLoader& loader() { return SkinLoader::Instance(); }

    std::vector<std::string> reads_;
};

// Each typed value as text, or "-" when it does not parse (the output then unchanged).
template <class T>
std::string Typed(bool (SkinLoader::*get)(const std::string&, T&) const, const char* key, T kept) {
    T v = kept;
    if (!(SkinLoader::Instance().*get)(key, v)) return v == kept ? "-" : "changed on failure";
    std::ostringstream out;
    if constexpr (std::is_same_v<T, Gui::Color>) {
        out << std::hex << v.GetRaw();
    } else if constexpr (std::is_same_v<T, Gui::Point>) {
        out << v.x << "," << v.y;
    } else if constexpr (std::is_same_v<T, Gui::Size>) {
        out << v.cx << "," << v.cy;
    } else if constexpr (std::is_same_v<T, Gui::Rect>) {
        out << v.left << "," << v.top << "," << v.right << "," << v.bottom;
    } else {
        out << v;
    }
    return out.str();
}

TEST_F(SkinValues, TypedValuesParseOrLeaveTheOutput) {
    using L = SkinLoader;
    // Each key's value as text, one after another.
    auto all = [](auto get, auto kept, std::initializer_list<const char*> keys) {
        std::string out;
        for (const char* key : keys) out += Typed(get, key, kept) + " ";
        return out;
    };
    EXPECT_EQ(all(&L::GetNumber, 1234, {"n.ok", "n.neg", "n.bad", "n.empty", "n.big", "n.absent"}),
              "42 -7 - - - - ");
    EXPECT_EQ(all(&L::GetBool, true, {"b.one", "b.zero", "b.yes", "b.no", "b.odd"}), "1 0 1 0 - ");
    EXPECT_EQ(all(&L::GetColor, Gui::White(),
                  {"c.red", "c.null", "c.short", "c.bad", "c.named", "palette.alias2"}),
              "ff ffffffff - - - 332211 ");
    EXPECT_EQ(all(&L::GetPoint, Gui::Point(9, 9),
                  {"geo.point", "geo.three", "geo.words", "geo.rect", "geo.absent"}),
              "3,-4 - - - - ");
    EXPECT_EQ(all(&L::GetSize, Gui::Size(9, 9), {"geo.size"}), "10,20 ");
    EXPECT_EQ(all(&L::GetRect, Gui::Rect(9, 9, 9, 9), {"geo.rect", "geo.three"}), "1,2,3,4 - ");
}

TEST_F(SkinValues, ReferencesResolveAndCyclesEndAsMissingKeys) {
    std::string resolved;
    // A referring node without the sub-key takes it from the node it refers to.
    for (auto [key, target] : {std::pair{"palette.alias2", "palette.ink"},
                               {"derived.posx", "base.posx"},
                               {"derived.align", "derived.align"},
                               {"derived.font", "font.plain"}}) {
        EXPECT_TRUE(loader().ResolveKey(key, resolved)) << key;
        EXPECT_EQ(resolved, target);
    }
    for (const char* key : {"loop.a", "loop.self", "loop.deep", "loop.self.x", "palette.ink.x",
                            ".palette", "palette..ink", ""}) {
        std::string v = "kept";
        EXPECT_FALSE(loader().GetString(key, v)) << key;
        EXPECT_EQ(v, "kept") << key;
    }
    // A directive would read any file of the machine into the store; a tree nested
    // too deep would overflow the stack when it is freed. Braces in texts are no nesting.
    EXPECT_FALSE(loader().LoadInfo("a 1\n \t#include \"" SKIN_INFO "\"\n"));
    EXPECT_FALSE(loader().GetString("default_wnd_caption", resolved));
    std::string deep;
    for (int i = 0; i < 1000000; ++i) deep += "a {\n";
    EXPECT_FALSE(loader().LoadInfo(deep + std::string(1000000, '}')));
    EXPECT_TRUE(loader().LoadInfo("k{{ \"{{{\" ; {{{\n\"x y\" { z{ 1 }\n"));
    EXPECT_TRUE(loader().GetString("x y.z{", resolved));
    EXPECT_FALSE(loader().LoadInfo("a {\n"));
    EXPECT_FALSE(loader().ResolveKey("palette.ink", resolved))
        << "a syntax error empties the store";
}

TEST_F(SkinValues, ImageValuesSetHotSpotsOnlyForNonNegativePairs) {
    const struct {
        const char* key;
        Gui::Point spot, spot2;
    } cases[] = {
        {"img.plain", {0, 0}, {0, 0}},      {"img.both", {1, 2}, {5, 6}},
        {"img.first", {3, 4}, {0, 0}},      {"img.first_of_four", {3, 4}, {0, 0}},
        {"img.negative", {0, 0}, {0, 0}},   {"img.negative_b", {0, 0}, {0, 0}},
        {"img.negative_d", {3, 4}, {0, 0}}, {"img.spaced", {1, 2}, {0, 0}},
        {"img.alias", {1, 2}, {5, 6}},
    };
    for (const auto& c : cases) {
        Gui::Image image;
        ASSERT_TRUE(loader().GetImage(c.key, image)) << c.key;
        EXPECT_EQ(image.GetSize(), Gui::Size(8, 8)) << c.key;
        EXPECT_EQ(image.GetHotSpot(), c.spot) << c.key;
        EXPECT_EQ(image.GetSpot2(), c.spot2) << c.key;
    }
    Gui::Image once, again;
    loader().GetImage("img.both", once);
    loader().GetImage("img.alias", again);
    EXPECT_EQ(once.GetSerialId(), again.GetSerialId()) << "one image per value";

    const Gui::Image kept = Pixels(2, 2);
    for (const char* key : {"img.missing", "img.open", "img.one", "img.three", "img.five",
                            "img.word", "img.trailing", "img.noname", "img.huge", "img.absent"}) {
        Gui::Image image = kept;
        EXPECT_FALSE(loader().GetImage(key, image)) << key;
        EXPECT_EQ(image.GetSerialId(), kept.GetSerialId()) << key;
    }
}

TEST_F(SkinValues, ImagesOutsideTheTableComeFromTheReaderOnce) {
    Gui::Image image;
    ASSERT_TRUE(loader().GetImage("img.fromreader", image));
    EXPECT_EQ(image.GetSize(), Gui::Size(4, 4));
    loader().LoadInfo(std::string(kInfo) + "again \"b.png\"\n");
    ASSERT_TRUE(loader().GetImage("again", image));
    EXPECT_EQ(reads_, std::vector<std::string>{"b.png"});
    EXPECT_FALSE(loader().GetImage("img.missing", image));
}

TEST_F(SkinValues, FontsReadHeightAndFlagsThroughReferences) {
    Gui::Font font;
    ASSERT_TRUE(loader().GetFont("font.bold", font));
    EXPECT_EQ(std::make_tuple(font.GetHeight(), font.IsBold(), font.IsUnderline()),
              std::make_tuple(12, true, true));
    ASSERT_TRUE(loader().GetFont("derived.font", font));
    EXPECT_FALSE(font.IsBold());
    for (const char* key : {"font.zero", "font.none", "font.absent", "n.ok"})
        EXPECT_FALSE(loader().GetFont(key, font)) << key;
}

std::vector<std::string> g_realised;
bool RecordFont(const std::string& key, Gui::Font& font) {
    g_realised.push_back(key);
    font.Height(static_cast<int16_t>(font.GetHeight() + 100));
    return true;
}

TEST_F(SkinValues, StyleParsersOverwritePresentSubKeysOnly) {
    const char kStyles[] = R"(
btn { look2 "a.png[1,1,6,6]" textcolor0 "#0000FF" textcolor1 "bad" pressoffset "0,2" posy "7,8" }
sys "@syslike" { titletext "标题" wndsize "600,279" closebox "@btn" }
syslike { shadow "1" changeui "0" dragtop "32" iconpos "4,5" titlefont "@font.bold" minbox { align "0" } }
prog { bg "a.png" tile "1" animate "maybe" }
edit { paper "#FFFFFF" margin "1,2,3,4" edge3 "a.png" }
opt { pressed1 "a.png" optionview_width "18" }
lnk { textfont1 "@font.plain" textcolor "#336699" }
)";
    ASSERT_TRUE(loader().LoadInfo(std::string(kInfo) + kStyles));
    loader().SetFontCallback(&RecordFont);
    g_realised.clear();

    ctrls::ButtonStyle button;
    button.align = 9;
    button.posx[0] = 11;
    ASSERT_TRUE(loader().GetStyle("btn", button));
    // A malformed colour leaves its field.
    EXPECT_EQ(std::make_tuple(button.look[0].IsEmpty(), button.look[2].GetSpot2(),
                              button.textcolor[0].GetRaw(), button.textcolor[1].IsNull(),
                              button.pressoffset, button.align, button.posx[0], button.posy[1]),
              std::make_tuple(true, Gui::Point(6, 6), 0xFF0000u, true, Gui::Point(0, 2), 9, 11, 8));

    ctrls::SystemPanelStyle panel;
    ASSERT_TRUE(loader().GetStyle("sys", panel));
    // The title font is realised by the font callback.
    EXPECT_EQ(std::make_tuple(panel.shadow, panel.changeui, panel.dragtop, panel.iconpos,
                              panel.titletext, panel.wndsize, panel.closebox.posy[0],
                              panel.minbox.align, panel.titlefont.GetHeight(), panel.wndcolorbg),
              std::make_tuple(true, false, 32, Gui::Point(4, 5), std::string("标题"),
                              Gui::Size(600, 279), 7, 0, 112, Gui::White()));

    ctrls::ProgressStyle progress;
    ASSERT_TRUE(loader().GetStyle("prog", progress));
    EXPECT_EQ(std::make_tuple(progress.bg.IsEmpty(), progress.tile, progress.animate),
              std::make_tuple(false, true, false));

    ctrls::EditStyle edit;
    ASSERT_TRUE(loader().GetStyle("edit", edit));
    EXPECT_EQ(std::make_tuple(edit.paper, edit.text.IsNull(), edit.margin, edit.edge[3].IsEmpty()),
              std::make_tuple(Gui::White(), true, Gui::Rect(1, 2, 3, 4), false));

    ctrls::OptionStyle option;
    ASSERT_TRUE(loader().GetStyle("opt", option));
    EXPECT_EQ(std::make_tuple(option.pressed[1].IsEmpty(), option.unpressed[1].IsEmpty(),
                              option.optionview_width),
              std::make_tuple(false, true, 18));

    ctrls::LinkStyle link;
    ASSERT_TRUE(loader().GetStyle("lnk", link));
    EXPECT_EQ(
        std::make_tuple(link.textfont0.GetHeight(), link.textfont1.GetHeight(), link.textcolor),
        std::make_tuple(0, 112, Gui::Color(0x33, 0x66, 0x99)));
    EXPECT_EQ(g_realised, (std::vector<std::string>{"font.bold", "font.plain"}));

    ctrls::ButtonStyle untouched;
    EXPECT_FALSE(loader().GetStyle("absent", untouched));
    EXPECT_FALSE(loader().GetStyle("loop.a", untouched));
}

}  // namespace
