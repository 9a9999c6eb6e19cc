// Stand-in for Windows' Native Wifi client library: Wine's own wlanapi.dll
// lists no interfaces and aborts on WlanDisconnect and WlanSetProfile. It
// keeps Windows' structure layouts and error codes; its world is the bench
// (wlan_bench.h), so the service and the agent see the same interfaces.
#include <windows.h>
#include <wlanapi.h>

#include <stddef.h>
#include <string.h>
#include <wchar.h>

#include <algorithm>
#include <set>
#include <string>

#include "profile_check.h"
#include "wlan_bench.h"
#include "wlan_codes.h"

namespace {

// Client handles and memory handed out belong to the process that asked.
SRWLOCK g_tableLock = SRWLOCK_INIT;
std::set<UINT_PTR> g_handles;
std::set<void*> g_allocations;
UINT_PTR g_nextHandle = 1;

class TableLock {
public:
    TableLock() { AcquireSRWLockExclusive(&g_tableLock); }
    ~TableLock() { ReleaseSRWLockExclusive(&g_tableLock); }
};

void* Allocate(size_t size)
{
    void* memory = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size);
    if (memory) {
        TableLock lock;
        g_allocations.insert(memory);
    }
    return memory;
}

DWORD CheckClient(HANDLE client)
{
    if (!client)
        return ERROR_INVALID_PARAMETER;
    TableLock lock;
    return g_handles.count(reinterpret_cast<UINT_PTR>(client)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

std::wstring HandleText(HANDLE handle)
{
    return L"handle=" + std::to_wstring(reinterpret_cast<UINT_PTR>(handle));
}

std::wstring PointerText(const void* pointer)
{
    wchar_t text[32];
    swprintf(text, ARRAYSIZE(text), L"memory=%p", pointer);
    return text;
}

std::wstring InterfaceText(const GUID* guid)
{
    return guid ? L"interface=" + GuidText(*guid) : L"interface=none";
}

DWORD Logged(const wchar_t* function, DWORD result, const std::wstring& details)
{
    LogWlanCall(function, result, details);
    return result;
}

void CopyText(WCHAR* target, size_t capacity, const std::wstring& text)
{
    size_t count = std::min(text.size(), capacity - 1);
    wmemcpy(target, text.data(), count);
    target[count] = 0;
}

bool ParseMac(const std::wstring& text, UCHAR mac[6])
{
    unsigned values[6];
    if (swscanf(text.c_str(), L"%x:%x:%x:%x:%x:%x", &values[0], &values[1], &values[2], &values[3], &values[4],
                &values[5]) != 6)
        return false;
    for (int i = 0; i < 6; ++i)
        mac[i] = static_cast<UCHAR>(values[i]);
    return true;
}

void FillConnection(const WlanBenchInterface& i, WLAN_CONNECTION_ATTRIBUTES& c)
{
    c.isState = static_cast<WLAN_INTERFACE_STATE>(i.state);
    c.wlanConnectionMode = wlan_connection_mode_profile;
    CopyText(c.strProfileName, ARRAYSIZE(c.strProfileName), i.profileName);
    WLAN_ASSOCIATION_ATTRIBUTES& a = c.wlanAssociationAttributes;
    a.dot11Ssid.uSSIDLength = static_cast<ULONG>(std::min<size_t>(i.ssid.size(), DOT11_SSID_MAX_LENGTH));
    memcpy(a.dot11Ssid.ucSSID, i.ssid.data(), a.dot11Ssid.uSSIDLength);
    a.dot11BssType = dot11_BSS_type_infrastructure;
    ParseMac(i.bssid, a.dot11Bssid);
    a.dot11PhyType = dot11_phy_type_erp;
    a.uDot11PhyIndex = 0;
    a.wlanSignalQuality = 80;
    a.ulRxRate = 54000;
    a.ulTxRate = 54000;
    WLAN_SECURITY_ATTRIBUTES& s = c.wlanSecurityAttributes;
    s.bSecurityEnabled = i.securityEnabled;
    s.bOneXEnabled = FALSE;
    s.dot11AuthAlgorithm = static_cast<DOT11_AUTH_ALGORITHM>(i.authAlgorithm);
    s.dot11CipherAlgorithm = static_cast<DOT11_CIPHER_ALGORITHM>(i.cipherAlgorithm);
}

std::wstring ConnectionText(const WlanBenchInterface& i)
{
    return std::wstring(L" state=") + InterfaceStateName(i.state) + L" security=" +
           (i.securityEnabled ? L"1" : L"0") + L" ssid=" + SsidText(i.ssid);
}

bool SameProfileName(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

} // namespace

extern "C" {

// Tells a test which wlanapi.dll a process loaded.
DWORD WINAPI TolvekBenchWlanApi(void)
{
    return 1;
}

DWORD WINAPI WlanOpenHandle(DWORD dwClientVersion, PVOID pReserved, PDWORD pdwNegotiatedVersion,
                            PHANDLE phClientHandle)
{
    if (pReserved || !pdwNegotiatedVersion || !phClientHandle)
        return Logged(L"WlanOpenHandle", ERROR_INVALID_PARAMETER, L"");
    if (dwClientVersion != 1 && dwClientVersion != 2)
        return Logged(L"WlanOpenHandle", ERROR_NOT_SUPPORTED, L"version=" + std::to_wstring(dwClientVersion));
    if (!ReadWlanBench().serviceRunning)
        return Logged(L"WlanOpenHandle", ERROR_SERVICE_NOT_ACTIVE, L"");

    HANDLE handle;
    {
        TableLock lock;
        UINT_PTR value = g_nextHandle++;
        g_handles.insert(value);
        handle = reinterpret_cast<HANDLE>(value);
    }
    *pdwNegotiatedVersion = dwClientVersion;
    *phClientHandle = handle;
    return Logged(L"WlanOpenHandle", ERROR_SUCCESS, HandleText(handle));
}

DWORD WINAPI WlanCloseHandle(HANDLE hClientHandle, PVOID pReserved)
{
    DWORD result = pReserved ? ERROR_INVALID_PARAMETER : CheckClient(hClientHandle);
    if (result == ERROR_SUCCESS) {
        TableLock lock;
        g_handles.erase(reinterpret_cast<UINT_PTR>(hClientHandle));
    }
    return Logged(L"WlanCloseHandle", result, HandleText(hClientHandle));
}

VOID WINAPI WlanFreeMemory(PVOID pMemory)
{
    if (!pMemory)
        return;
    bool ours;
    {
        TableLock lock;
        ours = g_allocations.erase(pMemory) != 0;
    }
    // Freeing what we did not hand out (or freeing twice) would corrupt the
    // heap on Windows; here it is refused and shows in the log.
    if (ours)
        HeapFree(GetProcessHeap(), 0, pMemory);
    Logged(L"WlanFreeMemory", ours ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER, PointerText(pMemory));
}

DWORD WINAPI WlanEnumInterfaces(HANDLE hClientHandle, PVOID pReserved, PWLAN_INTERFACE_INFO_LIST* ppInterfaceList)
{
    DWORD result = CheckClient(hClientHandle);
    if (result == ERROR_SUCCESS && (pReserved || !ppInterfaceList))
        result = ERROR_INVALID_PARAMETER;
    if (result != ERROR_SUCCESS)
        return Logged(L"WlanEnumInterfaces", result, HandleText(hClientHandle));

    WlanBench bench = ReadWlanBench();
    std::vector<const WlanBenchInterface*> present;
    for (const WlanBenchInterface& i : bench.interfaces)
        if (i.present)
            present.push_back(&i);

    // The list ends in a one-element array: size it by the entries it holds.
    size_t size = offsetof(WLAN_INTERFACE_INFO_LIST, InterfaceInfo) +
                  std::max<size_t>(present.size(), 1) * sizeof(WLAN_INTERFACE_INFO);
    auto* list = static_cast<PWLAN_INTERFACE_INFO_LIST>(Allocate(size));
    if (!list)
        return Logged(L"WlanEnumInterfaces", ERROR_NOT_ENOUGH_MEMORY, HandleText(hClientHandle));
    list->dwNumberOfItems = static_cast<DWORD>(present.size());
    list->dwIndex = 0;
    for (size_t n = 0; n < present.size(); ++n) {
        WLAN_INTERFACE_INFO& entry = list->InterfaceInfo[n];
        entry.InterfaceGuid = present[n]->guid;
        CopyText(entry.strInterfaceDescription, ARRAYSIZE(entry.strInterfaceDescription), present[n]->description);
        entry.isState = static_cast<WLAN_INTERFACE_STATE>(present[n]->state);
    }
    *ppInterfaceList = list;
    return Logged(L"WlanEnumInterfaces", ERROR_SUCCESS,
                  HandleText(hClientHandle) + L" count=" + std::to_wstring(present.size()) + L" " +
                      PointerText(list));
}

DWORD WINAPI WlanQueryInterface(HANDLE hClientHandle, const GUID* pInterfaceGuid, WLAN_INTF_OPCODE OpCode,
                                PVOID pReserved, PDWORD pdwDataSize, PVOID* ppData,
                                PWLAN_OPCODE_VALUE_TYPE pWlanOpcodeValueType)
{
    std::wstring details = HandleText(hClientHandle) + L" " + InterfaceText(pInterfaceGuid) + L" opcode=" +
                           std::to_wstring(static_cast<DWORD>(OpCode));
    DWORD result = CheckClient(hClientHandle);
    if (result == ERROR_SUCCESS && (!pInterfaceGuid || pReserved || !pdwDataSize || !ppData))
        result = ERROR_INVALID_PARAMETER;
    if (result != ERROR_SUCCESS)
        return Logged(L"WlanQueryInterface", result, details);

    WlanBench bench = ReadWlanBench();
    const WlanBenchInterface* i = FindBenchInterface(bench, *pInterfaceGuid);
    if (!i || !i->present)
        return Logged(L"WlanQueryInterface", ERROR_NOT_FOUND, details);
    details += ConnectionText(*i);

    // The product asks for nothing but the current connection.
    if (OpCode != wlan_intf_opcode_current_connection)
        return Logged(L"WlanQueryInterface", ERROR_NOT_SUPPORTED, details);
    // Windows has no connection to describe while disconnected.
    if (i->state == wlan_interface_state_disconnected || i->state == wlan_interface_state_not_ready)
        return Logged(L"WlanQueryInterface", ERROR_INVALID_STATE, details);
    DWORD size = sizeof(WLAN_CONNECTION_ATTRIBUTES);
    void* data = Allocate(size);
    if (data)
        FillConnection(*i, *static_cast<WLAN_CONNECTION_ATTRIBUTES*>(data));
    if (!data)
        return Logged(L"WlanQueryInterface", ERROR_NOT_ENOUGH_MEMORY, details);
    *pdwDataSize = size;
    *ppData = data;
    if (pWlanOpcodeValueType)
        *pWlanOpcodeValueType = wlan_opcode_value_type_query_only;
    return Logged(L"WlanQueryInterface", ERROR_SUCCESS, details + L" " + PointerText(data));
}

DWORD WINAPI WlanDisconnect(HANDLE hClientHandle, const GUID* pInterfaceGuid, PVOID pReserved)
{
    std::wstring details = HandleText(hClientHandle) + L" " + InterfaceText(pInterfaceGuid);
    DWORD result = CheckClient(hClientHandle);
    if (result == ERROR_SUCCESS && (!pInterfaceGuid || pReserved))
        result = ERROR_INVALID_PARAMETER;
    if (result == ERROR_SUCCESS) {
        ModifyWlanBench([&](WlanBench& bench) {
            WlanBenchInterface* i = FindBenchInterface(bench, *pInterfaceGuid);
            if (!i || !i->present) {
                result = ERROR_NOT_FOUND;
                return false;
            }
            DisconnectInterface(*i);
            return true;
        });
    }
    return Logged(L"WlanDisconnect", result, details);
}

DWORD WINAPI WlanSetProfile(HANDLE hClientHandle, const GUID* pInterfaceGuid, DWORD dwFlags, LPCWSTR strProfileXml,
                            LPCWSTR, WINBOOL bOverwrite, PVOID pReserved, DWORD* pdwReasonCode)
{
    std::wstring details = HandleText(hClientHandle) + L" " + InterfaceText(pInterfaceGuid);
    DWORD result = CheckClient(hClientHandle);
    if (result == ERROR_SUCCESS &&
        (!pInterfaceGuid || !strProfileXml || pReserved || !pdwReasonCode ||
         (dwFlags & ~static_cast<DWORD>(WLAN_PROFILE_GROUP_POLICY | WLAN_PROFILE_USER)) != 0 ||
         ((dwFlags & WLAN_PROFILE_GROUP_POLICY) && !bOverwrite)))
        result = ERROR_INVALID_PARAMETER;
    if (result != ERROR_SUCCESS)
        return Logged(L"WlanSetProfile", result, details);

    CheckedProfile profile;
    std::wstring xml = strProfileXml;
    DWORD reason = CheckProfileXml(xml, profile);
    wchar_t reasonText[32];
    swprintf(reasonText, ARRAYSIZE(reasonText), L" reason=0x%05lX", static_cast<unsigned long>(reason));
    details += L" name=" + profile.name + reasonText;

    ModifyWlanBench([&](WlanBench& bench) {
        WlanBenchInterface* i = FindBenchInterface(bench, *pInterfaceGuid);
        if (!i || !i->present) {
            result = ERROR_NOT_FOUND;
            return false;
        }
        bool userOnly = (dwFlags & WLAN_PROFILE_USER) != 0;
        if (!userOnly && bench.allUserProfilesDenied) {
            result = ERROR_ACCESS_DENIED;
            return false;
        }
        if (reason != WLAN_REASON_CODE_SUCCESS) {
            result = ERROR_BAD_PROFILE;
            return false;
        }
        auto same = std::find_if(i->profiles.begin(), i->profiles.end(),
                                 [&](const WlanBenchProfile& p) { return SameProfileName(p.name, profile.name); });
        if (same != i->profiles.end()) {
            if (!bOverwrite) {
                result = ERROR_ALREADY_EXISTS;
                return false;
            }
            // Replaced in place: its position in the preference order stays.
            *same = {profile.name, xml, userOnly};
            if (i->state != wlan_interface_state_disconnected && SameProfileName(i->profileName, profile.name))
                DisconnectInterface(*i);
        } else {
            i->profiles.insert(i->profiles.begin(), {profile.name, xml, userOnly});
        }
        if (profile.autoConnect && i->state != wlan_interface_state_connected)
            i->joinAt = GetTickCount64() + bench.joinDelayMs;
        return true;
    });
    *pdwReasonCode = reason;
    return Logged(L"WlanSetProfile", result, details);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
        wchar_t path[MAX_PATH];
        DWORD length = GetModuleFileNameW(instance, path, MAX_PATH);
        LogWlanCall(L"attach", ERROR_SUCCESS, std::wstring(path, length));
    }
    return TRUE;
}

} // extern "C"
