#include "token_sid.h"

#include "unique_handle.h"

bool ReadTokenSid(HANDLE token, TOKEN_INFORMATION_CLASS which, SidBuffer& sid)
{
    union {
        TOKEN_USER user;
        TOKEN_OWNER owner;
        BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } info;
    DWORD size = 0;
    return (which == TokenUser || which == TokenOwner) &&
           GetTokenInformation(token, which, &info, sizeof(info), &size) &&
           CopySid(sizeof(sid.bytes), sid.bytes, which == TokenUser ? info.user.User.Sid : info.owner.Owner);
}

bool ReadOwnTokenSid(TOKEN_INFORMATION_CLASS which, SidBuffer& sid)
{
    UniqueHandle token;
    return OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()) && ReadTokenSid(token.get(), which, sid);
}
