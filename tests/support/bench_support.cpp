#include "bench_support.h"

#include <gtest/gtest.h>

#include "contract.h"
#include "unique_handle.h"

namespace bench {

static std::wstring ParentOf(const std::wstring& path)
{
    size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? path : path.substr(0, slash);
}

std::wstring ProgramFolder()
{
    return ModuleDirectory(&kModuleMarker);
}

std::wstring BuildDirectory()
{
    // Test programs live in build\tests.
    return ParentOf(ProgramFolder());
}

std::wstring DistDirectory()
{
    return BuildDirectory() + L"\\dist";
}

std::wstring StandInsDirectory()
{
    return BuildDirectory() + L"\\stand-ins";
}

std::wstring InstallDirectory()
{
    return L"C:\\Program Files\\Tolvek Lark";
}

std::wstring InstalledFile(const std::wstring& name)
{
    return InstallDirectory() + L"\\" + name;
}

std::vector<std::wstring> FolderContents(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    UniqueFindHandle search(FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (!search)
        return names;
    do {
        if (wcscmp(found.cFileName, L".") != 0 && wcscmp(found.cFileName, L"..") != 0)
            names.push_back(found.cFileName);
    } while (FindNextFileW(search.get(), &found));
    return names;
}

static void CopyFolderFiles(const std::wstring& from, const std::wstring& to)
{
    for (const std::wstring& name : FolderContents(from))
        if (!(GetFileAttributesW((from + L"\\" + name).c_str()) & FILE_ATTRIBUTE_DIRECTORY))
            CopyFileW((from + L"\\" + name).c_str(), (to + L"\\" + name).c_str(), FALSE);
}

void RemoveTree(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        for (const std::wstring& name : FolderContents(path))
            RemoveTree(path + L"\\" + name);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveDirectoryW(path.c_str());
    } else {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
    }
}

void PrepareInstallDirectory()
{
    RemoveService();
    CreateDirectoryW(InstallDirectory().c_str(), nullptr);
    CopyFolderFiles(DistDirectory(), InstallDirectory());
    CopyFolderFiles(StandInsDirectory(), InstallDirectory());
    RemoveTree(Records());
    CreateDirectoryW(Records().c_str(), nullptr);
}

void RemoveInstallDirectory()
{
    RemoveService();
    RemoveTree(InstallDirectory());
}

// Reads what the pipe holds now, without waiting for more.
static void DrainPipe(HANDLE pipe, std::string& output)
{
    DWORD available = 0;
    while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        char buffer[4096];
        DWORD got = 0;
        if (!ReadFile(pipe, buffer, sizeof(buffer), &got, nullptr) || got == 0)
            break;
        output.append(buffer, got);
    }
}

ProcessResult RunProgram(const std::wstring& commandLine, DWORD timeoutMs)
{
    ProcessResult result;
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE readRaw = nullptr;
    HANDLE writeRaw = nullptr;
    if (!CreatePipe(&readRaw, &writeRaw, &inherit, 0)) {
        result.output = "CreatePipe failed: " + std::to_string(GetLastError());
        return result;
    }
    UniqueHandle readEnd(readRaw);
    UniqueHandle writeEnd(writeRaw);
    SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd.get();
    startup.hStdError = writeEnd.get();
    PROCESS_INFORMATION process{};
    std::vector<wchar_t> command(commandLine.begin(), commandLine.end());
    command.push_back(L'\0');
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &process)) {
        result.output = "CreateProcessW failed: " + std::to_string(GetLastError());
        return result;
    }
    UniqueHandle processHandle(process.hProcess);
    UniqueHandle threadHandle(process.hThread);
    writeEnd.reset();

    DWORD start = GetTickCount();
    for (;;) {
        DrainPipe(readEnd.get(), result.output);
        if (WaitForSingleObject(processHandle.get(), 10) == WAIT_OBJECT_0) {
            DrainPipe(readEnd.get(), result.output);
            result.finished = true;
            GetExitCodeProcess(processHandle.get(), &result.exitCode);
            return result;
        }
        if (GetTickCount() - start > timeoutMs) {
            TerminateProcess(processHandle.get(), 1);
            result.output += "\n(ended after " + std::to_string(timeoutMs) + " ms)";
            return result;
        }
    }
}

ProcessResult RunInstalled(const std::wstring& program, const std::wstring& arguments, DWORD timeoutMs)
{
    std::wstring command = L"\"" + InstalledFile(program) + L"\"";
    if (!arguments.empty())
        command += L" " + arguments;
    return RunProgram(command, timeoutMs);
}

