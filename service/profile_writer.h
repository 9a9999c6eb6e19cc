#pragma once

#include <stdint.h>

// Turns the received credential record into the profile settings.
bool BuildProfileRecord();

// Writes the WLAN profile document to the file named by Path: 0 written,
// 1 the Parameters key cannot be opened, -1 the file or the writer failed.
int32_t WriteProfileFile();
