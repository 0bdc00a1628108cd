// GetTimeFormatA: Windows time pictures ("HH':'mm':'ss", "h:mm:ss tt", ...). Every
// locale formats like the user default, whose picture is "h:mm:ss tt" with the
// markers "AM" and "PM".
#include <w32/error.h>

#include <string.h>

#include <string>
#include <vector>

namespace {

constexpr const char* kDefaultPicture = "h:mm:ss tt";

struct Item {
    char token;  // 'h', 'H', 'm', 's', 't'; 0 for literal text
    int count;
    std::string text;
};

std::vector<Item> parse_picture(const char* p) {
    std::vector<Item> items;
    auto literal = [&](char c) {
        if (items.empty() || items.back().token) items.push_back({0, 0, {}});
        items.back().text += c;
    };
    while (*p) {
        const char c = *p;
        if (c == '\'') {
            ++p;
            if (*p == '\'') {  // '' outside quotes is one quote
                literal('\'');
                ++p;
                continue;
            }
            while (*p) {
                if (*p == '\'') {
                    if (p[1] != '\'') {
                        ++p;
                        break;
                    }
                    ++p;  // '' inside quotes is one quote too
                }
                literal(*p++);
            }
        } else if (c == 'h' || c == 'H' || c == 'm' || c == 's' || c == 't') {
            int n = 0;
            while (*p == c) ++p, ++n;
            items.push_back({c, n, {}});
        } else {
            literal(c);
            ++p;
        }
    }
    return items;
}

bool dropped(char token, DWORD flags) {
    if (token == 't') return flags & TIME_NOTIMEMARKER;
    if (token == 's') return flags & (TIME_NOSECONDS | TIME_NOMINUTESORSECONDS);
    if (token == 'm') return flags & TIME_NOMINUTESORSECONDS;
    return false;
}

void two_digits(std::string& out, unsigned v, bool pad) {
    if (pad || v >= 10) out += static_cast<char>('0' + v / 10 % 10);
    out += static_cast<char>('0' + v % 10);
}

std::string format(const std::vector<Item>& items, DWORD flags, const SYSTEMTIME& t) {
    std::string out;
    size_t literal_start = 0;  // where the literal text before the next token began
    for (const Item& it : items) {
        if (!it.token) {
            literal_start = out.size();
            out += it.text;
            continue;
        }
        if (dropped(it.token, flags)) {
            // The separator before a dropped element goes with it.
            out.resize(literal_start);
            continue;
        }
        char token = it.token;
        if (token == 'h' && (flags & TIME_FORCE24HOURFORMAT)) token = 'H';
        switch (token) {
            case 'h': {
                unsigned h = t.wHour % 12;
                two_digits(out, h == 0 ? 12 : h, it.count > 1);
                break;
            }
            case 'H':
                two_digits(out, t.wHour, it.count > 1);
                break;
            case 'm':
                two_digits(out, t.wMinute, it.count > 1);
                break;
            case 's':
                two_digits(out, t.wSecond, it.count > 1);
                break;
            case 't': {
                const char* marker = t.wHour < 12 ? "AM" : "PM";
                out += it.count > 1 ? std::string(marker) : std::string(1, marker[0]);
                break;
            }
        }
        literal_start = out.size();
    }
    return out;
}

}  // namespace

int WINAPI GetTimeFormatA(LCID Locale, DWORD dwFlags, const SYSTEMTIME* lpTime, LPCSTR lpFormat,
                          LPSTR lpTimeStr, int cchTime) {
    (void)Locale;
    if (cchTime < 0 || (cchTime > 0 && !lpTimeStr)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const DWORD known = TIME_NOMINUTESORSECONDS | TIME_NOSECONDS | TIME_NOTIMEMARKER |
                        TIME_FORCE24HOURFORMAT | LOCALE_NOUSEROVERRIDE | LOCALE_USE_CP_ACP;
    if ((dwFlags & ~known) || (lpFormat && (dwFlags & LOCALE_NOUSEROVERRIDE))) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    SYSTEMTIME now;
    if (!lpTime) {
        GetLocalTime(&now);
        lpTime = &now;
    } else if (lpTime->wHour > 23 || lpTime->wMinute > 59 || lpTime->wSecond > 59 ||
               lpTime->wMilliseconds > 999) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::string text =
        format(parse_picture(lpFormat ? lpFormat : kDefaultPicture), dwFlags, *lpTime);
    const int needed = static_cast<int>(text.size()) + 1;
    if (cchTime == 0) return needed;
    if (needed > cchTime) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    memcpy(lpTimeStr, text.c_str(), text.size() + 1);
    return needed;
}
