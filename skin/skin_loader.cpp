#include "skin/skin_loader.h"

#include <stdlib.h>

#include <sstream>

#include <boost/property_tree/info_parser.hpp>

namespace skin {

SkinLoader& SkinLoader::Instance() {
    static SkinLoader loader;
    return loader;
}

bool SkinLoader::LoadInfo(const std::string& info_text) {
    boost::property_tree::ptree tree;
    try {
        std::istringstream in(info_text);
        boost::property_tree::read_info(in, tree);
    } catch (const boost::property_tree::ptree_error&) {
        Clear();
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    tree_.swap(tree);
    return true;
}

void SkinLoader::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    tree_.clear();
}

bool SkinLoader::GetString(const std::string& key, std::string& out) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto value = tree_.get_optional<std::string>(key);
    if (!value) return false;
    out = *value;
    return true;
}

bool SkinLoader::GetFont(const std::string& key, Gui::Font& out) const {
    std::string value;
    return GetString(key, value) && ParseFont(value, out);
}

namespace {

// A whole number in decimal or 0x-hex, surrounding blanks allowed.
bool ParseNumber(const std::string& text, long& out) {
    const char* begin = text.c_str();
    char* end = nullptr;
    long n = strtol(begin, &end, 0);
    if (end == begin) return false;
    while (*end == ' ' || *end == '\t') ++end;
    if (*end != '\0') return false;
    out = n;
    return true;
}

}  // namespace

bool SkinLoader::ParseFont(const std::string& value, Gui::Font& out) {
    size_t comma = value.find(',');
    long height = 0;
    long flags = 0;
    if (!ParseNumber(value.substr(0, comma), height)) return false;
    if (comma != std::string::npos && !ParseNumber(value.substr(comma + 1), flags)) return false;
    if (height < -32768 || height > 32767 || flags < 0 || flags > 0xFFFF) return false;
    Gui::Font font;
    font.Height(static_cast<int16_t>(height));
    font.Bold((flags & Gui::Font::kBold) != 0);
    font.Underline((flags & Gui::Font::kUnderline) != 0);
    out = font;
    return true;
}

}  // namespace skin
