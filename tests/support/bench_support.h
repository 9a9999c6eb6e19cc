#pragma once

// What the integration tests share: where the build and the test installation
// live, running programs with their output, the service under Wine's SCM,
// and waiting for a condition.

#include <windows.h>

#include <functional>
#include <string>

#include "bench_dir.h"

namespace bench {

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

// The service, through the SCM.
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

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs, DWORD stepMs = 20);

// Writes bytes as the whole file, replacing what was there.
bool WriteBytes(const std::wstring& path, const std::string& bytes);
bool IsPresent(const std::wstring& path);
// A file, or a folder with all it holds; a link is removed, not followed.
void RemoveTree(const std::wstring& path);

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& wide);

} // namespace bench
