// Reads whether a privilege is enabled in a token the one way the tokens answer
// it: enabling it reports its previous state, which is then put back. The token
// needs TOKEN_ADJUST_PRIVILEGES.
#pragma once

#include <windows.h>

namespace testtoken {

bool PrivilegeEnabled(HANDLE token, const wchar_t* name);

}  // namespace testtoken
