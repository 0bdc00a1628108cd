// The record of headless dialogs: what the user would have been told and answered.
#pragma once

#include <string_view>

namespace w32 {

// Appends one line "kind<TAB>caption<TAB>text<TAB>flags<TAB>answer" (UTF-8) to the
// file WIN32_DIALOG_LOG names; nothing when it is unset or empty. Tabs, newlines
// and backslashes inside a field are escaped (\t, \n, \r, \\) so a line stays one record.
void log_dialog(std::string_view kind, std::wstring_view caption, std::wstring_view text,
                unsigned flags, std::string_view answer);

}  // namespace w32
