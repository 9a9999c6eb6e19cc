#include "fake_wps_api.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>

namespace {
fake_wps::Handlers g_handlers;
std::mutex g_callsLock;
std::vector<std::string> g_calls;

template <typename Handler, typename... Args>
unsigned char Dispatch(const char* name, const Handler& handler, Args... args)
{
    {
        std::lock_guard<std::mutex> hold(g_callsLock);
        g_calls.push_back(name);
    }
    if (!handler) {
        ADD_FAILURE() << "unexpected call of " << name;
        return 0;
    }
    return handler(args...);
}
} // namespace

namespace fake_wps {

void Install(Handlers handlers)
{
    g_handlers = std::move(handlers);
    std::lock_guard<std::mutex> hold(g_callsLock);
    g_calls.clear();
}

void Reset()
{
    Install(Handlers{});
}

std::vector<std::string> Calls()
{
    std::lock_guard<std::mutex> hold(g_callsLock);
    return g_calls;
}

int CallCount(const std::string& name)
{
    std::lock_guard<std::mutex> hold(g_callsLock);
    return static_cast<int>(std::count(g_calls.begin(), g_calls.end(), name));
}

} // namespace fake_wps

extern "C" {

unsigned char wps_open(int32_t reserved, WpsStatusCallbackFn callback)
{
    return Dispatch("wps_open", g_handlers.open, reserved, callback);
}
unsigned char wps_findAP(int32_t* apCount, int32_t reserved, int32_t timeout)
{
    return Dispatch("wps_findAP", g_handlers.findAP, apCount, reserved, timeout);
}
unsigned char wps_getAP(int32_t index, unsigned char* bssid, char* ssid, unsigned char* joinValue, uint32_t* extra)
{
    return Dispatch("wps_getAP", g_handlers.getAP, index, bssid, ssid, joinValue, extra);
}
unsigned char wps_join(unsigned char* bssid, char* ssid, unsigned char joinValue)
{
    return Dispatch("wps_join", g_handlers.join, bssid, ssid, joinValue);
}
unsigned char wps_get_AP_info(int32_t reserved, unsigned char* bssid, char* ssid, int32_t reserved2,
                              WpsCredential* credential)
{
    return Dispatch("wps_get_AP_info", g_handlers.getApInfo, reserved, bssid, ssid, reserved2, credential);
}
unsigned char wps_close(void)
{
    return Dispatch("wps_close", g_handlers.close);
}
unsigned char wps_gpio_open(void)
{
    return Dispatch("wps_gpio_open", g_handlers.gpioOpen);
}
unsigned char wps_hwbutton_supported(void)
{
    return Dispatch("wps_hwbutton_supported", g_handlers.hwbuttonSupported);
}
unsigned char wps_get_hwbutton_state(void)
{
    return Dispatch("wps_get_hwbutton_state", g_handlers.hwbuttonState);
}
unsigned char wps_gpio_close(void)
{
    return Dispatch("wps_gpio_close", g_handlers.gpioClose);
}
}
