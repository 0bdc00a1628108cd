// Opening, duplicating and reading tokens, and impersonation of the own user.
#include "token.h"

#include <w32/error.h>

#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <unistd.h>

#include <cstddef>
#include <vector>

namespace w32 {
namespace {

const HANDLE kCurrentThread = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-2));

// The impersonation token of each thread that has one, by its thread object.
class Impersonations {
public:
    void set(const ObjectPtr& thread, std::shared_ptr<TokenState> token) {
        std::lock_guard lock(mu_);
        prune();
        for (auto& e : entries_) {
            if (e.thread.lock() == thread) {
                e.token = std::move(token);
                return;
            }
        }
        if (token) entries_.push_back({thread, std::move(token)});
    }
    std::shared_ptr<TokenState> find(const ObjectPtr& thread) {
        std::lock_guard lock(mu_);
        prune();
        for (auto& e : entries_)
            if (e.thread.lock() == thread) return e.token;
        return nullptr;
    }

private:
    struct Entry {
        std::weak_ptr<Object> thread;
        std::shared_ptr<TokenState> token;
    };
    void prune() {
        std::erase_if(entries_, [](const Entry& e) { return e.thread.expired() || !e.token; });
    }
    std::mutex mu_;
    std::vector<Entry> entries_;
};

Impersonations& impersonations() {
    static auto* i = new Impersonations;
    return *i;
}

ObjectPtr current_thread_object() {
    auto obj = get_object(kCurrentThread);
    return obj && obj->kind() == Kind::Thread ? obj : nullptr;
}

BOOL hand_out_token(std::shared_ptr<TokenState> state, DWORD desired, PHANDLE token) {
    HANDLE h = new_handle(
        std::make_shared<TokenObject>(std::move(state), normalize_token_access(desired)));
    if (!h) return FALSE;
    *token = h;
    return TRUE;
}

std::shared_ptr<TokenObject> token_with(HANDLE token, ACCESS_MASK needed) {
    auto obj = std::dynamic_pointer_cast<TokenObject>(get_object(token));
    if (!obj) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if ((obj->access & needed) != needed) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return obj;
}

bool valid_level(SECURITY_IMPERSONATION_LEVEL level) {
    return level >= SecurityAnonymous && level <= SecurityDelegation;
}

std::vector<BYTE> mandatory_label(DWORD rid) {
    std::vector<BYTE> out(sizeof(TOKEN_MANDATORY_LABEL) + sizeof(SID));
    auto* label = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(out.data());
    auto* sid = reinterpret_cast<SID*>(out.data() + sizeof(TOKEN_MANDATORY_LABEL));
    sid->Revision = SID_REVISION;
    sid->SubAuthorityCount = 1;
    SID_IDENTIFIER_AUTHORITY authority = SECURITY_MANDATORY_LABEL_AUTHORITY;
    sid->IdentifierAuthority = authority;
    sid->SubAuthority[0] = rid;
    label->Label.Sid = sid;
    label->Label.Attributes = SE_GROUP_INTEGRITY | SE_GROUP_INTEGRITY_ENABLED;
    return out;
}

template <class T>
std::vector<BYTE> bytes_of(T v) {
    std::vector<BYTE> out(sizeof v);
    memcpy(out.data(), &v, sizeof v);
    return out;
}

}  // namespace

DWORD integrity_rid() {
    if (const char* forced = getenv("WIN32_INTEGRITY"); forced && *forced) {
        if (!strcasecmp(forced, "untrusted")) return SECURITY_MANDATORY_UNTRUSTED_RID;
        if (!strcasecmp(forced, "low")) return SECURITY_MANDATORY_LOW_RID;
        if (!strcasecmp(forced, "medium")) return SECURITY_MANDATORY_MEDIUM_RID;
        if (!strcasecmp(forced, "high")) return SECURITY_MANDATORY_HIGH_RID;
        if (!strcasecmp(forced, "system")) return SECURITY_MANDATORY_SYSTEM_RID;
        char* end = nullptr;
        unsigned long v = strtoul(forced, &end, 0);
        if (end && *end == '\0' && v <= 0xFFFFFFFFul) return static_cast<DWORD>(v);
    }
    return geteuid() == 0 ? SECURITY_MANDATORY_HIGH_RID : SECURITY_MANDATORY_MEDIUM_RID;
}

ACCESS_MASK normalize_token_access(ACCESS_MASK desired) {
    ACCESS_MASK out = desired;
    if (out & (GENERIC_ALL | MAXIMUM_ALLOWED)) out |= TOKEN_ALL_ACCESS;
    if (out & GENERIC_READ) out |= TOKEN_READ;
    if (out & GENERIC_WRITE) out |= TOKEN_WRITE;
    if (out & GENERIC_EXECUTE) out |= TOKEN_EXECUTE;
    return out & TOKEN_ALL_ACCESS;
}

