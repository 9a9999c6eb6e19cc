// The access list that lets every user write Path, and the two programs'
// reader and writer of its values.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "access_entries.h"
#include "case_name.h"
#include "parameters_key.h"
#include "parameters_key_install.h"
#include "parameters_key_scope.h"

namespace {

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

    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        ASSERT_TRUE(GetAce(dacl, i, &ace));
        EXPECT_EQ(static_cast<ACE_HEADER*>(ace)->AceFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE), 0);
    }
    std::vector<AccessEntry> expected = {
        {L"S-1-1-0", GetParam().everyoneMask}, {L"S-1-5-18", KEY_ALL_ACCESS}, {L"S-1-5-32-544", KEY_ALL_ACCESS}};
    EXPECT_EQ(AllowedEntries(dacl), expected);
}

INSTANTIATE_TEST_SUITE_P(Wow64, ParametersKeyAclTest,
                         ::testing::Values(AclCase{false, 0x2001F}, AclCase{true, 0x2011F}));

// What the readers make of each way a value can be stored. A full buffer
// without its NUL would be read past by whoever took it for text.
struct StoredCase {
    const char* name;
    void (*store)(ParametersKeyScope& key);
    bool keyOpened;
    std::wstring path;
    DWORD exitCode;
};

const std::wstring kLongestPath(MAX_PATH - 1, L'p');

const StoredCase kStoredCases[] = {
    {"Written", [](auto& key) { key.SetPath(L"C:\\t\\wps_profile.xml"), key.SetExitCode(EnrollmentOverlap); }, true,
     L"C:\\t\\wps_profile.xml", EnrollmentOverlap},
    {"LongestPath", [](auto& key) { key.SetPath(kLongestPath); }, true, kLongestPath, EnrollmentSucceeded},
    {"PathWithoutRoomForNul",
     [](auto& key) {
         std::wstring full(MAX_PATH, L'p');
         key.SetRaw(kPathValue, REG_SZ, full.data(), MAX_PATH * sizeof(wchar_t));
     },
     true, L"", EnrollmentSucceeded},
    {"ValuesMissing", [](auto& key) { key.Delete(kPathValue), key.Delete(kExitCodeValue); }, true, L"",
     EnrollmentFailed},
    {"ExitCodeOfTwoBytes", [](auto& key) { key.SetRaw(kExitCodeValue, REG_BINARY, L"\x02", 2); }, true, L"",
     EnrollmentFailed},
    {"KeyMissing", [](auto& key) { key.DeleteKey(); }, false, L"", EnrollmentFailed},
};

class ParametersValuesTest : public ::testing::TestWithParam<StoredCase> {};

TEST_P(ParametersValuesTest, ReadAsTheProgramsExpect)
{
    const StoredCase& c = GetParam();
    ParametersKeyScope key;
    key.SetPath(L"");
    key.SetExitCode(EnrollmentSucceeded);
    c.store(key);

    wchar_t path[MAX_PATH];
    EXPECT_EQ(ReadProfilePath(path), c.keyOpened);
    EXPECT_EQ(std::wstring(path), c.path);
    EXPECT_EQ(ReadExitCode(), c.exitCode);
    EXPECT_EQ(WriteExitCode(EnrollmentOverlap), c.keyOpened) << "a writer never creates the key";
}

INSTANTIATE_TEST_SUITE_P(Stored, ParametersValuesTest, ::testing::ValuesIn(kStoredCases), CaseName());

} // namespace
