#pragma once

// Installs the profile file the service handed over as a WLAN profile on the
// adapter. Runs on the request worker, in the process's multithreaded
// apartment.

// True when Native Wifi accepted the profile.
bool ApplyProfile(const wchar_t* path);
