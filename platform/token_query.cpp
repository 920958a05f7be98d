#include "platform/token_query.h"

#include <sddl.h>

namespace tqn {

bool QueryTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS infoClass,
                           ScopedLocalMemory& buffer) {
    DWORD size = 0;
    if (::GetTokenInformation(token, infoClass, nullptr, 0, &size) ||
        ::GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) {
        return false;
    }
    ScopedLocalMemory memory(::LocalAlloc(LMEM_FIXED, size));
    if (!memory) return false;
    if (!::GetTokenInformation(token, infoClass, memory.Get(), size, &size)) return false;
    buffer = std::move(memory);
    return true;
}

bool QueryIntegrityRid(HANDLE token, uint32_t& rid) {
    ScopedLocalMemory buffer;
    if (!QueryTokenInformation(token, TokenIntegrityLevel, buffer)) return false;
    const auto* label = static_cast<const TOKEN_MANDATORY_LABEL*>(buffer.Get());
    PSID sid = label->Label.Sid;
    if (sid == nullptr || !::IsValidSid(sid)) return false;
    const UCHAR count = *::GetSidSubAuthorityCount(sid);
    if (count == 0) return false;
    rid = *::GetSidSubAuthority(sid, count - 1);
    return true;
}

std::wstring ProcessUserSidText() {
    ScopedHandle token;
    ScopedLocalMemory buffer;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Receive()) ||
        !QueryTokenInformation(token.Get(), TokenUser, buffer)) {
        return std::wstring();
    }
    wchar_t* text = nullptr;
    if (!::ConvertSidToStringSidW(static_cast<const TOKEN_USER*>(buffer.Get())->User.Sid, &text)) {
        return std::wstring();
    }
    ScopedLocalMemory owner(text);
    return text;
}

}  // namespace tqn
