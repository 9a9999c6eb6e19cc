#include "fake_wps_api.h"

#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <mutex>

#include "fake_clock.h"

namespace {
std::mutex g_lock;
bool g_playing = false;
fake_wps::Script g_script;
fake_wps::Received g_received;
int g_searches = 0;
std::vector<std::string> g_calls;

// Records the call, then runs the script's hook for it outside the lock;
// false when no script is playing.
bool Called(const char* name, const std::function<void()>& hook = nullptr)
{
    {
        std::lock_guard<std::mutex> hold(g_lock);
        g_calls.push_back(name);
        if (!g_playing) {
            ADD_FAILURE() << "unexpected call of " << name;
            return false;
        }
    }
    if (hook)
        hook();
    return true;
}

void ExpectTheAccessPoint(const unsigned char* bssid, const char* ssid)
{
    EXPECT_EQ(memcmp(bssid, g_script.ap.bssid, 6), 0);
    EXPECT_STREQ(ssid, g_script.ap.ssid);
}
} // namespace

namespace fake_wps {

void Play(Script script)
{
    std::lock_guard<std::mutex> hold(g_lock);
    g_script = std::move(script);
    g_playing = true;
    g_received = Received{};
    g_searches = 0;
    g_calls.clear();
}

void Reset()
{
    Play({});
    std::lock_guard<std::mutex> hold(g_lock);
    g_playing = false;
}

std::vector<std::string> Calls()
{
    std::lock_guard<std::mutex> hold(g_lock);
    return g_calls;
}

int CallCount(const std::string& name)
{
    std::lock_guard<std::mutex> hold(g_lock);
    return static_cast<int>(std::count(g_calls.begin(), g_calls.end(), name));
}

Received LastReceived()
{
    return g_received;
}

} // namespace fake_wps

extern "C" {

unsigned char wps_open(int32_t reserved, WpsStatusCallbackFn callback)
{
    if (!Called("wps_open", g_script.onOpen))
        return 0;
    EXPECT_EQ(reserved, 0);
    g_received.callback = callback;
    return g_script.openOk;
}

unsigned char wps_findAP(int32_t* apCount, int32_t reserved, int32_t timeout)
{
    if (!Called("wps_findAP"))
        return 0;
    EXPECT_EQ(reserved, 0);
    EXPECT_EQ(timeout, 120);
    if (g_script.search)
        return g_script.search(apCount);
    if (g_script.searchStatus && g_script.statusBeforeSearch)
        g_received.callback(nullptr, g_script.searchStatus, nullptr);
    fake_clock::AdvanceMs(g_script.searchMs);
    if (g_script.searchStatus && !g_script.statusBeforeSearch)
        g_received.callback(nullptr, g_script.searchStatus, nullptr);
    bool found = g_searches++ >= g_script.searchesBeforeFound;
    *apCount = found ? g_script.apCount : 0;
    return found;
}

unsigned char wps_getAP(int32_t index, unsigned char* bssid, char* ssid, unsigned char* joinValue, uint32_t* extra)
{
    if (!Called("wps_getAP"))
        return 0;
    EXPECT_EQ(index, 0);
    memcpy(g_received.bssid, bssid, 6);
    g_received.ssid.assign(ssid, strnlen(ssid, 33));
    g_received.joinValue = *joinValue;
    if (!g_script.getApOk)
        return 0;
    memcpy(bssid, g_script.ap.bssid, 6);
    strcpy(ssid, g_script.ap.ssid);
    *joinValue = g_script.ap.joinValue;
    *extra = 99;
    return 1;
}

unsigned char wps_join(unsigned char* bssid, char* ssid, unsigned char joinValue)
{
    if (!Called("wps_join"))
        return 0;
    ExpectTheAccessPoint(bssid, ssid);
    EXPECT_EQ(joinValue, g_script.ap.joinValue);
    if (g_script.joinReturnsAt)
        fake_clock::SetSeconds(*g_script.joinReturnsAt);
    return g_script.joinOk;
}

unsigned char wps_get_AP_info(int32_t reserved, unsigned char* bssid, char* ssid, int32_t reserved2,
                              WpsCredential* credential)
{
    if (!Called("wps_get_AP_info"))
        return 0;
    EXPECT_EQ(reserved, 0);
    EXPECT_EQ(reserved2, 0);
    ExpectTheAccessPoint(bssid, ssid);
    const WpsCredential zero{};
    g_received.credential = credential;
    g_received.credentialCleared = memcmp(credential, &zero, sizeof(zero)) == 0;
    if (g_script.credentialsAt)
        fake_clock::SetSeconds(*g_script.credentialsAt);
    strcpy(credential->Ssid, g_script.ap.ssid);
    credential->EncryptionType = g_script.encryptionType;
    return g_script.credentialsOk;
}

unsigned char wps_close(void)
{
    return Called("wps_close", g_script.onClose);
}

unsigned char wps_gpio_open(void)
{
    return Called("wps_gpio_open", g_script.onGpioOpen);
}

unsigned char wps_hwbutton_supported(void)
{
    return Called("wps_hwbutton_supported") && g_script.buttonSupported;
}

unsigned char wps_get_hwbutton_state(void)
{
    return Called("wps_get_hwbutton_state") && g_script.buttonPressed();
}

unsigned char wps_gpio_close(void)
{
    return Called("wps_gpio_close");
}
}
