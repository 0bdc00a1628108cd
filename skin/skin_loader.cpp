#include "skin/skin_loader.h"

#include <algorithm>
#include <sstream>
#include <vector>

#include <boost/lexical_cast.hpp>
#include <boost/property_tree/info_parser.hpp>

#include "base/string_util.h"
#include "gui/image_ops.h"

namespace skin {

namespace {

using boost::property_tree::ptree;

std::string Trim(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos) return std::string();
    size_t end = text.find_last_not_of(" \t\r\n");
    return text.substr(begin, end - begin + 1);
}

// The key a value "@key" refers to.
bool IsReference(const std::string& value, std::string& target) {
    std::string text = Trim(value);
    if (text.size() < 2 || text[0] != '@') return false;
    target = Trim(text.substr(1));
    return !target.empty();
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// Whether the INFO reader may be given the text. A line starting with '#' is a
// directive, and "#include" would read any file the program can reach into the
// store; a tree nested deeper than kMaxDepth would overflow the stack when it is
// freed. Tokens are split as the reader splits them: "{" or "}" where a token
// starts, quoted strings with backslash escapes, words up to a blank or ';'; ';'
// starts a comment and a NUL ends the line.
bool IsAdmissibleInfo(const std::string& text) {
    constexpr int kMaxDepth = 64;
    int depth = 0;
    const char* const end = text.data() + text.size();
    for (const char* line = text.data(); line < end;) {
        const char* eol = std::find(line, end, '\n');
        const char* t = line;
        while (t < eol && IsBlank(*t)) ++t;
        if (t < eol && *t == '#') return false;
        while (t < eol && *t != '\0' && *t != ';') {
            if (IsBlank(*t)) {
                ++t;
            } else if (*t == '{') {
                if (++depth > kMaxDepth) return false;
                ++t;
            } else if (*t == '}') {
                depth = std::max(depth - 1, 0);
                ++t;
            } else if (*t == '"') {
                bool escaped = false;
                for (++t; t < eol && *t != '\0' && (escaped || *t != '"'); ++t)
                    escaped = !escaped && *t == '\\';
                if (t < eol && *t == '"') ++t;
            } else {
                while (t < eol && *t != '\0' && !IsBlank(*t) && *t != ';') ++t;
            }
        }
        line = eol + 1;
    }
    return true;
}

}  // namespace

SkinLoader& SkinLoader::Instance() {
    static SkinLoader loader;
    return loader;
}

bool SkinLoader::LoadInfo(const std::string& info_text) {
    ptree tree;
    bool ok = IsAdmissibleInfo(info_text);
    if (ok) {
        try {
            std::istringstream in(info_text);
            boost::property_tree::read_info(in, tree);
        } catch (const std::exception&) {
            ok = false;
            tree.clear();
        }
    }
    std::lock_guard<std::mutex> lock(mutex_);
    tree_.swap(tree);
    image_values_.clear();
    return ok;
}

void SkinLoader::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    tree_.clear();
    images_.clear();
    image_values_.clear();
    reader_ = nullptr;
    font_callback_ = nullptr;
}

void SkinLoader::SetImageReader(ImageReader reader) {
    std::lock_guard<std::mutex> lock(mutex_);
    reader_ = std::move(reader);
}

void SkinLoader::SetFontCallback(FontCallback callback) {
    std::lock_guard<std::mutex> lock(mutex_);
    font_callback_ = callback;
}

void SkinLoader::AddImage(const std::string& name, const Gui::Image& image) {
    std::lock_guard<std::mutex> lock(mutex_);
    images_[name] = image;
    image_values_.clear();
}

// Walks the dotted path; where a node lacks the next component and is itself a
// reference, the rest of the path continues at the node it refers to. A final
// node that is a reference is followed too, unless a node is asked for and it has
// sub-keys of its own. Caller holds the lock.
const ptree* SkinLoader::FindNode(const std::string& key, bool as_node,
                                  std::string* resolved) const {
    std::string path = key;
    for (int hop = 0; hop <= kMaxHops; ++hop) {
        const ptree* node = &tree_;
        std::string next;
        size_t start = 0;
        for (;;) {
            size_t dot = path.find('.', start);
            std::string part = path.substr(start, dot == std::string::npos ? dot : dot - start);
            if (part.empty()) return nullptr;
            auto it = node->find(part);
            if (it == node->not_found()) {
                std::string target;
                if (node == &tree_ || !IsReference(node->data(), target)) return nullptr;
                next = target + "." + path.substr(start);
                break;
            }
            node = &it->second;
            if (dot == std::string::npos) break;
            start = dot + 1;
        }
        if (next.empty()) {
            // A reference with sub-keys of its own stands for itself as a node.
            const bool derived = as_node && !node->empty();
            if (derived || !IsReference(node->data(), next)) {
                if (resolved) *resolved = path;
                return node;
            }
        }
        path = next;
    }
    return nullptr;
}

