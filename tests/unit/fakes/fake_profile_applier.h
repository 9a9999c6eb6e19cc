#pragma once

// ApplyProfile as the request worker's tests see it: each call's path and
// whether the file was there, and the answer the test chose.

#include <string>
#include <vector>

namespace fake_applier {

struct Call {
    std::wstring path;
    bool fileExisted = false;
};

void Reset(bool accept = true);
std::vector<Call> Calls();

} // namespace fake_applier
