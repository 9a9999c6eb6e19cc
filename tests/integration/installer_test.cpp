// The stand-in package under Wine's msiexec, in the scenarios an administrator
// meets: install, a rebuild and a later version over it, a service handle
// held open through an upgrade, repair, a refused folder, uninstall and an
// upgrade that fails at its end. Each row says what is left afterwards.
#include <gtest/gtest.h>

#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "case_name.h"
#include "contract.h"
#include "language_libraries.h"
#include "unique_handle.h"

namespace {

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr wchar_t kProductName[] = L"Tolvek Lark WPS button";

// Besides the language libraries of the build's list.
const wchar_t* const kShippedFiles[] = {L"saddrin.exe", L"Quorvel.exe", L"wps_api.dll", L"wl.exe"};

std::vector<std::wstring> ShippedFiles()
{
    std::vector<std::wstring> files(std::begin(kShippedFiles), std::end(kShippedFiles));
    for (const LanguageLibraryRow& library : kLanguageLibraries)
        files.push_back(library.file);
    return files;
}

std::wstring PackagePath(const wchar_t* variable)
{
    std::wstring name = bench::Environment(variable);
    std::replace(name.begin(), name.end(), L'/', L'\\');
    return name.empty() ? name : bench::BuildDirectory() + L"\\" + name;
}

bench::ProcessResult Msiexec(const wchar_t* action, const std::wstring& package, const wchar_t* properties = L"")
{
    return bench::RunProgram(std::wstring(L"msiexec ") + action + L" \"" + package + L"\" /qn " + properties, 120000);
}

std::wstring ReadText(HKEY root, const std::wstring& path, const wchar_t* name, REGSAM view = KEY_WOW64_64KEY)
{
    wchar_t text[1024] = L"";
    DWORD size = sizeof(text);
    UniqueHkey key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, key.put()) != ERROR_SUCCESS ||
        RegGetValueW(key.get(), nullptr, name, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
        return L"<none>";
    return text;
}

struct ProductEntry {
    std::wstring code;
    std::wstring version;
    std::wstring location;
    bool operator==(const ProductEntry&) const = default;
};

// Every Programs and Features entry with our name.
std::vector<ProductEntry> ProductEntries()
{
    std::vector<ProductEntry> entries;
    UniqueHkey uninstall;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ, uninstall.put()) != ERROR_SUCCESS)
        return entries;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = ARRAYSIZE(name);
        if (RegEnumKeyExW(uninstall.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        std::wstring entry = std::wstring(kUninstallKey) + L"\\" + name;
        if (ReadText(HKEY_LOCAL_MACHINE, entry, L"DisplayName") == kProductName)
            entries.push_back({name, ReadText(HKEY_LOCAL_MACHINE, entry, L"DisplayVersion"),
                               ReadText(HKEY_LOCAL_MACHINE, entry, L"InstallLocation")});
    }
    return entries;
}

void PrintTo(const ProductEntry& entry, std::ostream* out)
{
    *out << ToBytes(entry.code + L" " + entry.version + L" in " + entry.location);
}

std::wstring PackageProperty(const std::wstring& package, const wchar_t* name)
{
    MSIHANDLE database = 0, view = 0, record = 0;
    std::wstring query = std::wstring(L"SELECT `Value` FROM `Property` WHERE `Property` = '") + name + L"'";
    wchar_t value[64] = L"";
    DWORD length = ARRAYSIZE(value);
    if (MsiOpenDatabaseW(package.c_str(), MSIDBOPEN_READONLY, &database) == ERROR_SUCCESS &&
        MsiDatabaseOpenViewW(database, query.c_str(), &view) == ERROR_SUCCESS &&
        MsiViewExecute(view, 0) == ERROR_SUCCESS && MsiViewFetch(view, &record) == ERROR_SUCCESS)
        MsiRecordGetStringW(record, 1, value, &length);
    for (MSIHANDLE handle : {record, view, database})
        if (handle)
            MsiCloseHandle(handle);
    return value;
}

std::wstring ServiceDescription()
{
    UniqueScHandle service = bench::ServiceHandle(SERVICE_QUERY_CONFIG);
    BYTE buffer[2048];
    DWORD needed = 0;
    if (!QueryServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION, buffer, sizeof(buffer), &needed))
        return L"<none>";
    const wchar_t* text = reinterpret_cast<SERVICE_DESCRIPTIONW*>(buffer)->lpDescription;
    return text ? text : L"";
}

std::wstring FileVersion(const std::wstring& path)
{
    DWORD ignored = 0;
    std::vector<BYTE> block(GetFileVersionInfoSizeW(path.c_str(), &ignored));
    VS_FIXEDFILEINFO* info = nullptr;
    UINT size = 0;
    if (block.empty() || !GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data()) ||
        !VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &size))
        return L"<none>";
    return std::to_wstring(HIWORD(info->dwFileVersionMS)) + L"." + std::to_wstring(LOWORD(info->dwFileVersionMS)) +
           L"." + std::to_wstring(HIWORD(info->dwFileVersionLS));
}

