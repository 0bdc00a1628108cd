#include <w32/wildcard.h>

#include "kernel32/case_fold.h"

#include <vector>

namespace w32 {
namespace {

// A pattern as Windows hands it to the file system: '?' matches one character, or
// nothing at a dot or the name's end; '*' before a dot stops at the name's last dot;
// a dot before a wildcard or at the pattern's end also matches the end of the name.
enum class Token { Char, Star, DosStar, DosQm, DosDot };

struct Piece {
    Token token;
    wchar_t c;
};

std::vector<Piece> translate(std::wstring_view p) {
    std::vector<Piece> out;
    for (size_t i = 0; i < p.size(); ++i) {
        const wchar_t next = i + 1 < p.size() ? p[i + 1] : L'\0';
        if (p[i] == L'?') {
            out.push_back({Token::DosQm, 0});
        } else if (p[i] == L'*') {
            out.push_back({next == L'.' ? Token::DosStar : Token::Star, 0});
        } else if (p[i] == L'.' && (next == L'?' || next == L'*' || next == L'\0')) {
            out.push_back({Token::DosDot, 0});
        } else {
            out.push_back({Token::Char, p[i]});
        }
    }
    return out;
}

class Matcher {
public:
    Matcher(std::vector<Piece> pattern, std::wstring_view name)
        : p_(std::move(pattern)),
          s_(name),
          last_dot_(name.rfind(L'.')),
          memo_((p_.size() + 1) * (name.size() + 1), 0) {}

    bool match(size_t pi, size_t si) {
        char& seen = memo_[pi * (s_.size() + 1) + si];
        if (seen == 0) seen = step(pi, si) ? 1 : 2;
        return seen == 1;
    }

private:
    bool step(size_t pi, size_t si) {
        if (pi == p_.size()) return si == s_.size();
        const bool end = si == s_.size();
        switch (p_[pi].token) {
            case Token::Char:
                return !end && fold_case(p_[pi].c) == fold_case(s_[si]) && match(pi + 1, si + 1);
            case Token::Star:
                return match(pi + 1, si) || (!end && match(pi, si + 1));
            case Token::DosStar:
                // Never past the name's last dot.
                return match(pi + 1, si) || (!end && si != last_dot_ && match(pi, si + 1));
            case Token::DosQm:
                if (end || s_[si] == L'.') {
                    size_t next = pi;
                    while (next < p_.size() && p_[next].token == Token::DosQm) ++next;
                    return match(next, si);
                }
                return match(pi + 1, si + 1);
            case Token::DosDot:
                return end ? match(pi + 1, si) : s_[si] == L'.' && match(pi + 1, si + 1);
        }
        return false;
    }

    std::vector<Piece> p_;
    std::wstring_view s_;
    size_t last_dot_;
    std::vector<char> memo_;  // 0 unknown, 1 matches, 2 does not
};

}  // namespace

bool has_wildcards(std::wstring_view pattern) {
    return pattern.find_first_of(L"*?") != std::wstring_view::npos;
}

bool wildcard_match(std::wstring_view pattern, std::wstring_view name) {
    return Matcher(translate(pattern), name).match(0, 0);
}

}  // namespace w32
