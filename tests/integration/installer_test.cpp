// The bench package under Wine's msiexec: a silent install, an upgrade in
// place by a later package, and an uninstall that leaves nothing behind.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "bench_support.h"
#include "contract.h"
#include "unique_handle.h"

namespace {

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr wchar_t kProductName[] = L"Tolvek Lark WPS button";

const wchar_t* const kShippedFiles[] = {
    L"saddrin.exe",          L"Quorvel.exe",          L"TolvekwresDLL.dll", L"TolvekwresSCHDLL.dll",
    L"TolvekwresTCHDLL.dll", L"TolvekwresJAPDLL.dll", L"TolvekwresKORDLL.dll", L"wps_api.dll",
    L"wl.exe",
};

std::wstring Env(const char* variable)
{
    const char* value = getenv(variable);
    return value ? bench::Widen(value) : L"";
}

std::wstring Package(const char* variable)
{
    std::wstring name = Env(variable);
    for (wchar_t& c : name)
        if (c == L'/')
            c = L'\\';
    return name.empty() ? name : bench::BuildDirectory() + L"\\" + name;
}

bench::ProcessResult Msiexec(const wchar_t* action, const std::wstring& package)
{
    return bench::RunProgram(std::wstring(L"msiexec ") + action + L" \"" + package + L"\" /qn", 120000);
}

std::wstring ReadText(HKEY root, const std::wstring& path, const wchar_t* name, REGSAM view = KEY_WOW64_64KEY)
{
    wchar_t text[1024] = L"";
    DWORD size = sizeof(text) - sizeof(wchar_t);
    DWORD type = 0;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return L"<none>";
    LSTATUS status = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && type == REG_SZ ? text : L"<none>";
}

bool KeyExists(const wchar_t* path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// The DisplayVersion of every Programs and Features entry with our name.
std::vector<std::wstring> ProductEntries()
{
    std::vector<std::wstring> versions;
    HKEY uninstall = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ, &uninstall) != ERROR_SUCCESS)
        return versions;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = ARRAYSIZE(name);
        if (RegEnumKeyExW(uninstall, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        std::wstring entry = std::wstring(kUninstallKey) + L"\\" + name;
        if (ReadText(HKEY_LOCAL_MACHINE, entry, L"DisplayName") == kProductName)
            versions.push_back(ReadText(HKEY_LOCAL_MACHINE, entry, L"DisplayVersion"));
    }
    RegCloseKey(uninstall);
    return versions;
}

std::wstring ServiceDescription()
{
    UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    UniqueScHandle service(OpenServiceW(manager.get(), kServiceName, SERVICE_QUERY_CONFIG));
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

class InstallerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(first_.empty() || next_.empty()) << "TOLVEK_MSI and TOLVEK_NEXT_MSI name the packages";
        Msiexec(L"/x", next_);
        Msiexec(L"/x", first_);
        bench::RemoveInstallDirectory();
    }
    void TearDown() override
    {
        Msiexec(L"/x", next_);
        Msiexec(L"/x", first_);
    }

    void ExpectInstalled(const wchar_t* version)
    {
        EXPECT_TRUE(bench::WaitFor([] { return bench::ServiceCurrentState() == SERVICE_RUNNING; }, 10000));
        EXPECT_NE(ServiceDescription().find(L"Tolvek Lark Wireless USB Adapter"), std::wstring::npos)
            << bench::Narrow(ServiceDescription());
        EXPECT_TRUE(KeyExists(kParametersKeyPath));
        EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, kRunKey, L"Quorvel"), L"\"" + bench::InstalledFile(L"Quorvel.exe") + L"\"");
        // A 32-bit registration would land in the other view, where no logon of a 64-bit system looks.
        EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, kRunKey, L"Quorvel", KEY_WOW64_32KEY), L"<none>");
        for (const wchar_t* file : kShippedFiles)
            EXPECT_NE(GetFileAttributesW(bench::InstalledFile(file).c_str()), INVALID_FILE_ATTRIBUTES)
                << bench::Narrow(file);
        EXPECT_EQ(FileVersion(bench::InstalledFile(L"saddrin.exe")), version);
        EXPECT_EQ(ProductEntries(), std::vector<std::wstring>{version});
    }

    std::wstring first_ = Package("TOLVEK_MSI");
    std::wstring next_ = Package("TOLVEK_NEXT_MSI");
};

TEST_F(InstallerTest, InstallsUpgradesInPlaceAndUninstallsCompletely)
{
    auto install = Msiexec(L"/i", first_);
    ASSERT_TRUE(install.finished);
    ASSERT_EQ(install.exitCode, 0u) << install.output;
    ExpectInstalled(Env("TOLVEK_VERSION").c_str());

    auto upgrade = Msiexec(L"/i", next_);
    ASSERT_EQ(upgrade.exitCode, 0u) << upgrade.output;
    ExpectInstalled(Env("TOLVEK_NEXT_VERSION").c_str());

    auto uninstall = Msiexec(L"/x", next_);
    ASSERT_EQ(uninstall.exitCode, 0u) << uninstall.output;
    EXPECT_FALSE(bench::ServiceExists());
    EXPECT_FALSE(KeyExists(kParametersKeyPath));
    EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, kRunKey, L"Quorvel"), L"<none>");
    EXPECT_EQ(GetFileAttributesW(bench::InstallDirectory().c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(ProductEntries().empty());
}

} // namespace
