#pragma once

// The hand-off folder's volume for unit tests, linked in place of
// folder_volume.cpp: the flags the test names (a local NTFS volume until it
// names others), and what the last query was asked on.

#include <windows.h>

#include "folder_volume.h"

namespace fake_folder_volume {

void Set(const FolderVolume& volume);
void Reset();

struct Query {
    int count = 0;
    bool asUser = false;              // the thread was impersonating
    BY_HANDLE_FILE_INFORMATION folder{}; // the folder the handle is open on
};
Query LastQuery();

} // namespace fake_folder_volume
