#pragma once

#include <windows.h>
#include <wlanapi.h>

#include "unique_handle.h"

// The interface description that identifies our adapter, 32 characters.
inline constexpr wchar_t AdapterDescription[] = L"Tolvek Lark Wireless USB Adapter";
inline constexpr size_t kAdapterDescriptionLength = sizeof(AdapterDescription) / sizeof(wchar_t) - 1;

// The adapter's interface GUID once found; all zeros while it is not known.
// Each program keeps its own.
extern GUID AdapterId;

bool IsAdapterKnown();
DWORD OpenWlanClient(UniqueWlanHandle& client);
void FindAdapter();
bool QueryLinkState();