// Another program (the Services console, say) with the service open: the
// service removed under it stays marked for deletion until it lets go.
enum class Holder { None, ClosesFiveSecondsAfterRemoval, NeverCloses };

class ServiceHolder {
public:
    explicit ServiceHolder(Holder mode) : mode_(mode)
    {
        if (mode_ == Holder::None)
            return;
        service_ = bench::ServiceHandle(SERVICE_QUERY_STATUS);
        EXPECT_TRUE(service_) << GetLastError();
        thread_ = std::thread([this] { Hold(); });
    }
    ~ServiceHolder()
    {
        SetEvent(release_.get());
        if (thread_.joinable())
            thread_.join();
    }

private:
    void Hold()
    {
        // The removal stops the service first.
        bench::WaitFor(
            [this] {
                SERVICE_STATUS status{};
                return !QueryServiceStatus(service_.get(), &status) || status.dwCurrentState == SERVICE_STOPPED ||
                       WaitForSingleObject(release_.get(), 0) == WAIT_OBJECT_0;
            },
            120000);
        WaitForSingleObject(release_.get(), mode_ == Holder::NeverCloses ? INFINITE : kHoldAfterRemovalMs);
        service_.reset();
    }

    static constexpr DWORD kHoldAfterRemovalMs = 5000;
    Holder mode_;
    UniqueScHandle service_;
    UniqueHandle release_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::thread thread_;
};

enum class Step { Install, Repair, Uninstall, DeleteService };
enum Package { First, Rebuild, Next, kPackages };

struct Action {
    Step step;
    Package package = First;
    const wchar_t* properties = L"";
    Holder holder = Holder::None;
};

// Folders an ordinary user made: one with a file in it, one empty.
constexpr wchar_t kUsedFolder[] = L"C:\\TolvekUsed";
constexpr wchar_t kUsedFolderFile[] = L"C:\\TolvekUsed\\wl.exe";
constexpr wchar_t kUserFolder[] = L"C:\\TolvekEmpty";
// A failed action: 1603 from Windows Installer, 1627 from Wine's.
constexpr DWORD kInstallFailure = ERROR_INSTALL_FAILURE;
DWORD InstallFailure()
{
    return bench::RunningUnderWine() ? ERROR_FUNCTION_FAILED : ERROR_INSTALL_FAILURE;
}

struct ScenarioCase {
    const char* name;
    std::vector<Action> actions;
    DWORD exitCode;                 // of the last action
    std::vector<Package> products;  // in Programs and Features afterwards
    DWORD serviceState;             // 0: no service
    int minSeconds = 0;             // the last action took at least this long
    bool benchFolderLeft = false;   // Wine only: the service's bench folder outlives a failed upgrade
};

// Under Wine, msiexec removes the older product at once and never rolls
// that back: where Windows restores the older version, the two rows of a
// failed upgrade show what Wine leaves (the new service's removal does roll
// back).
const ScenarioCase kScenarios[] = {
    {"FreshInstall", {{Step::Install}}, 0, {First}, SERVICE_RUNNING},
    {"SameVersionRebuildReplacesIt", {{Step::Install}, {Step::Install, Rebuild}}, 0, {Rebuild}, SERVICE_RUNNING},
    {"LaterVersionReplacesIt", {{Step::Install}, {Step::Install, Next}}, 0, {Next}, SERVICE_RUNNING},
    {"HandleClosedFiveSecondsAfterRemoval",
     {{Step::Install}, {Step::Install, Next, L"", Holder::ClosesFiveSecondsAfterRemoval}}, 0, {Next}, SERVICE_RUNNING},
    {"HandleNeverClosed",
     {{Step::Install}, {Step::Install, Next, L"", Holder::NeverCloses}}, kInstallFailure, {}, 0, 15, true},
    {"RepairAfterServiceDeleted", {{Step::Install}, {Step::DeleteService}, {Step::Repair}}, 0, {First}, SERVICE_RUNNING},
    {"UsedFolderRefused", {{Step::Install, First, L"INSTALLDIR=C:\\TolvekUsed\\"}}, kInstallFailure, {}, 0},
    // Its owner could change the folder's access list afterwards. (Wine
    // reads every file's owner as the user who made it.)
    {"EmptyFolderOfAUserRefused", {{Step::Install, First, L"INSTALLDIR=C:\\TolvekEmpty\\"}}, kInstallFailure, {}, 0},
    {"UninstallLeavesNothing", {{Step::Install}, {Step::Uninstall}}, 0, {}, 0},
    {"UpgradeFailingLate",
     {{Step::Install}, {Step::Install, Next, L"TOLVEK_FAIL_LATE=1"}}, kInstallFailure, {}, 0, 0, true},
};

class InstallerTest : public ::testing::TestWithParam<ScenarioCase> {
protected:
    void SetUp() override
    {
        for (const std::wstring& package : packages_)
            ASSERT_FALSE(package.empty()) << "TOLVEK_MSI, TOLVEK_REBUILD_MSI and TOLVEK_NEXT_MSI name the packages";
        Clean();
        CreateDirectoryW(kUsedFolder, nullptr);
        CreateDirectoryW(kUserFolder, nullptr);
        ASSERT_TRUE(bench::WriteBytes(kUsedFolderFile, "planted"));
    }
    void TearDown() override
    {
        Clean();
        DeleteFileW(kUsedFolderFile);
        RemoveDirectoryW(kUsedFolder);
        RemoveDirectoryW(kUserFolder);
    }
    void Clean()
    {
        for (const std::wstring& package : packages_)
            Msiexec(L"/x", package);
        bench::RemoveInstallDirectory();
    }

