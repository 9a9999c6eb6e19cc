#include "adapter.h"

#include <wchar.h>

GUID AdapterId;

bool IsAdapterKnown()
{
    static const GUID zero{};
    return !IsEqualGUID(AdapterId, zero);
}

// The first version of the Native Wifi API has all that the programs use.
constexpr DWORD kWlanClientVersion = 1;

DWORD OpenWlanClient(UniqueWlanHandle& client)
{
    DWORD negotiated = 0;
    DWORD result = WlanOpenHandle(kWlanClientVersion, nullptr, &negotiated, client.put());
    // A handle left by a failed open is closed all the same.
    if (result != ERROR_SUCCESS)
        client.reset();
    return result;
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

    for (DWORD i = 0; i < list->dwNumberOfItems; ++i) {
        const WLAN_INTERFACE_INFO& entry = list->InterfaceInfo[i];
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
