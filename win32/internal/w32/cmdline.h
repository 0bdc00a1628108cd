// The Windows rules for command lines: how a program's C runtime splits its
// command line into arguments, and how to quote arguments so that they split back.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace w32 {

// The first argument follows the program-name rule (a quoted name ends at the
// next quote, backslashes are literal); the others follow the argument rules
// (2n backslashes before a quote give n and the quote opens or closes a quoted
// run, 2n+1 give n and a literal quote, "" inside a quoted run is a literal quote).
std::vector<std::wstring> split_command_line(std::wstring_view line);

// Quotes one argument only when it needs it (empty, a blank, a tab or a quote).
std::wstring quote_argument(std::wstring_view arg);
// The program name is quoted when it holds a blank; it cannot hold a quote.
std::wstring quote_program_name(std::wstring_view name);

}  // namespace w32