    bench::ProcessResult Run(const Action& action)
    {
        const std::wstring& package = packages_[action.package];
        switch (action.step) {
        case Step::Install: {
            ServiceHolder holder(action.holder);
            return Msiexec(L"/i", package, action.properties);
        }
        case Step::Repair:
            // What "msiexec /fa" sets; Wine's msiexec /f fails before it starts.
            return Msiexec(L"/i", package, L"REINSTALL=ALL REINSTALLMODE=vamus");
        case Step::Uninstall:
            return Msiexec(L"/x", package, action.properties);
        case Step::DeleteService:
            // Stopped first: a running service marked for deletion still runs.
            bench::StopService();
            return bench::RunProgram(L"sc delete " + std::wstring(kServiceName));
        }
        return {};
    }

    void ExpectInstalled(Package package)
    {
        std::wstring version = bench::Environment(package == Next ? L"TOLVEK_NEXT_VERSION" : L"TOLVEK_VERSION");
        EXPECT_NE(ServiceDescription().find(L"Tolvek Lark Wireless USB Adapter"), std::wstring::npos)
            << ToBytes(ServiceDescription());
        EXPECT_TRUE(bench::KeyExists(kParametersKeyPath));
        EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, kRunKey, L"Quorvel"), L"\"" + bench::InstalledFile(L"Quorvel.exe") + L"\"");
        // A 32-bit registration would land in the other view, where no logon of a 64-bit system looks.
        EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, kRunKey, L"Quorvel", KEY_WOW64_32KEY), L"<none>");
        for (const std::wstring& file : ShippedFiles())
            EXPECT_TRUE(bench::IsPresent(bench::InstalledFile(file))) << ToBytes(file);
        EXPECT_EQ(FileVersion(bench::InstalledFile(L"saddrin.exe")), version);
    }

    void ExpectNothingInstalled(bool benchFolderLeft)
    {
        EXPECT_FALSE(bench::ServiceExists());
        EXPECT_FALSE(bench::KeyExists(kParametersKeyPath));
        EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, kRunKey, L"Quorvel"), L"<none>");
        for (const std::wstring& file : ShippedFiles())
            EXPECT_FALSE(bench::IsPresent(bench::InstalledFile(file))) << ToBytes(file);
        if (!benchFolderLeft) {
            EXPECT_FALSE(bench::IsPresent(bench::InstallDirectory()));
        }
    }

    std::wstring packages_[kPackages] = {PackagePath(L"TOLVEK_MSI"), PackagePath(L"TOLVEK_REBUILD_MSI"),
                                         PackagePath(L"TOLVEK_NEXT_MSI")};
};

TEST_P(InstallerTest, EndsWithTheProductsServiceAndFilesOfTheScenario)
{
    const ScenarioCase& scenario = GetParam();
    bench::ProcessResult last;
    auto start = std::chrono::steady_clock::now();
    for (size_t i = 0; i < scenario.actions.size(); ++i) {
        start = std::chrono::steady_clock::now();
        last = Run(scenario.actions[i]);
        ASSERT_TRUE(last.finished);
        if (i + 1 < scenario.actions.size()) {
            ASSERT_EQ(last.exitCode, 0u) << "step " << i << ": " << last.output;
        }
    }
    auto seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start).count();

    EXPECT_EQ(last.exitCode, scenario.exitCode == kInstallFailure ? InstallFailure() : scenario.exitCode) << last.output;
    EXPECT_GE(seconds, scenario.minSeconds);

    std::vector<ProductEntry> expected;
    for (Package package : scenario.products)
        expected.push_back({PackageProperty(packages_[package], L"ProductCode"),
                            bench::Environment(package == Next ? L"TOLVEK_NEXT_VERSION" : L"TOLVEK_VERSION"),
                            bench::InstallDirectory() + L"\\"});
    EXPECT_EQ(ProductEntries(), expected);

    if (scenario.serviceState) {
        EXPECT_TRUE(bench::WaitFor([&] { return bench::ServiceCurrentState() == scenario.serviceState; }, 10000))
            << bench::ServiceCurrentState();
    }
    if (scenario.products.empty()) {
        ExpectNothingInstalled(scenario.benchFolderLeft);
    } else {
        ExpectInstalled(scenario.products.front());
    }
    // A refused folder is left as it was, and nothing was installed into it.
    EXPECT_TRUE(bench::IsPresent(kUsedFolderFile));
    for (const wchar_t* folder : {kUsedFolder, kUserFolder})
        EXPECT_FALSE(bench::IsPresent(std::wstring(folder) + L"\\saddrin.exe"));
}

INSTANTIATE_TEST_SUITE_P(Scenarios, InstallerTest, ::testing::ValuesIn(kScenarios), CaseName());

} // namespace