std::wstring Records()
{
    return ::BenchDirectory(InstallDirectory());
}

std::string Testbed(const std::wstring& arguments)
{
    ProcessResult run = RunInstalled(L"testbed.exe", arguments);
    EXPECT_TRUE(run.finished && run.exitCode == 0) << "testbed " << ToBytes(arguments) << ": " << run.output;
    return run.output;
}

// The service's handle stays valid once the manager's is closed.
UniqueScHandle ServiceHandle(DWORD access)
{
    UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    return UniqueScHandle(OpenServiceW(manager.get(), kServiceName, access));
}

bool ServiceExists()
{
    return static_cast<bool>(ServiceHandle(SERVICE_QUERY_STATUS));
}

DWORD ServiceCurrentState()
{
    UniqueScHandle service = ServiceHandle(SERVICE_QUERY_STATUS);
    SERVICE_STATUS status{};
    if (!service || !QueryServiceStatus(service.get(), &status))
        return 0;
    return status.dwCurrentState;
}

bool SendControl(DWORD code)
{
    UniqueScHandle service = ServiceHandle(SERVICE_ALL_ACCESS);
    SERVICE_STATUS status{};
    return service && ControlService(service.get(), code, &status);
}

bool StopService(DWORD timeoutMs)
{
    // A stop sent while the service is still busy starting can be turned
    // away by Wine's SCM; send it again until the service has gone.
    return WaitFor(
        [] {
            if (ServiceCurrentState() != SERVICE_RUNNING)
                return true;
            SendControl(SERVICE_CONTROL_STOP);
            return WaitFor([] { return ServiceCurrentState() != SERVICE_RUNNING; }, 2000, 50);
        },
        timeoutMs, 50);
}

void RemoveService()
{
    if (!ServiceExists())
        return;
    StopService();
    if (UniqueScHandle service = ServiceHandle(DELETE))
        DeleteService(service.get());
    WaitFor([] { return !ServiceExists(); }, 10000, 50);
    // Wine's SCM removes the service's registry key only when its last handle
    // goes, which can be after the service stopped answering.
    WaitFor([] { return !KeyExists(kServiceKeyPath); }, 10000, 50);
}

bool InstallAndStartService()
{
    ProcessResult install = RunInstalled(L"saddrin.exe", L"-is");
    if (!install.finished || install.exitCode != 0)
        return false;
    return WaitFor([] { return ServiceCurrentState() == SERVICE_RUNNING; }, 10000, 20);
}

bool StartInstalledService()
{
    UniqueScHandle service = ServiceHandle(SERVICE_START);
    if (!service || !StartServiceW(service.get(), 0, nullptr))
        return false;
    return WaitFor([] { return ServiceCurrentState() == SERVICE_RUNNING; }, 10000, 20);
}

bool RunningUnderWine()
{
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

bool WriteBytes(const std::wstring& path, const std::string& bytes)
{
    UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    return file && WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

std::wstring Environment(const wchar_t* name)
{
    wchar_t value[MAX_PATH] = L"";
    GetEnvironmentVariableW(name, value, MAX_PATH);
    return value;
}

bool KeyExists(const wchar_t* path)
{
    UniqueHkey key;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

bool IsPresent(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring TempFolder()
{
    wchar_t temp[MAX_PATH];
    DWORD length = GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp, length > 0 ? length - 1 : 0);
}

std::wstring MakeScratchFolder()
{
    static LONG counter = 0;
    wchar_t longTemp[MAX_PATH];
    if (GetLongPathNameW(TempFolder().c_str(), longTemp, MAX_PATH) == 0)
        wcscpy_s(longTemp, TempFolder().c_str());
    std::wstring folder = std::wstring(longTemp) + L"\\tolvek-" + std::to_wstring(GetCurrentProcessId()) +
                          L"-" + std::to_wstring(InterlockedIncrement(&counter));
    RemoveTree(folder);
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

std::wstring SystemFolder(UINT(WINAPI* get)(LPWSTR, UINT), const wchar_t* below)
{
    wchar_t folder[MAX_PATH];
    get(folder, MAX_PATH);
    return std::wstring(folder) + below;
}

std::wstring WindowText(HWND window)
{
    wchar_t text[512] = L"";
    GetWindowTextW(window, text, 512);
    return text;
}

std::wstring ItemText(HWND dialog, int control)
{
    wchar_t text[512] = L"";
    GetDlgItemTextW(dialog, control, text, 512);
    return text;
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs, DWORD stepMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(stepMs);
    }
}

} // namespace bench
