// CreateProcessWithTokenW: the process starts as CreateProcessW would start it
// (one user, one set of rights here); the token only has to be a token.
#include <w32/builtin.h>
#include <w32/error.h>
#include <w32/object.h>
#include <w32/spawn.h>

BOOL WINAPI CreateProcessWithTokenW(HANDLE token, DWORD, LPCWSTR application_name,
                                    LPWSTR command_line, DWORD creation_flags, LPVOID environment,
                                    LPCWSTR current_directory, LPSTARTUPINFOW startup_info,
                                    LPPROCESS_INFORMATION process_information) {
    auto obj = w32::get_object(token);
    if (!obj || obj->kind() != w32::Kind::Token) return w32::fail(ERROR_INVALID_HANDLE);
    return w32::create_process("CreateProcessWithTokenW", application_name, command_line, FALSE,
                               creation_flags, environment, current_directory, startup_info,
                               process_information);
}

W32_BUILTIN_EXPORT("advapi32.dll", CreateProcessWithTokenW);
