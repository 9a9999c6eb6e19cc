// Where the real service under Wine's SCM writes the profile: only into the
// temporary folder of the user at the console (under Wine the service sees
// the same user as this test, and the same C:\users\<user>\Temp), as a file
// that only that user may read besides the system's own accounts.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>

#include "access_entries.h"
#include "service_bench.h"
#include "bench_text.h"
#include "case_name.h"
#include "contract.h"
#include "parameters_key.h"
#include "unique_handle.h"

namespace {

const std::string kPrecious = "precious contents that must stay";

using bench::SystemFolder;
using bench::TempFolder;

// One request per test, each against a service of its own.
class HandOffServiceTest : public bench::ServiceBench {
protected:
    void SetUp() override
    {
        ServiceBench::SetUp();
        ASSERT_TRUE(bench::InstallAndStartService());
        ASSERT_TRUE(OpenEventPair());
        bench::Testbed(L"ap add HomeNet --key \"correct horse\"");
    }

    // One request for path, as the agent makes it; ExitCode as it then reads it.
    DWORD Request(const std::wstring& path)
    {
        EXPECT_TRUE(WriteProfilePath(path.c_str()));
        EXPECT_TRUE(WriteExitCode(7));
        EXPECT_TRUE(bench::SendControl(StartEnrollment));
        return WaitDone();
    }
};

struct ServicePathCase {
    const char* name;
    std::function<std::wstring()> folder;
    const wchar_t* file;
    bool accepted;
};

using ::operator<<;

class ServicePathTest : public HandOffServiceTest, public ::testing::WithParamInterface<ServicePathCase> {};

TEST_P(ServicePathTest, WritesOnlyIntoTheConsoleUsersTemporaryFolder)
{
    const ServicePathCase& c = GetParam();
    CreateDirectoryW((TempFolder() + L"\\sub").c_str(), nullptr);
    std::wstring folder = c.folder();
    CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring target = folder + L"\\wps_profile.xml";
    std::wstring inTemp = bench::HandOffFile();
    DeleteFileW(target.c_str());
    DeleteFileW(inTemp.c_str());

    EXPECT_EQ(Request(folder + c.file), c.accepted ? EnrollmentSucceeded : EnrollmentFailed);
    EXPECT_EQ(bench::IsPresent(target), c.accepted);
    EXPECT_EQ(bench::IsPresent(inTemp), c.accepted);
    DeleteFileW(inTemp.c_str());
}

const ServicePathCase kServicePaths[] = {
    {"ConsoleUsersTemp", TempFolder, L"\\wps_profile.xml", true},
    {"System32", [] { return SystemFolder(GetSystemDirectoryW); }, L"\\wps_profile.xml", false},
    {"ServiceFolder", bench::InstallDirectory, L"\\wps_profile.xml", false},
    {"ProgramData", [] { return std::wstring(L"C:\\ProgramData\\Tolvek Lark"); }, L"\\wps_profile.xml", false},
    {"UsersPublic", [] { return std::wstring(L"C:\\users\\Public"); }, L"\\wps_profile.xml", false},
    {"WindowsTemp", [] { return SystemFolder(GetWindowsDirectoryW, L"\\Temp"); }, L"\\wps_profile.xml", false},
    {"Unc", [] { return L"\\\\localhost\\C$" + TempFolder().substr(2); }, L"\\wps_profile.xml", false},
    {"DevicePrefix", [] { return L"\\\\?\\" + TempFolder(); }, L"\\wps_profile.xml", false},
    {"DotDot", [] { return TempFolder() + L"\\sub\\.."; }, L"\\wps_profile.xml", false},
    {"Stream", TempFolder, L"\\wps_profile.xml:hidden", false},
};

INSTANTIATE_TEST_SUITE_P(Paths, ServicePathTest, ::testing::ValuesIn(kServicePaths), CaseName());

TEST_F(HandOffServiceTest, RefusesASecondNameOfAnotherFileAndLeavesBothAlone)
{
    std::wstring other = TempFolder() + L"\\other.xml";
    std::wstring path = bench::HandOffFile();
    DeleteFileW(path.c_str());
    ASSERT_TRUE(bench::WriteBytes(other, kPrecious));
    ASSERT_TRUE(CreateHardLinkW(path.c_str(), other.c_str(), nullptr)) << GetLastError();
    EXPECT_EQ(Request(path), static_cast<DWORD>(EnrollmentFailed));
    EXPECT_EQ(ReadWholeFile(other) + ReadWholeFile(path), kPrecious + kPrecious);
    DeleteFileW(path.c_str());
    DeleteFileW(other.c_str());
}

TEST_F(HandOffServiceTest, TheFileGivesEveryoneNothing)
{
    std::wstring path = bench::HandOffFile();
    ASSERT_EQ(Request(path), static_cast<DWORD>(EnrollmentSucceeded));
    UniqueFileHandle file(CreateFileW(path.c_str(), READ_CONTROL, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file);
    std::vector<AccessEntry> entries = AllowedEntries(file.get(), SE_FILE_OBJECT);
    EXPECT_TRUE(std::none_of(entries.begin(), entries.end(), [](const AccessEntry& e) { return e.sid == L"S-1-1-0"; }))
        << ::testing::PrintToString(entries);
    file.reset();
    EXPECT_TRUE(DeleteFileW(path.c_str())) << "the agent deletes it after the apply";
    if (bench::RunningUnderWine())
        GTEST_SKIP() << "Wine keeps a file's access list as Unix mode bits: the three entries are checked in profile_writer_test";
    std::vector<AccessEntry> expected = {
        {L"S-1-5-18", FILE_ALL_ACCESS}, {L"S-1-5-32-544", FILE_ALL_ACCESS}, {OwnTokenSid(), 0x130089}};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(entries, expected);
}

} // namespace