bool SkinLoader::ResolveKey(const std::string& key, std::string& resolved) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return FindNode(key, true, &resolved) != nullptr;
}

bool SkinLoader::GetValue(const std::string& key, std::string& out) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const ptree* node = FindNode(key, false, nullptr);
    if (!node) return false;
    out = node->data();
    return true;
}

bool SkinLoader::GetString(const std::string& key, std::string& out) const {
    return GetValue(key, out);
}

bool SkinLoader::ParseNumbers(const std::string& text, int* out, int count) {
    std::vector<int> values;
    size_t start = 0;
    try {
        for (;;) {
            size_t comma = text.find(',', start);
            std::string part =
                Trim(text.substr(start, comma == std::string::npos ? comma : comma - start));
            values.push_back(boost::lexical_cast<int>(part));
            if (comma == std::string::npos) break;
            start = comma + 1;
        }
    } catch (const boost::bad_lexical_cast&) {
        return false;
    }
    if (static_cast<int>(values.size()) != count) return false;
    std::copy(values.begin(), values.end(), out);
    return true;
}

bool SkinLoader::GetNumber(const std::string& key, int& out) const {
    std::string value;
    return GetValue(key, value) && ParseNumbers(value, &out, 1);
}

bool SkinLoader::GetBool(const std::string& key, bool& out) const {
    std::string value;
    if (!GetValue(key, value)) return false;
    value = Trim(value);
    if (value == "1" || value == "true") {
        out = true;
    } else if (value == "0" || value == "false") {
        out = false;
    } else {
        return false;
    }
    return true;
}

bool SkinLoader::GetColor(const std::string& key, Gui::Color& out) const {
    std::string value;
    uint32_t color = 0;
    if (!GetValue(key, value) || !base::ParseColor(Trim(value), color)) return false;
    out = Gui::Color::FromRaw(color);
    return true;
}

bool SkinLoader::GetPoint(const std::string& key, Gui::Point& out) const {
    int v[2];
    if (!GetPair(key, v)) return false;
    out = Gui::Point(v[0], v[1]);
    return true;
}

bool SkinLoader::GetSize(const std::string& key, Gui::Size& out) const {
    int v[2];
    if (!GetPair(key, v)) return false;
    out = Gui::Size(v[0], v[1]);
    return true;
}

bool SkinLoader::GetPair(const std::string& key, int (&out)[2]) const {
    std::string value;
    int v[2];
    if (!GetValue(key, value) || !ParseNumbers(value, v, 2)) return false;
    out[0] = v[0];
    out[1] = v[1];
    return true;
}

bool SkinLoader::GetRect(const std::string& key, Gui::Rect& out) const {
    std::string value;
    int v[4];
    if (!GetValue(key, value) || !ParseNumbers(value, v, 4)) return false;
    out = Gui::Rect(v[0], v[1], v[2], v[3]);
    return true;
}

bool SkinLoader::ParseImageValue(const std::string& value, std::string& name, int (&spots)[4],
                                 int& count) {
    std::string text = Trim(value);
    size_t open = text.find('[');
    std::string base = Trim(text.substr(0, open));
    if (base.empty() || base.find(']') != std::string::npos) return false;
    int n = 0;
    int v[4] = {};
    if (open != std::string::npos) {
        if (text.back() != ']') return false;
        std::string inner = text.substr(open + 1, text.size() - open - 2);
        if (ParseNumbers(inner, v, 4)) {
            n = 4;
        } else if (ParseNumbers(inner, v, 2)) {
            n = 2;
        } else {
            return false;
        }
    }
    name = base;
    std::copy(v, v + 4, spots);
    count = n;
    return true;
}

Gui::Image SkinLoader::ReadPackageImage(const std::string& name) {
    ImageReader reader;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = images_.find(name);
        if (it != images_.end()) return it->second;
        reader = reader_;
    }
    if (!reader) return Gui::Image();
    Gui::Image image = reader(name);
    if (!image.IsEmpty()) {
        std::lock_guard<std::mutex> lock(mutex_);
        images_[name] = image;
    }
    return image;
}

bool SkinLoader::GetImage(const std::string& key, Gui::Image& out) {
    std::string value;
    if (!GetValue(key, value)) return false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = image_values_.find(value);
        if (it != image_values_.end()) {
            out = it->second;
            return true;
        }
    }
    std::string name;
    int spots[4];
    int count = 0;
    if (!ParseImageValue(value, name, spots, count)) return false;
    Gui::Image image = ReadPackageImage(name);
    if (image.IsEmpty()) return false;
    // Negative numbers leave the spots unset: a first pair alone, or both pairs.
    if (count >= 2 && spots[0] >= 0 && spots[1] >= 0) {
        if (count == 4 && spots[2] >= 0 && spots[3] >= 0)
            image = Gui::WithHotSpots(image, spots[0], spots[1], spots[2], spots[3]);
        else
            image = Gui::WithHotSpot(image, spots[0], spots[1]);
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        image_values_[value] = image;
    }
    out = image;
    return true;
}

