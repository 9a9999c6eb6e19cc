// WriteProfileFile's results, and the hand-off file written only as the plain
// file the agent asked for.
#include <gtest/gtest.h>

#include <windows.h>
#include <winioctl.h>

#include <stddef.h>
#include <string.h>

#include <string>

#include "profile_test_support.h"
#include "profile_writer.h"
#include "service_state.h"

namespace {

const std::string kPrecious = "precious contents that must stay";

class ProfileHandOffTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = MakeScratchFolder();
        path_ = folder_ + L"\\wps_profile.xml";
        WpsCredential credential{};
        memcpy(credential.Ssid, "HomeNet", 7);
        memcpy(credential.KeyManagement, "WPA2-PSK", 8);
        memcpy(credential.NetworkKey, "correcthorse", 12);
        credential.EncryptionType = 8;
        g_service.Credential = credential;
        BuildProfileRecord();
    }
    void TearDown() override { RemoveTree(folder_); }

    void ExpectRefused(const std::wstring& path)
    {
        key_.SetPath(path);
        EXPECT_EQ(WriteProfileFile(), -1);
    }

    ParametersKeyScope key_;
    std::wstring folder_;
    std::wstring path_;
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
    HANDLE file = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
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
    key_.DeletePath();
    EXPECT_EQ(WriteProfileFile(), -1);
}

TEST_F(ProfileHandOffTest, PathFillingTheWholeBufferFails)
{
    std::wstring full = folder_ + L"\\";
    full.append(260 - full.size() - 15, L'a');
    full += L"wps_profile.xml";
    ASSERT_EQ(full.size(), 260u);
    key_.SetPathBytes(full.data(), 260 * sizeof(wchar_t));
    EXPECT_EQ(WriteProfileFile(), -1);
}

struct PathCase {
    const char* label;
    const wchar_t* before; // put before the scratch folder's path; none: after alone
    const wchar_t* after;  // put after it
    bool dropDrive = false;
};

void PrintTo(const PathCase& c, std::ostream* os)
{
    *os << c.label;
}

class RefusedPathTest : public ProfileHandOffTest, public ::testing::WithParamInterface<PathCase> {};

// Each of these would, if opened, create or reach a file in the scratch
// folder or in the current directory (set to the scratch folder).
TEST_P(RefusedPathTest, WritesNothing)
{
    ASSERT_TRUE(CreateDirectoryW((folder_ + L"\\sub").c_str(), nullptr));
    wchar_t oldDirectory[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, oldDirectory);
    SetCurrentDirectoryW(folder_.c_str());

    const PathCase& c = GetParam();
    std::wstring folder = c.dropDrive ? folder_.substr(2) : folder_;
    ExpectRefused(c.before ? c.before + folder + c.after : std::wstring(c.after));

    SetCurrentDirectoryW(oldDirectory);
    EXPECT_FALSE(IsPresent(path_));
    EXPECT_FALSE(IsPresent(folder_ + L"\\other.xml"));
}

const PathCase kRefusedPaths[] = {
    {"Empty", nullptr, L""},
    {"Relative", nullptr, L"wps_profile.xml"},
    {"DriveRelative", nullptr, L"C:wps_profile.xml"},
    {"DotComponent", L"", L"\\.\\wps_profile.xml"},
    {"DotDotComponent", L"", L"\\sub\\..\\wps_profile.xml"},
    {"EmptyComponent", L"", L"\\\\wps_profile.xml"},
    {"ForwardSlash", L"", L"/wps_profile.xml"},
    {"DevicePrefix", L"\\\\?\\", L"\\wps_profile.xml"},
    {"Unc", L"\\\\localhost\\C$", L"\\wps_profile.xml", true},
    {"AlternateStream", L"", L"\\wps_profile.xml:hidden"},
    {"OtherName", L"", L"\\other.xml"},
    {"NameInOtherCase", L"", L"\\WPS_Profile.xml"},
    {"TrailingDot", L"", L"\\wps_profile.xml."},
    {"TrailingBlank", L"", L"\\wps_profile.xml "},
    {"TrailingBackslash", L"", L"\\wps_profile.xml\\"},
    {"MissingFolder", L"", L"\\missing\\wps_profile.xml"},
};

