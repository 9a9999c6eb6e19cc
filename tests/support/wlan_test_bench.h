#pragma once

// For tests of the Native Wifi stand-in: setting up its interfaces (unit
// tests, with the stand-in beside them) and reading its call log.

#include <gtest/gtest.h>

#include <windows.h>
#include <wlanapi.h>

#include <map>
#include <string>
#include <vector>

#include "wlan_bench.h"

namespace wlan_test {

inline GUID MakeGuid(unsigned n)
{
    GUID guid{0x7E1A0000u + n, 0x1234, 0x4abc, {0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, static_cast<BYTE>(n)}};
    return guid;
}

inline bool StandInLoaded()
{
    HMODULE module = GetModuleHandleW(L"wlanapi.dll");
    return module && GetProcAddress(module, "TolvekBenchWlanApi");
}

inline void AddInterface(const std::wstring& description, const GUID& guid, bool present = true)
{
    ModifyWlanBench([&](WlanBench& bench) {
        WlanBenchInterface added;
        added.guid = guid;
        added.description = description;
        added.present = present;
        bench.interfaces.push_back(added);
        return true;
    });
}

inline void SetConnection(const GUID& guid, DWORD state, bool secure, const std::wstring& ssid = L"HomeNet")
{
    ModifyWlanBench([&](WlanBench& bench) {
        WlanBenchInterface* i = FindBenchInterface(bench, guid);
        if (!i)
            return false;
        i->state = state;
        i->ssid = SsidBytes(ssid);
        i->profileName = ssid;
        i->securityEnabled = secure;
        i->authAlgorithm = secure ? DOT11_AUTH_ALGO_RSNA_PSK : DOT11_AUTH_ALGO_80211_OPEN;
        i->cipherAlgorithm = secure ? DOT11_CIPHER_ALGO_CCMP : DOT11_CIPHER_ALGO_NONE;
        return true;
    });
}

inline void SetPresent(const GUID& guid, bool present)
{
    ModifyWlanBench([&](WlanBench& bench) {
        WlanBenchInterface* i = FindBenchInterface(bench, guid);
        if (!i)
            return false;
        i->present = present;
        if (!present)
            DisconnectInterface(*i);
        return true;
    });
}

inline void SetService(bool running)
{
    ModifyWlanBench([&](WlanBench& bench) {
        bench.serviceRunning = running;
        return true;
    });
}

// The calls one process made, oldest first.
inline std::vector<WlanCall> CallsOf(DWORD processId, const std::wstring& logFile = WlanCallLogFile())
{
    std::vector<WlanCall> own;
    for (const WlanCall& call : ReadWlanCalls(logFile))
        if (call.processId == processId && call.function != L"attach")
            own.push_back(call);
    return own;
}

inline std::vector<WlanCall> OwnCalls()
{
    return CallsOf(GetCurrentProcessId());
}

inline int CountCalls(const std::vector<WlanCall>& calls, const wchar_t* function)
{
    int count = 0;
    for (const WlanCall& call : calls)
        count += call.function == function;
    return count;
}

inline std::wstring Field(const std::wstring& details, const wchar_t* key)
{
    std::wstring prefix = std::wstring(key) + L"=";
    size_t at = details.find(prefix);
    if (at == std::wstring::npos)
        return {};
    at += prefix.size();
    size_t end = details.find(L' ', at);
    return details.substr(at, end == std::wstring::npos ? std::wstring::npos : end - at);
}

// Every client handle opened was closed once, and every block handed out
// was freed once.
inline void ExpectBalanced(const std::vector<WlanCall>& calls)
{
    std::map<std::wstring, int> handles;
    std::map<std::wstring, int> memory;
    for (const WlanCall& call : calls) {
        if (call.result != 0)
            continue;
        if (call.function == L"WlanOpenHandle")
            ++handles[Field(call.details, L"handle")];
        else if (call.function == L"WlanCloseHandle")
            --handles[Field(call.details, L"handle")];
        else if (call.function == L"WlanFreeMemory")
            --memory[Field(call.details, L"memory")];
        else if (!Field(call.details, L"memory").empty())
            ++memory[Field(call.details, L"memory")];
    }
    for (const auto& [handle, open] : handles)
        EXPECT_EQ(open, 0) << "client handle " << std::string(handle.begin(), handle.end());
    for (const auto& [block, held] : memory)
        EXPECT_EQ(held, 0) << "memory " << std::string(block.begin(), block.end());
    for (const WlanCall& call : calls)
        EXPECT_FALSE(call.function == L"WlanFreeMemory" && call.result != 0) << "freed memory it was not given";
}

class StandInTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(StandInLoaded()) << "Wine's own wlanapi.dll was loaded, not the stand-in beside the test";
        ClearWlanBench();
    }
};

} // namespace wlan_test
