#pragma once

// What the hand-off asks of the volume a folder lies on. The service links
// folder_volume.cpp; unit tests link a fake that names the volume, since Wine
// reports every drive as a local NTFS volume.

#include <windows.h>

struct FolderVolume {
    DWORD fileSystemFlags = 0;       // FILE_PERSISTENT_ACLS and the like
    ULONG deviceCharacteristics = 0; // kRemoteDevice and the like
};

// FILE_REMOTE_DEVICE, which only the driver kit's headers name.
inline constexpr ULONG kRemoteDevice = 0x10;

// Asks about the volume of the open folder, with the access the handle was
// opened with. False when either query fails.
bool QueryFolderVolume(HANDLE folder, FolderVolume& volume);
