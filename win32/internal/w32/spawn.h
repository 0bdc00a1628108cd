// The one way the layer starts a program, shared by CreateProcessW and the calls
// that start programs on its behalf (ShellExecuteExW, CreateProcessWithTokenW).
#pragma once

#include <windows.h>

namespace w32 {

// As CreateProcessW; api names the Windows call for the record that
// WIN32_PROCESS_LOG keeps.
BOOL create_process(const char* api, LPCWSTR application_name, LPWSTR command_line,
                    BOOL inherit_handles, DWORD creation_flags, LPVOID environment,
                    LPCWSTR current_directory, LPSTARTUPINFOW startup_info,
                    LPPROCESS_INFORMATION process_information);

}  // namespace w32
