#pragma once

// The adapter vendor's WPS library, wps_api.dll. saddrin imports these ten
// functions by name; flags are single bytes, non-zero for success.

#include <stdint.h>

#pragma pack(push, 1)
// The credential record that wps_get_AP_info fills, 128 bytes. Text fields
// are in the system ANSI code page.
struct WpsCredential {
    char Ssid[33];
    char KeyManagement[21];
    unsigned char NetworkKey[65];
    unsigned char Alignment;
    uint32_t EncryptionType;
    unsigned char Unused[4];
};
#pragma pack(pop)
static_assert(sizeof(WpsCredential) == 128, "the vendor's record is 128 bytes");

// The library's calling convention, for its functions and the status
// callback alike. Its own header decides where it is at hand; otherwise the C
// default, which makes a difference on x86 only.
#ifndef WPSAPI
#define WPSAPI __cdecl
#endif

extern "C" {

// Progress report from the library; answering 0 stops the current operation.
typedef unsigned char(WPSAPI* WpsStatusCallbackFn)(void* context, uint32_t status, void* data);

unsigned char WPSAPI wps_open(int32_t reserved, WpsStatusCallbackFn callback);
unsigned char WPSAPI wps_findAP(int32_t* apCount, int32_t reserved, int32_t timeout);
unsigned char WPSAPI wps_getAP(int32_t index, unsigned char* bssid, char* ssid, unsigned char* joinValue,
                               uint32_t* extra);
unsigned char WPSAPI wps_join(unsigned char* bssid, char* ssid, unsigned char joinValue);
unsigned char WPSAPI wps_get_AP_info(int32_t reserved, unsigned char* bssid, char* ssid, int32_t reserved2,
                                     WpsCredential* credential);
unsigned char WPSAPI wps_close(void);
unsigned char WPSAPI wps_gpio_open(void);
unsigned char WPSAPI wps_hwbutton_supported(void);
unsigned char WPSAPI wps_get_hwbutton_state(void);
unsigned char WPSAPI wps_gpio_close(void);
}

// EncryptionType bits of a credential as WPS defines them; TKIP and AES
// together (0x0C) count as AES.
inline constexpr uint32_t kWpsEncryptionWep = 0x02;
inline constexpr uint32_t kWpsEncryptionTkip = 0x04;
inline constexpr uint32_t kWpsEncryptionAes = 0x08;

// Status codes with a meaning to the service.
inline constexpr uint32_t kWpsStatusAssociating = 9;
inline constexpr uint32_t kWpsStatusAssociated = 10;
inline constexpr uint32_t kWpsStatusTimeUp = 18;
inline constexpr uint32_t kWpsStatusOverlap = 21;
