// Placeholder stand-in: no radio, no button. Every call answers failure.
#include "wps_api.h"

extern "C" {

unsigned char wps_open(int32_t, WpsStatusCallbackFn) { return 0; }
unsigned char wps_findAP(int32_t* apCount, int32_t, int32_t)
{
    *apCount = 0;
    return 0;
}
unsigned char wps_getAP(int32_t, unsigned char*, char*, unsigned char*, uint32_t*) { return 0; }
unsigned char wps_join(unsigned char*, char*, unsigned char) { return 0; }
unsigned char wps_get_AP_info(int32_t, unsigned char*, char*, int32_t, WpsCredential*) { return 0; }
unsigned char wps_close(void) { return 1; }
unsigned char wps_gpio_open(void) { return 1; }
unsigned char wps_hwbutton_supported(void) { return 0; }
unsigned char wps_get_hwbutton_state(void) { return 0; }
unsigned char wps_gpio_close(void) { return 1; }
}
