#pragma once

// The installed service under Wine's SCM as the integration tests meet it:
// the testbed that drives the stand-ins, the service's event pair, and each
// stand-in's record read back one way.

#include <gtest/gtest.h>

#include <windows.h>

#include <stdint.h>
#include <string>
#include <vector>

#include "bench_support.h"
#include "unique_handle.h"
#include "wlan_bench.h"

namespace bench {

// The adapter the bench plugs in for tests that need one.
inline constexpr wchar_t kAdapterGuid[] = L"{7E1A0001-1234-4ABC-8000-000000000001}";
void PlugAdapter();

// The Native Wifi calls of function that one installed program ("saddrin.exe") made, oldest first.
std::vector<WlanCall> WlanCallsOf(const wchar_t* program, const wchar_t* function);

// One line of the WPS library's call log.
struct WpsLogLine {
    uint64_t ms = 0;
    std::string kind;     // call, back, status, note
    std::string function; // for call and back
    std::string rest;     // everything after the kind
    bool Is(const std::string& k, const std::string& r) const { return kind == k && rest == r; }
};
std::vector<WpsLogLine> ReadWpsLog();
// The first line of kind for function, or none.
const WpsLogLine* FindWpsLine(const std::vector<WpsLogLine>& log, const std::string& kind,
                              const std::string& function);
int CountWpsLines(const std::vector<WpsLogLine>& log, const std::string& kind, const std::string& rest);
bool WaitForWpsLine(const std::string& kind, const std::string& function, DWORD timeoutMs = 5000);

bool WaitForStopped(DWORD timeoutMs);

// The hand-off file in this user's temporary folder, where the agent asks
// the service to write.
std::wstring HandOffFile();

// A fresh test installation for each test; the service removed after it.
class ServiceBench : public ::testing::Test {
protected:
    void SetUp() override { PrepareInstallDirectory(); }
    void TearDown() override { RemoveService(); }

    // Opens the running service's two events as an agent may.
    bool OpenEventPair();
    // ExitCode once DoneEvent is signalled; a failure of the test after timeoutMs.
    DWORD WaitDone(DWORD timeoutMs = 10000);

    UniqueHandle button_;
    UniqueHandle done_;
};

} // namespace bench
