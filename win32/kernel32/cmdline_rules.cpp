#include <w32/cmdline.h>

namespace w32 {
namespace {

bool is_blank(wchar_t c) { return c == L' ' || c == L'\t'; }

}  // namespace

std::vector<std::wstring> split_command_line(std::wstring_view line) {
    std::vector<std::wstring> args;
    size_t i = 0;
    const size_t n = line.size();

    // The program name: quotes only group, backslashes are plain characters.
    std::wstring name;
    bool quoted = false;
    while (i < n && (quoted || !is_blank(line[i]))) {
        if (line[i] == L'"') {
            quoted = !quoted;
        } else {
            name += line[i];
        }
        ++i;
    }
    args.push_back(std::move(name));

    for (;;) {
        while (i < n && is_blank(line[i])) ++i;
        if (i >= n) break;
        std::wstring arg;
        quoted = false;
        while (i < n) {
            size_t slashes = 0;
            while (i < n && line[i] == L'\\') {
                ++slashes;
                ++i;
            }
            bool copy = true;
            if (i < n && line[i] == L'"') {
                if (slashes % 2 == 0) {
                    if (quoted && i + 1 < n && line[i + 1] == L'"') {
                        ++i;  // "" inside a quoted run is one literal quote
                    } else {
                        copy = false;
                        quoted = !quoted;
                    }
                }
                slashes /= 2;
            }
            arg.append(slashes, L'\\');
            if (i >= n || (!quoted && is_blank(line[i]))) break;
            if (copy) arg += line[i];
            ++i;
        }
        args.push_back(std::move(arg));
    }
    return args;
}

std::wstring quote_argument(std::wstring_view arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring_view::npos)
        return std::wstring(arg);
    std::wstring out = L"\"";
    size_t slashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        if (c == L'"') {
            out.append(slashes * 2 + 1, L'\\');
        } else {
            out.append(slashes, L'\\');
        }
        slashes = 0;
        out += c;
    }
    // Backslashes before the closing quote are doubled so it stays a quote.
    out.append(slashes * 2, L'\\');
    out += L'"';
    return out;
}

std::wstring quote_program_name(std::wstring_view name) {
    if (!name.empty() && name.find_first_of(L" \t") == std::wstring_view::npos)
        return std::wstring(name);
    return L"\"" + std::wstring(name) + L"\"";
}

}  // namespace w32