bool SkinLoader::GetFont(const std::string& key, Gui::Font& out) const {
    int height = 0;
    if (!GetNumber(key + ".Height", height) || height < 1 || height > 1000) return false;
    bool bold = false;
    bool underline = false;
    GetBool(key + ".Bold", bold);
    GetBool(key + ".Underline", underline);
    Gui::Font font;
    font.Height(static_cast<int16_t>(height)).Bold(bold).Underline(underline);
    out = font;
    return true;
}

bool SkinLoader::GetRealisedFont(const std::string& key, Gui::Font& out) {
    std::string resolved;
    Gui::Font font;
    if (!ResolveKey(key, resolved) || !GetFont(resolved, font)) return false;
    FontCallback callback;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        callback = font_callback_;
    }
    if (callback) callback(resolved, font);
    out = font;
    return true;
}

namespace {

std::string Indexed(const std::string& prefix, const char* name, int i) {
    return prefix + "." + name + std::to_string(i);
}

}  // namespace

bool SkinLoader::GetStyle(const std::string& prefix, ctrls::ButtonStyle& out) {
    const std::string p = prefix + ".";
    bool any = false;
    for (int i = 0; i < 4; ++i) {
        any |= GetImage(Indexed(prefix, "look", i), out.look[i]);
        any |= GetColor(Indexed(prefix, "textcolor", i), out.textcolor[i]);
    }
    any |= GetPoint(p + "pressoffset", out.pressoffset);
    any |= GetNumber(p + "align", out.align);
    any |= GetNumber(p + "valign", out.valign);
    any |= GetPair(p + "posx", out.posx);
    any |= GetPair(p + "posy", out.posy);
    return any;
}

bool SkinLoader::GetStyle(const std::string& prefix, ctrls::SystemPanelStyle& out) {
    const std::string p = prefix + ".";
    bool any = false;
    any |= GetStyle(p + "closebox", out.closebox);
    any |= GetStyle(p + "restorebox", out.restorebox);
    any |= GetStyle(p + "maxbox", out.maxbox);
    any |= GetStyle(p + "minbox", out.minbox);
    any |= GetPair(p + "posx", out.posx);
    any |= GetPair(p + "posy", out.posy);
    any |= GetBool(p + "shadow", out.shadow);
    any |= GetBool(p + "changeui", out.changeui);
    any |= GetNumber(p + "dragtop", out.dragtop);
    any |= GetImage(p + "wndbg", out.wndbg);
    any |= GetColor(p + "wndcolorbg", out.wndcolorbg);
    any |= GetImage(p + "icon", out.icon);
    any |= GetPoint(p + "iconpos", out.iconpos);
    any |= GetPoint(p + "titlepos", out.titlepos);
    any |= GetRealisedFont(p + "titlefont", out.titlefont);
    any |= GetColor(p + "titleink", out.titleink);
    any |= GetString(p + "titletext", out.titletext);
    any |= GetSize(p + "wndsize", out.wndsize);
    return any;
}

bool SkinLoader::GetStyle(const std::string& prefix, ctrls::OptionStyle& out) {
    bool any = false;
    for (int i = 0; i < 4; ++i) {
        any |= GetImage(Indexed(prefix, "unpressed", i), out.unpressed[i]);
        any |= GetImage(Indexed(prefix, "pressed", i), out.pressed[i]);
    }
    any |= GetNumber(prefix + ".optionview_width", out.optionview_width);
    return any;
}

bool SkinLoader::GetStyle(const std::string& prefix, ctrls::EditStyle& out) {
    const std::string p = prefix + ".";
    bool any = false;
    any |= GetColor(p + "paper", out.paper);
    any |= GetColor(p + "disabled", out.disabled);
    any |= GetColor(p + "text", out.text);
    any |= GetColor(p + "textdisabled", out.textdisabled);
    any |= GetColor(p + "selected", out.selected);
    any |= GetColor(p + "selectedtext", out.selectedtext);
    for (int i = 0; i < 4; ++i) any |= GetImage(Indexed(prefix, "edge", i), out.edge[i]);
    any |= GetRect(p + "margin", out.margin);
    return any;
}

bool SkinLoader::GetStyle(const std::string& prefix, ctrls::ProgressStyle& out) {
    const std::string p = prefix + ".";
    bool any = false;
    any |= GetImage(p + "bg", out.bg);
    any |= GetImage(p + "block", out.block);
    any |= GetBool(p + "tile", out.tile);
    any |= GetBool(p + "animate", out.animate);
    return any;
}

bool SkinLoader::GetStyle(const std::string& prefix, ctrls::LinkStyle& out) {
    const std::string p = prefix + ".";
    bool any = false;
    any |= GetRealisedFont(p + "textfont0", out.textfont0);
    any |= GetRealisedFont(p + "textfont1", out.textfont1);
    any |= GetColor(p + "textcolor", out.textcolor);
    return any;
}

}  // namespace skin
