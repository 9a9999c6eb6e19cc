#pragma once

// Native Wifi constants that Windows' SDK has and mingw-w64's wlanapi.h lacks,
// with Windows' values.

#include <windows.h>
#include <wlanapi.h>

#ifndef WLAN_PROFILE_GROUP_POLICY
#define WLAN_PROFILE_GROUP_POLICY 0x00000001
#define WLAN_PROFILE_USER 0x00000002
#endif

#ifndef WLAN_REASON_CODE_SUCCESS
#define WLAN_REASON_CODE_SUCCESS 0
#define WLAN_REASON_CODE_INVALID_PROFILE_SCHEMA 0x00080001
#define WLAN_REASON_CODE_INVALID_PROFILE_NAME 0x00080003
#define WLAN_REASON_CODE_PROFILE_SSID_INVALID 0x00080013

#define WLAN_REASON_CODE_MSMSEC_PROFILE_KEY_LENGTH 0x00040003
#define WLAN_REASON_CODE_MSMSEC_PROFILE_PSK_LENGTH 0x00040004
#define WLAN_REASON_CODE_MSMSEC_PROFILE_INVALID_AUTH_CIPHER 0x00040009
#define WLAN_REASON_CODE_MSMSEC_PROFILE_PASSPHRASE_CHAR 0x00040016
#define WLAN_REASON_CODE_MSMSEC_PROFILE_KEYMATERIAL_CHAR 0x00040017
#endif

// The namespace of version 1 of the WLAN profile schema.
inline constexpr wchar_t kWlanProfileNamespace[] = L"http://www.microsoft.com/networking/WLAN/profile/v1";
