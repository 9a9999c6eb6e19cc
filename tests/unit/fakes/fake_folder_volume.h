#pragma once

// The hand-off folder's volume for unit tests, linked in place of
// folder_volume.cpp: the volume the test names (a local NTFS one until it
// names another), and what the last query was asked on.

#include <windows.h>

#include "folder_volume.h"

namespace fake_folder_volume {

// Volumes as Windows reports them; FILE_DEVICE_IS_MOUNTED is 0x20.
constexpr DWORD kFatFlags = FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK;
constexpr DWORD kNtfsFlags = kFatFlags | FILE_CASE_SENSITIVE_SEARCH | FILE_PERSISTENT_ACLS | FILE_FILE_COMPRESSION;
constexpr FolderVolume kLocalNtfs{kNtfsFlags, 0x20};
constexpr FolderVolume kReFs{kFatFlags | FILE_CASE_SENSITIVE_SEARCH | FILE_PERSISTENT_ACLS | FILE_SUPPORTS_INTEGRITY_STREAMS, 0x20};
constexpr FolderVolume kFat32{kFatFlags, 0x21};
constexpr FolderVolume kExFat{kFatFlags, 0x21};
constexpr FolderVolume kRemoteNtfs{kNtfsFlags, kRemoteDevice};

void Set(const FolderVolume& volume);
void Reset();

struct Query {
    int count = 0;
    bool asUser = false;              // the thread was impersonating
    BY_HANDLE_FILE_INFORMATION folder{}; // the folder the handle is open on
};
Query LastQuery();

} // namespace fake_folder_volume
