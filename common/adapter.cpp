#include "adapter.h"

#include <wchar.h>

GUID AdapterId;

bool IsAdapterKnown()
{
    static const GUID zero{};
    return !IsEqualGUID(AdapterId, zero);
}

DWORD OpenWlanClient(UniqueWlanHandle& client)
{
    DWORD negotiated = 0;
    HANDLE handle = nullptr;
    DWORD result = WlanOpenHandle(1, nullptr, &negotiated, &handle);
    if (result != ERROR_SUCCESS) {
        if (handle)
            WlanCloseHandle(handle, nullptr);
        return result;
    }
    client.reset(handle);
    return ERROR_SUCCESS;
}

void FindAdapter()
{
    UniqueWlanHandle client;
    if (OpenWlanClient(client) != ERROR_SUCCESS)
        return;
    AdapterId = GUID{};

    PWLAN_INTERFACE_INFO_LIST raw = nullptr;
    if (WlanEnumInterfaces(client.get(), nullptr, &raw) != ERROR_SUCCESS)
        return;
    UniqueWlanMemory<WLAN_INTERFACE_INFO_LIST> list(raw);

    for (DWORD i = 0; i < list.get()->dwNumberOfItems; ++i) {
        const WLAN_INTERFACE_INFO& entry = list.get()->InterfaceInfo[i];
        if (wcsncmp(AdapterDescription, entry.strInterfaceDescription, kAdapterDescriptionLength) == 0) {
            AdapterId = entry.InterfaceGuid;
            break;
        }
    }
}

bool QueryLinkState()
{
    if (!IsAdapterKnown()) {
        FindAdapter();
        if (!IsAdapterKnown())
            return false;
    }

    UniqueWlanHandle client;
    if (OpenWlanClient(client) != ERROR_SUCCESS)
        return false;

    DWORD size = 0;
    void* data = nullptr;
    DWORD result = WlanQueryInterface(client.get(), &AdapterId, wlan_intf_opcode_current_connection,
                                      nullptr, &size, &data, nullptr);
    UniqueWlanMemory<void> owned(data);
    if (result != ERROR_SUCCESS || !data)
        return false;

    auto* connection = static_cast<const WLAN_CONNECTION_ATTRIBUTES*>(data);
    return connection->isState == wlan_interface_state_connected &&
           connection->wlanSecurityAttributes.bSecurityEnabled;
}
