// The skin's value store: skin.info (INFO syntax) held as a property tree and
// read by dotted key paths. Values are UTF-8 text; typed readers parse them on
// demand. Only texts and fonts are read so far.
#pragma once

#include <mutex>
#include <string>

#include <boost/property_tree/ptree.hpp>

#include "gui/font.h"

namespace skin {

class SkinLoader {
public:
    static SkinLoader& Instance();

    // Replaces the store with the parsed text; false (store left empty) on a syntax error.
    bool LoadInfo(const std::string& info_text);
    void Clear();

    // The value at the dotted key path; false and out untouched when missing.
    bool GetString(const std::string& key, std::string& out) const;
    // The font at the key ("height[,flags]", flags decimal or 0x-hex; see ParseFont),
    // unrealised; false when the key is missing or the value does not parse.
    bool GetFont(const std::string& key, Gui::Font& out) const;

    // "12" or "12,0x8000": the 16-bit height and the font flags (0x8000 bold,
    // 0x2000 underline). Other flag bits are ignored.
    static bool ParseFont(const std::string& value, Gui::Font& out);

private:
    mutable std::mutex mutex_;
    boost::property_tree::ptree tree_;
};

}  // namespace skin