INSTANTIATE_TEST_SUITE_P(Paths, RefusedPathTest, ::testing::ValuesIn(kRefusedPaths),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(ProfileHandOffTest, WritesThroughAShortFolderName)
{
    std::wstring longFolder = folder_ + L"\\A Folder With A Long Name";
    ASSERT_TRUE(CreateDirectoryW(longFolder.c_str(), nullptr));
    wchar_t shortFolder[MAX_PATH];
    ASSERT_NE(GetShortPathNameW(longFolder.c_str(), shortFolder, MAX_PATH), 0u);
    if (CompareStringOrdinal(shortFolder, -1, longFolder.c_str(), -1, TRUE) == CSTR_EQUAL)
        GTEST_SKIP() << "this volume gives no 8.3 names";

    key_.SetPath(std::wstring(shortFolder) + L"\\wps_profile.xml");
    EXPECT_EQ(WriteProfileFile(), 0);
    EXPECT_TRUE(ParseProfile(ReadWholeFile(longFolder + L"\\wps_profile.xml")).ok);
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
    HANDLE folder = CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (folder == INVALID_HANDLE_VALUE)
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
    BOOL ok = DeviceIoControl(folder, FSCTL_SET_REPARSE_POINT, &buffer,
                              offsetof(MountPointBuffer, SubstituteNameOffset) + buffer.ReparseDataLength, nullptr,
                              0, &done, nullptr);
    CloseHandle(folder);
    return ok;
}

TEST_F(ProfileHandOffTest, RefusesAJunctionOnTheFolder)
{
    std::wstring target = folder_ + L"\\target";
    std::wstring link = folder_ + L"\\link";
    ASSERT_TRUE(CreateDirectoryW(target.c_str(), nullptr));
    if (!MakeJunction(link, target))
        GTEST_SKIP() << "FSCTL_SET_REPARSE_POINT makes no junction here, error " << GetLastError();
    ASSERT_TRUE(WriteBytes(target + L"\\kept.txt", kPrecious));

    ExpectRefused(link + L"\\wps_profile.xml");
    EXPECT_FALSE(IsPresent(target + L"\\wps_profile.xml"));

    ASSERT_TRUE(WriteBytes(target + L"\\wps_profile.xml", kPrecious));
    ExpectRefused(link + L"\\wps_profile.xml");
    EXPECT_EQ(ReadWholeFile(target + L"\\wps_profile.xml"), kPrecious);
    RemoveDirectoryW(link.c_str());
}

// Under Wine a junction shows as a Unix symbolic link, which Wine follows
// without a reparse point; the test's setup makes such links in advance.
class UnixLinkTest : public ProfileHandOffTest {
protected:
    void SetUp() override
    {
        ProfileHandOffTest::SetUp();
        wchar_t links[MAX_PATH];
        if (GetEnvironmentVariableW(L"TOLVEK_UNIX_LINKS", links, MAX_PATH) == 0)
            GTEST_SKIP() << "no Unix links prepared (they exist only under Wine's test setup)";
        links_ = links;
        for (wchar_t& c : links_)
            c = c == L'/' ? L'\\' : c;
        RemoveTree(links_ + L"\\target\\wps_profile.xml");
        ASSERT_TRUE(WriteBytes(links_ + L"\\target\\precious.txt", kPrecious));
    }
    std::wstring links_;
};

TEST_F(UnixLinkTest, RefusesALinkedFolderAndLeavesNoFileBehind)
{
    ExpectRefused(links_ + L"\\linked-folder\\wps_profile.xml");
    EXPECT_FALSE(IsPresent(links_ + L"\\target\\wps_profile.xml"));
}

TEST_F(UnixLinkTest, RefusesALinkedFile)
{
    ExpectRefused(links_ + L"\\linked-file\\wps_profile.xml");
    EXPECT_EQ(ReadWholeFile(links_ + L"\\target\\precious.txt"), kPrecious);
}

} // namespace
