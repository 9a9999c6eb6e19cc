#include "access_list.h"

#include <aclapi.h>

bool MakeWellKnownSid(WELL_KNOWN_SID_TYPE type, SidBuffer& sid)
{
    DWORD size = sizeof(sid.bytes);
    return CreateWellKnownSid(type, nullptr, sid.bytes, &size) != FALSE;
}

bool BuildExplicitSecurity(std::initializer_list<AccessRule> rules, ExplicitSecurity& security)
{
    DWORD size = sizeof(ACL);
    for (const AccessRule& rule : rules)
        size += sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + GetLengthSid(rule.sid);
    security.acl.reset(LocalAlloc(LPTR, size));
    if (!security.acl || !InitializeAcl(security.list(), size, ACL_REVISION))
        return false;
    for (const AccessRule& rule : rules) {
        if (!AddAccessAllowedAce(security.list(), ACL_REVISION, rule.mask, rule.sid))
            return false;
    }
    return InitializeSecurityDescriptor(&security.descriptor, SECURITY_DESCRIPTOR_REVISION) &&
           SetSecurityDescriptorDacl(&security.descriptor, TRUE, security.list(), FALSE) &&
           SetSecurityDescriptorControl(&security.descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
}

bool SetExplicitOwner(WELL_KNOWN_SID_TYPE owner, ExplicitSecurity& security)
{
    return MakeWellKnownSid(owner, security.owner) &&
           SetSecurityDescriptorOwner(&security.descriptor, security.owner.get(), FALSE);
}

bool IsTrustedOwner(PSID owner)
{
    SidBuffer own;
    return IsSystemOrAdministrators(owner) ||
           (owner && ReadOwnTokenSid(TokenOwner, own) && EqualSid(owner, own.get()));
}

bool ApplyExplicitSecurity(HANDLE object, SE_OBJECT_TYPE type, const ExplicitSecurity& security)
{
    return SetSecurityInfo(object, type, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                           nullptr, security.list(), nullptr) == ERROR_SUCCESS;
}