std::shared_ptr<TokenState> TokenState::copy(TOKEN_TYPE new_type,
                                             SECURITY_IMPERSONATION_LEVEL new_level) {
    auto out = std::make_shared<TokenState>();
    out->type = new_type;
    out->level = new_level;
    std::lock_guard lock(mu);
    out->privileges = privileges;
    return out;
}

std::shared_ptr<TokenState> process_token() {
    static auto* token = new std::shared_ptr<TokenState>([] {
        auto t = std::make_shared<TokenState>();
        t->privileges = initial_privileges();
        return t;
    }());
    return *token;
}

}  // namespace w32

using namespace w32;

BOOL WINAPI OpenProcessToken(HANDLE process, DWORD desired, PHANDLE token) {
    if (!token) return fail(ERROR_INVALID_PARAMETER);
    // Any process this process can open runs as the same user: its token looks the same.
    auto obj = get_object(process);
    if (!obj || obj->kind() != Kind::Process) return fail(ERROR_INVALID_HANDLE);
    return hand_out_token(process_token(), desired, token);
}

BOOL WINAPI OpenThreadToken(HANDLE thread, DWORD desired, BOOL, PHANDLE token) {
    if (!token) return fail(ERROR_INVALID_PARAMETER);
    auto obj = get_object(thread);
    if (!obj || obj->kind() != Kind::Thread) return fail(ERROR_INVALID_HANDLE);
    auto state = impersonations().find(obj);
    if (!state) return fail(ERROR_NO_TOKEN);
    return hand_out_token(std::move(state), desired, token);
}

BOOL WINAPI ImpersonateSelf(SECURITY_IMPERSONATION_LEVEL level) {
    if (!valid_level(level)) return fail(ERROR_INVALID_PARAMETER);
    auto self = current_thread_object();
    if (!self) return FALSE;
    impersonations().set(self, process_token()->copy(TokenImpersonation, level));
    return TRUE;
}

BOOL WINAPI RevertToSelf(void) {
    auto self = current_thread_object();
    if (!self) return FALSE;
    impersonations().set(self, nullptr);
    return TRUE;
}

BOOL WINAPI DuplicateTokenEx(HANDLE existing, DWORD desired, LPSECURITY_ATTRIBUTES,
                             SECURITY_IMPERSONATION_LEVEL level, TOKEN_TYPE type,
                             PHANDLE new_token) {
    if (!new_token) return fail(ERROR_INVALID_PARAMETER);
    auto source = token_with(existing, TOKEN_DUPLICATE);
    if (!source) return FALSE;
    if ((type != TokenPrimary && type != TokenImpersonation) || !valid_level(level))
        return fail(ERROR_INVALID_PARAMETER);
    if (source->state->type == TokenImpersonation && level > source->state->level)
        return fail(ERROR_BAD_IMPERSONATION_LEVEL);
    auto state = source->state->copy(type, type == TokenPrimary ? SecurityAnonymous : level);
    return hand_out_token(std::move(state), desired ? desired : source->access, new_token);
}

BOOL WINAPI GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS info_class, LPVOID info,
                                DWORD info_size, PDWORD return_size) {
    auto obj = token_with(token, TOKEN_QUERY);
    if (!obj) return FALSE;
    const DWORD rid = integrity_rid();
    const bool elevated = rid >= SECURITY_MANDATORY_HIGH_RID;
    std::vector<BYTE> answer;
    switch (info_class) {
        case TokenElevation:
            answer = bytes_of(TOKEN_ELEVATION{elevated ? 1u : 0u});
            break;
        case TokenElevationType:
            answer = bytes_of(elevated ? TokenElevationTypeFull : TokenElevationTypeDefault);
            break;
        case TokenIntegrityLevel:
            answer = mandatory_label(rid);
            break;
        case TokenType:
            answer = bytes_of(obj->state->type);
            break;
        case TokenImpersonationLevel:
            if (obj->state->type != TokenImpersonation) return fail(ERROR_INVALID_PARAMETER);
            answer = bytes_of(obj->state->level);
            break;
        default:
            return fail(info_class >= TokenUser && info_class <= TokenLogonSid
                            ? ERROR_NOT_SUPPORTED
                            : ERROR_INVALID_PARAMETER);
    }
    const auto needed = static_cast<DWORD>(answer.size());
    if (return_size) *return_size = needed;
    if (!info || info_size < needed) return fail(ERROR_INSUFFICIENT_BUFFER);
    memcpy(info, answer.data(), needed);
    if (info_class == TokenIntegrityLevel) {
        // The label points at its SID inside the caller's buffer.
        auto* label = static_cast<TOKEN_MANDATORY_LABEL*>(info);
        label->Label.Sid = static_cast<BYTE*>(info) + sizeof(TOKEN_MANDATORY_LABEL);
    }
    return TRUE;
}
