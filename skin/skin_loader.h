// The skin's value store: skin.info (INFO syntax) held as a property tree and
// read by dotted key paths. Values are UTF-8 text, parsed into their type on
// request; a malformed value answers false and leaves the output untouched.
//
// A value "@other.key" refers to another key. A key whose node is a reference and
// lacks a sub-key takes that sub-key from the node it refers to, so a style can
// start from another and change a few fields:
//     start "@btn_primary" { posx "460,120" }
// References are followed at most kMaxHops times, so a cycle ends as a missing key.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <string>

#include <boost/property_tree/ptree.hpp>

#include "ctrls/button_style.h"
#include "ctrls/edit_style.h"
#include "ctrls/link_style.h"
#include "ctrls/option_style.h"
#include "ctrls/progress_style.h"
#include "ctrls/system_panel_style.h"
#include "gui/color.h"
#include "gui/font.h"
#include "gui/geometry.h"
#include "gui/image.h"

namespace skin {

class SkinLoader {
public:
    // Reads an image of the package by its entry name; the empty image when it cannot.
    using ImageReader = std::function<Gui::Image(const std::string& name)>;
    // Realises the font of a key (see downloader::SkinManager::CreateFont).
    using FontCallback = bool (*)(const std::string& key, Gui::Font& font);

    static constexpr int kMaxHops = 16;

    static SkinLoader& Instance();

    // Replaces the store with the parsed text; false (store left empty) on a syntax
    // error. Images already read and the installed callbacks stay.
    bool LoadInfo(const std::string& info_text);
    // Empties the store and the image table and removes both callbacks.
    void Clear();

    void SetImageReader(ImageReader reader);
    void SetFontCallback(FontCallback callback);
    // Puts a package image into the table that image values name.
    void AddImage(const std::string& name, const Gui::Image& image);

    // The key whose node stands for the key once references are followed (a
    // referring node with sub-keys of its own stands for itself).
    bool ResolveKey(const std::string& key, std::string& resolved) const;

    bool GetString(const std::string& key, std::string& out) const;
    bool GetNumber(const std::string& key, int& out) const;
    // "1", "0", "true" or "false".
    bool GetBool(const std::string& key, bool& out) const;
    // "#RRGGBB", or "#" for the null colour.
    bool GetColor(const std::string& key, Gui::Color& out) const;
    bool GetPoint(const std::string& key, Gui::Point& out) const;  // "x,y"
    bool GetSize(const std::string& key, Gui::Size& out) const;    // "cx,cy"
    bool GetPair(const std::string& key, int (&out)[2]) const;     // "a,b"
    bool GetRect(const std::string& key, Gui::Rect& out) const;    // "left,top,right,bottom"
    // "name", "name[a,b]" or "name[a,b,c,d]": the package image of that entry name
    // with its hot spots (see ParseImageValue). Images are made once per value.
    bool GetImage(const std::string& key, Gui::Image& out);
    // A font is a key with the sub-keys "Height" (1 to 1000 pixels) and optionally
    // "Bold" and "Underline"; the font is not realised.
    bool GetFont(const std::string& key, Gui::Font& out) const;
    // The font realised by the font callback under its resolved key (unrealised
    // when no callback is installed).
    bool GetRealisedFont(const std::string& key, Gui::Font& out);

    // Style parsers: every sub-key present overwrites its field, a missing or
    // malformed one leaves it; true when any sub-key was read.
    bool GetStyle(const std::string& prefix, ctrls::ButtonStyle& out);
    bool GetStyle(const std::string& prefix, ctrls::SystemPanelStyle& out);
    bool GetStyle(const std::string& prefix, ctrls::OptionStyle& out);
    bool GetStyle(const std::string& prefix, ctrls::EditStyle& out);
    bool GetStyle(const std::string& prefix, ctrls::ProgressStyle& out);
    bool GetStyle(const std::string& prefix, ctrls::LinkStyle& out);

    // Splits an image value into its name and up to four hot spot numbers; false
    // when it is not of the form "name", "name[a,b]" or "name[a,b,c,d]".
    static bool ParseImageValue(const std::string& value, std::string& name, int (&spots)[4],
                                int& count);
    // Comma-separated whole numbers, exactly count of them.
    static bool ParseNumbers(const std::string& text, int* out, int count);

private:
    const boost::property_tree::ptree* FindNode(const std::string& key, bool as_node,
                                                std::string* resolved) const;
    bool GetValue(const std::string& key, std::string& out) const;
    Gui::Image ReadPackageImage(const std::string& name);

    mutable std::mutex mutex_;
    boost::property_tree::ptree tree_;
    std::map<std::string, Gui::Image> images_;        // package images by entry name
    std::map<std::string, Gui::Image> image_values_;  // made images by value text
    ImageReader reader_;
    FontCallback font_callback_ = nullptr;
};

}  // namespace skin
