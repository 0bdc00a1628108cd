// DrawTextW: text in a rectangle, aligned, optionally wrapped at word boundaries.
//
// Lines break after blanks and around CJK characters (which stand for words of their
// own), never before closing punctuation; a word wider than the line is broken where
// it must be, so nothing is drawn outside the rectangle. Prefix characters (&) are
// taken out; the underline they ask for stays hidden, as Windows hides keyboard cues
// until the keyboard is used.
#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

namespace {

bool is_cjk(wchar_t c) {
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
           (c >= 0xFF00 && c <= 0xFFEF) || (c >= 0x20000 && c <= 0x3FFFF);
}

// Punctuation that may not start a line.
bool closes(wchar_t c) {
    static const wchar_t kClosing[] = L"，。、；：！？）》」』】〕〉”’…,.;:!?)]}%";
    return wcschr(kClosing, c) != nullptr && c != 0;
}

std::wstring strip_prefixes(const std::wstring& in) {
    std::wstring out;
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] == L'&' && i + 1 < in.size())
            ++i;
        else if (in[i] == L'&')
            continue;
        out.push_back(in[i]);
    }
    return out;
}

class Measure {
public:
    explicit Measure(HDC hdc) : hdc_(hdc) {}
    int width(const std::wstring& s, size_t from, size_t to) {
        int w = 0;
        for (size_t i = from; i < to; ++i) w += advance(s[i]);
        return w;
    }
    int advance(wchar_t c) {
        SIZE size{};
        GetTextExtentPoint32W(hdc_, &c, 1, &size);
        return size.cx;
    }

private:
    HDC hdc_;
};

struct Line {
    std::wstring text;
    int width = 0;
};

// Splits one paragraph into lines no wider than limit.
void wrap(const std::wstring& para, int limit, Measure& m, std::vector<Line>* out) {
    size_t start = 0;
    while (start < para.size()) {
        int w = 0;
        size_t end = start;
        size_t last_break = std::wstring::npos;  // a break may come before this index
        while (end < para.size()) {
            const int a = m.advance(para[end]);
            if (w + a > limit && end > start && para[end] != L' ') break;
            w += a;
            ++end;
            if (end < para.size()) {
                const wchar_t prev = para[end - 1], next = para[end];
                if ((prev == L' ' || is_cjk(prev) || is_cjk(next)) && !closes(next) && next != L' ')
                    last_break = end;
            }
        }
        if (end < para.size() && last_break != std::wstring::npos && last_break > start)
            end = last_break;
        size_t visible_end = end;
        while (visible_end > start && para[visible_end - 1] == L' ') --visible_end;
        Line line;
        line.text = para.substr(start, visible_end - start);
        line.width = m.width(para, start, visible_end);
        out->push_back(std::move(line));
        start = end;
        while (start < para.size() && para[start] == L' ') ++start;
    }
    if (para.empty()) out->push_back(Line{});
}

std::wstring with_ellipsis(const std::wstring& s, int limit, Measure& m) {
    if (m.width(s, 0, s.size()) <= limit) return s;
    const int dots = m.advance(L'.') * 3;
    size_t n = s.size();
    while (n > 0 && m.width(s, 0, n) + dots > limit) --n;
    return s.substr(0, n) + L"...";
}

}  // namespace

int WINAPI DrawTextW(HDC hdc, LPCWSTR text, int count, LPRECT rect, UINT format) {
    if (!hdc || !text || !rect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::wstring s(text, count < 0 ? wcslen(text) : static_cast<size_t>(count));
    if (!(format & DT_NOPREFIX)) s = strip_prefixes(s);
    std::wstring expanded;
    for (wchar_t c : s) {
        if (c == L'\t')
            expanded.append((format & DT_EXPANDTABS) ? 8 - expanded.size() % 8 : 1, L' ');
        else
            expanded.push_back(c);
    }
    Measure m(hdc);
    TEXTMETRICW tm{};
    GetTextMetricsW(hdc, &tm);
    const int line_height = tm.tmHeight;
    const int limit = rect->right - rect->left;

    std::vector<Line> lines;
    if (format & DT_SINGLELINE) {
        for (auto& c : expanded)
            if (c == L'\r' || c == L'\n') c = L' ';
        Line line{expanded, 0};
        if (format & DT_END_ELLIPSIS) line.text = with_ellipsis(expanded, limit, m);
        line.width = m.width(line.text, 0, line.text.size());
        lines.push_back(std::move(line));
    } else {
        size_t start = 0;
        while (start <= expanded.size()) {
            size_t end = expanded.find_first_of(L"\r\n", start);
            if (end == std::wstring::npos) end = expanded.size();
            const std::wstring para = expanded.substr(start, end - start);
            if (format & DT_WORDBREAK) {
                wrap(para, limit, m, &lines);
            } else {
                lines.push_back(Line{para, m.width(para, 0, para.size())});
            }
            if (end == expanded.size()) break;
            start = end + ((expanded[end] == L'\r' && end + 1 < expanded.size() &&
                            expanded[end + 1] == L'\n')
                               ? 2
                               : 1);
        }
    }
    const int height = line_height * static_cast<int>(lines.size());
    if (format & DT_CALCRECT) {
        int widest = 0;
        for (const Line& l : lines) widest = std::max(widest, l.width);
        rect->right = rect->left + widest;
        rect->bottom = rect->top + height;
        return height;
    }
    int y = rect->top;
    if (format & DT_SINGLELINE) {
        if (format & DT_VCENTER)
            y = rect->top + (rect->bottom - rect->top - height) / 2;
        else if (format & DT_BOTTOM)
            y = rect->bottom - height;
    }
    const UINT align = SetTextAlign(hdc, TA_LEFT | TA_TOP);
    const UINT clip = (format & DT_NOCLIP) ? 0 : ETO_CLIPPED;
    for (const Line& l : lines) {
        int x = rect->left;
        if (format & DT_CENTER)
            x = rect->left + (limit - l.width) / 2;
        else if (format & DT_RIGHT)
            x = rect->right - l.width;
        ExtTextOutW(hdc, x, y, clip, rect, l.text.c_str(), static_cast<UINT>(l.text.size()),
                    nullptr);
        y += line_height;
    }
    SetTextAlign(hdc, align);
    return (format & (DT_VCENTER | DT_BOTTOM)) && (format & DT_SINGLELINE) ? y - rect->top : height;
}
