#pragma once

// A fake vendor WPS library for unit tests, linked in place of wps_api.dll.
// A test installs a handler for each call it expects; any other call fails
// the test and answers failure.

#include <functional>
#include <string>
#include <vector>

#include "wps_api.h"

namespace fake_wps {

struct Handlers {
    std::function<unsigned char(int32_t, WpsStatusCallbackFn)> open;
    std::function<unsigned char(int32_t*, int32_t, int32_t)> findAP;
    std::function<unsigned char(int32_t, unsigned char*, char*, unsigned char*, uint32_t*)> getAP;
    std::function<unsigned char(unsigned char*, char*, unsigned char)> join;
    std::function<unsigned char(int32_t, unsigned char*, char*, int32_t, WpsCredential*)> getApInfo;
    std::function<unsigned char()> close;
    std::function<unsigned char()> gpioOpen;
    std::function<unsigned char()> hwbuttonSupported;
    std::function<unsigned char()> hwbuttonState;
    std::function<unsigned char()> gpioClose;
};

// Replaces all handlers; calls without one are unexpected. Both also forget
// the calls seen so far.
void Install(Handlers handlers);
void Reset();

// The functions called so far, in order, by their exported names.
std::vector<std::string> Calls();
int CallCount(const std::string& name);

} // namespace fake_wps
