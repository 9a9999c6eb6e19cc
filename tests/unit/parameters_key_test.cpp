// The access list that lets every user write Path.
#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <string>

#include "parameters_key_install.h"

namespace {

struct Expected {
    const wchar_t* sid;
    DWORD mask;
};

struct AclCase {
    bool wow64;
    DWORD everyoneMask;
};

class ParametersKeyAclTest : public ::testing::TestWithParam<AclCase> {};

TEST_P(ParametersKeyAclTest, GrantsEveryoneReadWriteAndTheSystemAccountsFullAccess)
{
    ParametersKeySecurity security;
    ASSERT_TRUE(BuildParametersKeySecurity(GetParam().wow64, security));
    // An x64 descriptor is 40 bytes: a 32-bit sized block would be overrun.
    EXPECT_GE(LocalSize(security.descriptor.get()), SECURITY_DESCRIPTOR_MIN_LENGTH);

    BOOL present = FALSE;
    BOOL defaulted = TRUE;
    PACL dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(security.descriptor.get(), &present, &dacl, &defaulted));
    EXPECT_TRUE(present);
    EXPECT_FALSE(defaulted);
    ASSERT_NE(dacl, nullptr);
    ASSERT_EQ(dacl->AceCount, 3);

    const Expected expected[] = {
        {L"S-1-1-0", GetParam().everyoneMask}, {L"S-1-5-32-544", 0xF003F}, {L"S-1-5-18", 0xF003F}};
    for (const Expected& entry : expected) {
        bool seen = false;
        for (DWORD i = 0; i < dacl->AceCount; ++i) {
            void* ace = nullptr;
            ASSERT_TRUE(GetAce(dacl, i, &ace));
            auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
            wchar_t* text = nullptr;
            ASSERT_TRUE(ConvertSidToStringSidW(&allowed->SidStart, &text));
            std::wstring sid = text;
            LocalFree(text);
            if (sid != entry.sid)
                continue;
            seen = true;
            EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
            EXPECT_EQ(allowed->Header.AceFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE), 0);
            EXPECT_EQ(allowed->Mask, entry.mask);
        }
        EXPECT_TRUE(seen);
    }
}

INSTANTIATE_TEST_SUITE_P(Wow64, ParametersKeyAclTest,
                         ::testing::Values(AclCase{false, 0x2001F}, AclCase{true, 0x2011F}));

} // namespace
