// WriteProfileFile's results, and the hand-off file written only into the
// temporary folder of the user at the console, as a plain file of its own
// with its own access list.
#include <gtest/gtest.h>

#include <windows.h>
#include <winioctl.h>

#include <stddef.h>
#include <string.h>

#include <algorithm>
#include <functional>
#include <string>

#include "access_entries.h"
#include "bench_support.h"
#include "case_name.h"
#include "documented_contract.h"
#include "fake_console_user.h"
#include "fake_folder_volume.h"
#include "handoff_file.h"
#include "profile_test_support.h"
#include "profile_writer.h"

namespace {

const std::string kPrecious = "precious contents that must stay";

using bench::SystemFolder;

class ProfileHandOffTest : public ProfileFolderTest {
protected:
    void SetUp() override
    {
        ProfileFolderTest::SetUp();
        g_service.Credential = documented::CredentialRecord<WpsCredential>("HomeNet", "WPA2-PSK", "correcthorse", 8);
        BuildProfileRecord();
    }

    // Written or refused, the console user's token is not kept.
    void ExpectRefused(const std::wstring& path)
    {
        key_.SetPath(path);
        EXPECT_EQ(WriteProfileFile(), -1);
        EXPECT_FALSE(g_service.HandOff.token);
    }
    void ExpectWritten(const std::wstring& path, const std::wstring& written)
    {
        key_.SetPath(path);
        ASSERT_EQ(WriteProfileFile(), 0);
        EXPECT_TRUE(ParseProfile(ReadWholeFile(written)).ok);
        EXPECT_FALSE(g_service.HandOff.token);
    }
};

TEST_F(ProfileHandOffTest, ReplacesAnExistingFileWhole)
{
    ASSERT_TRUE(WriteBytes(path_, std::string(8192, 'x')));
    key_.SetPath(path_);
    ASSERT_EQ(WriteProfileFile(), 0);

    std::string written = ReadWholeFile(path_);
    EXPECT_LT(written.size(), 8192u);
    EXPECT_TRUE(ParseProfile(written).ok);
    // Closed before the call returned: an exclusive open succeeds.
    UniqueFileHandle file(CreateFileW(path_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(file);
}

TEST_F(ProfileHandOffTest, WithoutTheParametersKeyTouchesNothing)
{
    if (!key_.CreatedKey())
        GTEST_SKIP() << "the service's Parameters key belongs to an installed service here";
    key_.DeleteKey();
    EXPECT_EQ(WriteProfileFile(), 1);
    EXPECT_FALSE(IsPresent(path_));
}

TEST_F(ProfileHandOffTest, WithoutPathFails)
{
    key_.Delete(kPathValue);
    EXPECT_EQ(WriteProfileFile(), -1);
}

TEST_F(ProfileHandOffTest, PathFillingTheWholeBufferFails)
{
    std::wstring full = folder_ + L"\\";
    full.append(260 - full.size() - 15, L'a');
    full += L"wps_profile.xml";
    ASSERT_EQ(full.size(), 260u);
    key_.SetRaw(kPathValue, REG_SZ, full.data(), 260 * sizeof(wchar_t));
    EXPECT_EQ(WriteProfileFile(), -1);
}

// The list the file is created with, and what the platform reads back.
TEST_F(ProfileHandOffTest, GivesTheFileOnlyItsOwnAccessList)
{
    std::vector<AccessEntry> expected = {
        {L"S-1-5-18", FILE_ALL_ACCESS}, {L"S-1-5-32-544", FILE_ALL_ACCESS}, {OwnTokenSid(), 0x130089}};
    std::sort(expected.begin(), expected.end());
    ExplicitSecurity security;
    ASSERT_TRUE(BuildHandOffSecurity(g_service.HandOff.token.get(), security));
    EXPECT_EQ(AllowedEntries(security.list()), expected);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    EXPECT_TRUE(GetSecurityDescriptorControl(&security.descriptor, &control, &revision) && (control & SE_DACL_PROTECTED));

    ExpectWritten(path_, path_);
    UniqueFileHandle file(CreateFileW(path_.c_str(), READ_CONTROL, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    std::vector<AccessEntry> readBack = AllowedEntries(file.get(), SE_FILE_OBJECT);
    EXPECT_TRUE(std::none_of(readBack.begin(), readBack.end(), [](const AccessEntry& e) { return e.sid == L"S-1-1-0"; }));
    // Only Wine is let off: elsewhere a wrong list on the file fails here.
    if (readBack != expected && bench::RunningUnderWine())
        GTEST_SKIP() << "Wine keeps a file's access list as Unix mode bits: " << ::testing::PrintToString(readBack);
    EXPECT_EQ(readBack, expected);
    EXPECT_TRUE(IsProtectedList(file.get(), SE_FILE_OBJECT));
}

// Path values, the console user's temporary folder being the scratch folder.
struct PathCase {
    const char* name;
    std::function<std::wstring(const std::wstring& temp)> folder; // where the file would go
    const wchar_t* file = L"\\wps_profile.xml";
};

std::wstring InTemp(const std::wstring& temp)
{
    return temp;
}

class RefusedPathTest : public ProfileHandOffTest, public ::testing::WithParamInterface<PathCase> {};

// Each would, if opened, create or reach a file that the check below sees:
// in the named folder, the temporary folder or the current directory (set
// to the temporary folder).
TEST_P(RefusedPathTest, CreatesNothingAnywhere)
{
    const PathCase& c = GetParam();
    ASSERT_TRUE(CreateDirectoryW((folder_ + L"\\sub").c_str(), nullptr));
    std::wstring folder = c.folder(folder_);
    CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring target = folder + L"\\wps_profile.xml";
    bool existed = IsPresent(target);
    wchar_t oldDirectory[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, oldDirectory);
    SetCurrentDirectoryW(folder_.c_str());

    ExpectRefused(folder + c.file);

    SetCurrentDirectoryW(oldDirectory);
    EXPECT_EQ(IsPresent(target), existed);
    EXPECT_FALSE(IsPresent(path_));
    EXPECT_FALSE(IsPresent(folder_ + L"\\other.xml"));
}

const PathCase kRefusedPaths[] = {
    {"System32", [](auto&) { return SystemFolder(GetSystemDirectoryW); }},
    {"ServiceFolder", [](auto&) { return bench::ProgramFolder(); }},
    {"ProgramData", [](auto&) { return std::wstring(L"C:\\ProgramData\\Tolvek Lark"); }},
    {"UsersPublic", [](auto&) { return std::wstring(L"C:\\Users\\Public"); }},
    {"WindowsTemp", [](auto&) { return SystemFolder(GetWindowsDirectoryW, L"\\Temp"); }},
    {"OtherUsersTemp", [](auto& temp) { return temp + L"-other-user"; }},
    {"SubfolderOfTemp", [](auto& temp) { return temp + L"\\sub"; }},
    {"Unc", [](auto& temp) { return L"\\\\localhost\\C$" + temp.substr(2); }},
    {"DevicePrefix", [](auto& temp) { return L"\\\\?\\" + temp; }},
    {"DotDotComponent", [](auto& temp) { return temp + L"\\sub\\.."; }},
    {"DotComponent", [](auto& temp) { return temp + L"\\."; }},
    {"EmptyComponent", [](auto& temp) { return temp + L"\\"; }},
    {"AlternateStream", InTemp, L"\\wps_profile.xml:hidden"},
    {"ForwardSlash", InTemp, L"/wps_profile.xml"},
    {"OtherName", InTemp, L"\\other.xml"},
    {"NameInOtherCase", InTemp, L"\\WPS_Profile.xml"},
    {"TrailingDot", InTemp, L"\\wps_profile.xml."},
    {"TrailingBlank", InTemp, L"\\wps_profile.xml "},
    {"TrailingBackslash", InTemp, L"\\wps_profile.xml\\"},
    {"MissingFolder", [](auto& temp) { return temp + L"\\missing"; }},
    {"Empty", [](auto&) { return std::wstring(); }, L""},
    {"Relative", [](auto&) { return std::wstring(); }, L"wps_profile.xml"},
    {"DriveRelative", [](auto&) { return std::wstring(L"C:"); }, L"wps_profile.xml"},
};

INSTANTIATE_TEST_SUITE_P(Paths, RefusedPathTest, ::testing::ValuesIn(kRefusedPaths), CaseName());

TEST_F(ProfileHandOffTest, NobodyRecordedAtTheConsoleIsRefused)
{
    fake_console_user::SignOut();
    EXPECT_FALSE(RecordHandOffUser(g_service.HandOff));
    ExpectRefused(path_);
    EXPECT_FALSE(IsPresent(path_));
}

// The recorded folder is the one GetTempPathW would give the console user.
struct ConsoleCase {
    const char* name;
    const wchar_t* tmp;
    const wchar_t* temp;
    const wchar_t* userProfile;
    const wchar_t* recorded; // nullptr: refused
};

const ConsoleCase kConsoleCases[] = {
    {"TmpFirst", L"C:\\a", L"C:\\b", L"C:\\c", L"C:\\a"},
    {"ThenTemp", L"", L"C:\\b", L"C:\\c", L"C:\\b"},
    {"ThenUserProfile", L"", L"", L"C:\\c", L"C:\\c"},
    {"NoneOfThem", L"", L"", L"", nullptr},
    {"RelativeTmpIsNotPassedOver", L"temp", L"C:\\b", L"C:\\c", nullptr},
    {"DriveRelativeTmp", L"C:temp", L"C:\\b", L"C:\\c", nullptr},
    {"UncTmp", L"\\\\server\\share\\temp", L"C:\\b", L"C:\\c", nullptr},
    {"DevicePrefixTmp", L"\\\\?\\C:\\temp", L"C:\\b", L"C:\\c", nullptr},
    // Drive letters are the user's: the service does not judge them.
    {"DriveTheServiceMayNotSee", L"B:\\temp", L"C:\\b", L"C:\\c", L"B:\\temp"},
};

class ConsoleUserTest : public ::testing::TestWithParam<ConsoleCase> {};

TEST_P(ConsoleUserTest, RecordsTheFolderGetTempPathWouldGive)
{
    const ConsoleCase& c = GetParam();
    fake_console_user::SignIn(c.tmp, c.temp, c.userProfile);
    HandOffUser user;
    EXPECT_EQ(RecordHandOffUser(user), c.recorded != nullptr);
    EXPECT_STREQ(user.folder, c.recorded ? c.recorded : L"");
    EXPECT_EQ(static_cast<bool>(user.token), c.recorded != nullptr);
    fake_console_user::Reset();
}

INSTANTIATE_TEST_SUITE_P(Environments, ConsoleUserTest, ::testing::ValuesIn(kConsoleCases), CaseName());

TEST_F(ProfileHandOffTest, WritesThroughAShortFormOfEitherName)
{
    std::wstring longFolder = folder_ + L"\\A Folder With A Long Name";
    ASSERT_TRUE(CreateDirectoryW(longFolder.c_str(), nullptr));
    wchar_t shortFolder[MAX_PATH];
    ASSERT_NE(GetShortPathNameW(longFolder.c_str(), shortFolder, MAX_PATH), 0u);
    if (CompareStringOrdinal(shortFolder, -1, longFolder.c_str(), -1, TRUE) == CSTR_EQUAL)
        GTEST_SKIP() << "this volume gives no 8.3 names";

    ASSERT_TRUE(SignInWithTempFolder(longFolder));
    ExpectWritten(std::wstring(shortFolder) + L"\\wps_profile.xml", longFolder + L"\\wps_profile.xml");
    ASSERT_TRUE(SignInWithTempFolder(shortFolder));
    ExpectWritten(longFolder + L"\\wps_profile.xml", longFolder + L"\\wps_profile.xml");
}

TEST_F(ProfileHandOffTest, RefusesAFolderOfThatName)
{
    ASSERT_TRUE(CreateDirectoryW(path_.c_str(), nullptr));
    ExpectRefused(path_);
    EXPECT_NE(GetFileAttributesW(path_.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

TEST_F(ProfileHandOffTest, RefusesASecondNameOfAnotherFile)
{
    std::wstring other = folder_ + L"\\other.xml";
    ASSERT_TRUE(WriteBytes(other, kPrecious));
    if (!CreateHardLinkW(path_.c_str(), other.c_str(), nullptr))
        GTEST_SKIP() << "no hard links here, error " << GetLastError();

    ExpectRefused(path_);
    EXPECT_EQ(ReadWholeFile(other), kPrecious);
    EXPECT_EQ(ReadWholeFile(path_), kPrecious);
}

TEST_F(ProfileHandOffTest, RefusesASymbolicLink)
{
    std::wstring other = folder_ + L"\\other.xml";
    ASSERT_TRUE(WriteBytes(other, kPrecious));
    BOOLEAN made = CreateSymbolicLinkW(path_.c_str(), other.c_str(), 0);
    DWORD error = GetLastError();
    DWORD attributes = GetFileAttributesW(path_.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        GTEST_SKIP() << "CreateSymbolicLinkW made no reparse point here (it answered " << int(made)
                     << ", error " << error << ")";

    ExpectRefused(path_);
    EXPECT_EQ(ReadWholeFile(other), kPrecious);
}

// A mount point (junction) at link leading to target, as mklink /J makes it.
bool MakeJunction(const std::wstring& link, const std::wstring& target)
{
    if (!CreateDirectoryW(link.c_str(), nullptr))
        return false;
    UniqueFileHandle folder(CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!folder)
        return false;
    std::wstring substitute = L"\\??\\" + target;
    USHORT substituteBytes = static_cast<USHORT>(substitute.size() * sizeof(wchar_t));
    USHORT printBytes = static_cast<USHORT>(target.size() * sizeof(wchar_t));

    struct MountPointBuffer {
        DWORD ReparseTag;
        USHORT ReparseDataLength;
        USHORT Reserved;
        USHORT SubstituteNameOffset;
        USHORT SubstituteNameLength;
        USHORT PrintNameOffset;
        USHORT PrintNameLength;
        wchar_t PathBuffer[1024];
    } buffer{};
    buffer.ReparseTag = IO_REPARSE_TAG_MOUNT_POINT;
    buffer.SubstituteNameLength = substituteBytes;
    buffer.PrintNameOffset = static_cast<USHORT>(substituteBytes + sizeof(wchar_t));
    buffer.PrintNameLength = printBytes;
    memcpy(buffer.PathBuffer, substitute.c_str(), substituteBytes);
    memcpy(buffer.PathBuffer + substitute.size() + 1, target.c_str(), printBytes);
    buffer.ReparseDataLength =
        static_cast<USHORT>(8 + substituteBytes + sizeof(wchar_t) + printBytes + sizeof(wchar_t));
    DWORD done = 0;
    return DeviceIoControl(folder.get(), FSCTL_SET_REPARSE_POINT, &buffer,
                           offsetof(MountPointBuffer, SubstituteNameOffset) + buffer.ReparseDataLength, nullptr, 0,
                           &done, nullptr) != FALSE;
}

// A junction to the temporary folder reaches that folder; one to any other
// folder does not.
TEST_F(ProfileHandOffTest, FollowsAJunctionOnlyToTheTemporaryFolder)
{
    std::wstring other = folder_ + L"-other";
    CreateDirectoryW(other.c_str(), nullptr);
    if (!MakeJunction(folder_ + L"\\to-temp", folder_) || !MakeJunction(folder_ + L"\\to-other", other))
        GTEST_SKIP() << "FSCTL_SET_REPARSE_POINT makes no junction here, error " << GetLastError()
                     << " (under Wine the Unix links below stand for junctions)";
    ExpectWritten(folder_ + L"\\to-temp\\wps_profile.xml", path_);
    ExpectRefused(folder_ + L"\\to-other\\wps_profile.xml");
    EXPECT_FALSE(IsPresent(other + L"\\wps_profile.xml"));
    RemoveDirectoryW((folder_ + L"\\to-temp").c_str());
    RemoveDirectoryW((folder_ + L"\\to-other").c_str());
    RemoveTree(other);
}

// Under Wine a junction shows as a Unix symbolic link, which Wine follows
// without a reparse point; the test's setup makes such links in advance.
class UnixLinkTest : public ProfileHandOffTest {
protected:
    void SetUp() override
    {
        ProfileHandOffTest::SetUp();
        links_ = bench::Environment(L"TOLVEK_UNIX_LINKS");
        if (links_.empty())
            GTEST_SKIP() << "no Unix links prepared (they exist only under Wine's test setup)";
        std::replace(links_.begin(), links_.end(), L'/', L'\\');
        RemoveTree(links_ + L"\\target\\wps_profile.xml");
        ASSERT_TRUE(WriteBytes(links_ + L"\\target\\precious.txt", kPrecious));
    }
    std::wstring links_;
};

TEST_F(UnixLinkTest, ALinkedFolderLeadingToTheTemporaryFolderIsThatFolder)
{
    ASSERT_TRUE(SignInWithTempFolder(links_ + L"\\target"));
    ExpectWritten(links_ + L"\\linked-folder\\wps_profile.xml", links_ + L"\\target\\wps_profile.xml");
}

TEST_F(UnixLinkTest, ALinkedFolderLeadingElsewhereIsRefused)
{
    ExpectRefused(links_ + L"\\linked-folder\\wps_profile.xml");
    EXPECT_FALSE(IsPresent(links_ + L"\\target\\wps_profile.xml"));
}

TEST_F(UnixLinkTest, RefusesALinkedFile)
{
    ASSERT_TRUE(SignInWithTempFolder(links_ + L"\\linked-file"));
    ExpectRefused(links_ + L"\\linked-file\\wps_profile.xml");
    EXPECT_EQ(ReadWholeFile(links_ + L"\\target\\precious.txt"), kPrecious);
}

// With temporary folders per session the agent names the subfolder for its
// session; the recorded folder may be either, depending on what the user's
// environment gives.
struct SessionFolderCase {
    const char* name;
    const wchar_t* recorded; // below the scratch folder
    const wchar_t* named;    // where the agent's path points
    bool written;
};

class SessionFolderTest : public ProfileHandOffTest, public ::testing::WithParamInterface<SessionFolderCase> {};

TEST_P(SessionFolderTest, TheSubfolderForTheConsoleSessionIsTheUsersToo)
{
    const SessionFolderCase& c = GetParam();
    for (const wchar_t* sub : {L"\\7", L"\\8", L"\\7\\7"})
        ASSERT_TRUE(CreateDirectoryW((folder_ + sub).c_str(), nullptr));
    fake_console_user::SetSession(7);
    ASSERT_TRUE(SignInWithTempFolder(folder_ + c.recorded));
    std::wstring path = folder_ + c.named + L"\\wps_profile.xml";
    if (c.written)
        ExpectWritten(path, path);
    else
        ExpectRefused(path);
    EXPECT_EQ(IsPresent(path), c.written);
}

INSTANTIATE_TEST_SUITE_P(
    PerSession, SessionFolderTest,
    ::testing::Values(SessionFolderCase{"TheRecordedFolder", L"", L"", true},
                      SessionFolderCase{"ItsSubfolderForTheSession", L"", L"\\7", true},
                      SessionFolderCase{"AlreadyTheSubfolder", L"\\7", L"\\7", true},
                      SessionFolderCase{"AnotherSessionsSubfolder", L"", L"\\8", false},
                      SessionFolderCase{"TwoLevelsDown", L"", L"\\7\\7", false}),
    CaseName());

// The volume is asked about on the folder as the user reaches it, not by
// its drive letter as the service would see it.
TEST_F(ProfileHandOffTest, TheVolumeIsAskedOnTheFolderOpenedAsTheUser)
{
    ExpectWritten(path_, path_);
    fake_folder_volume::Query query = fake_folder_volume::LastQuery();
    EXPECT_EQ(query.count, 1);
    EXPECT_TRUE(query.asUser);
    UniqueFileHandle folder(CreateFileW(folder_.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION expected{};
    ASSERT_TRUE(GetFileInformationByHandle(folder.get(), &expected));
    EXPECT_EQ(query.folder.nFileIndexLow, expected.nFileIndexLow);
    EXPECT_EQ(query.folder.nFileIndexHigh, expected.nFileIndexHigh);
}

} // namespace
