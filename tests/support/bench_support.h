#pragma once

// What the integration tests share: where the build and the test installation
// live, running programs with their output, the service under Wine's SCM,
// and waiting for a condition.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "bench_dir.h"
#include "bench_text.h"
#include "unique_handle.h"

namespace bench {

// The folder this test program lies in.
std::wstring ProgramFolder();
std::wstring BuildDirectory();
std::wstring DistDirectory();
std::wstring StandInsDirectory();

// The test installation: what Windows would ship plus our stand-ins, in a
// folder whose path holds a blank, as under Program Files.
std::wstring InstallDirectory();
std::wstring InstalledFile(const std::wstring& name);
// Removes any service left over, copies build/dist and build/stand-ins into
// the installation folder and empties the bench.
void PrepareInstallDirectory();
// Removes any service left over and the installation folder with all it holds.
void RemoveInstallDirectory();

struct ProcessResult {
    bool finished = false;
    DWORD exitCode = 0;
    std::string output; // standard output and error, as the program wrote them
};
ProcessResult RunProgram(const std::wstring& commandLine, DWORD timeoutMs = 60000);
ProcessResult RunInstalled(const std::wstring& program, const std::wstring& arguments, DWORD timeoutMs = 60000);

// Where the installed stand-ins keep their settings and records.
std::wstring Records();
// Runs the installed testbed.exe; a run that fails fails the test. Its output.
std::string Testbed(const std::wstring& arguments);

// The service, through the SCM.
// The service opened for access; empty when it cannot be.
UniqueScHandle ServiceHandle(DWORD access);
bool ServiceExists();
DWORD ServiceCurrentState(); // 0 when the service cannot be queried
bool SendControl(DWORD code);
void RemoveService();
// Installs with "saddrin -is" and waits until the service runs.
bool InstallAndStartService();
bool StopService(DWORD timeoutMs = 20000);
// Starts the installed service again and waits until it runs.
bool StartInstalledService();

bool RunningUnderWine();
// A variable of this process's environment; empty when it is not set.
std::wstring Environment(const wchar_t* name);
// A key below HKEY_LOCAL_MACHINE.
bool KeyExists(const wchar_t* path);

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs, DWORD stepMs = 20);

// Writes bytes as the whole file, replacing what was there.
bool WriteBytes(const std::wstring& path, const std::string& bytes);
bool IsPresent(const std::wstring& path);
// A file, or a folder with all it holds; a link is removed, not followed.
void RemoveTree(const std::wstring& path);
// The names in a folder, without "." and "..".
std::vector<std::wstring> FolderContents(const std::wstring& folder);
// This user's temporary folder, without its last backslash, and a new empty
// folder in it, by its long name.
std::wstring TempFolder();
std::wstring MakeScratchFolder();
// A folder of the system as get (GetSystemDirectoryW, say) names it, with below added.
std::wstring SystemFolder(UINT(WINAPI* get)(LPWSTR, UINT), const wchar_t* below = L"");

std::wstring WindowText(HWND window);
std::wstring ItemText(HWND dialog, int control);

} // namespace bench
