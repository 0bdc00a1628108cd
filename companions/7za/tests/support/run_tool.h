// Runs 7za.exe through CreateProcessW with a given command line, as the client
// does, and keeps what it printed.
#pragma once

#include <windows.h>

#include <string>

namespace sevenza_test {

struct ToolRun {
    bool started = false;
    DWORD exit_code = 0xFFFFFFFFu;
    std::string output;  // standard output and standard error together
};

// The tool as the client names it: a drive path.
std::wstring tool_path();

ToolRun run_tool(const std::wstring& command_line, const std::wstring& working_folder = L"");

// The client's exact line: "<7za>" x "<archive>" -o"<folder>" -aoa
std::wstring client_line(const std::wstring& archive, const std::wstring& folder);

}  // namespace sevenza_test
