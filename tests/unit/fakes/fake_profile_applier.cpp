#include "fake_profile_applier.h"

#include <windows.h>

#include <mutex>

#include "profile_applier.h"

namespace {
std::mutex g_lock;
std::vector<fake_applier::Call> g_calls;
bool g_accept = true;
} // namespace

namespace fake_applier {

void Reset(bool accept)
{
    std::lock_guard<std::mutex> lock(g_lock);
    g_calls.clear();
    g_accept = accept;
}

std::vector<Call> Calls()
{
    std::lock_guard<std::mutex> lock(g_lock);
    return g_calls;
}

} // namespace fake_applier

bool ApplyProfile(const wchar_t* path)
{
    std::lock_guard<std::mutex> lock(g_lock);
    g_calls.push_back({path, GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES});
    return g_accept;
}
