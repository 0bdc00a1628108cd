// Access tokens as the layer models them. Every token stands for the user the
// process runs as: its integrity level is high (0x3000) for root and medium
// (0x2000) otherwise, unless WIN32_INTEGRITY forces one ("low", "medium", "high",
// "system" or a number); a token at high level or above is elevated. A token
// holds every privilege, so adjusting privileges always succeeds. A thread has a
// token of its own only between ImpersonateSelf and RevertToSelf.
//
// A handle is a TokenObject (Kind::Token): the token's state, shared by every
// handle to the same token, and the access this handle was opened with.
#pragma once

#include <w32/object.h>

#include <map>
#include <memory>
#include <mutex>

namespace w32 {

struct TokenState {
    TOKEN_TYPE type = TokenPrimary;
    SECURITY_IMPERSONATION_LEVEL level = SecurityAnonymous;
    std::mutex mu;
    std::map<DWORD, DWORD> privileges;  // LUID low part -> SE_PRIVILEGE_* attributes

    std::shared_ptr<TokenState> copy(TOKEN_TYPE new_type, SECURITY_IMPERSONATION_LEVEL new_level);
};

class TokenObject : public Object {
public:
    TokenObject(std::shared_ptr<TokenState> state, ACCESS_MASK access)
        : state(std::move(state)), access(access) {}
    Kind kind() const override { return Kind::Token; }

    const std::shared_ptr<TokenState> state;
    const ACCESS_MASK access;
};

// The integrity RID of this process's user (see above).
DWORD integrity_rid();
ACCESS_MASK normalize_token_access(ACCESS_MASK desired);
std::shared_ptr<TokenState> process_token();
// Privileges every new token starts with (LUID low part -> attributes).
std::map<DWORD, DWORD> initial_privileges();
// The LUID of a privilege name (ignoring case); 0 when unknown.
DWORD privilege_luid(const wchar_t* name);

}  // namespace w32
