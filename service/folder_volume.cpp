#include "folder_volume.h"

#include <winternl.h>

bool QueryFolderVolume(HANDLE folder, FolderVolume& volume)
{
    if (!GetVolumeInformationByHandleW(folder, nullptr, 0, nullptr, nullptr, &volume.fileSystemFlags, nullptr, 0))
        return false;
    // A share may report the server's NTFS flags: only the device says it is remote.
    IO_STATUS_BLOCK io{};
    FILE_FS_DEVICE_INFORMATION device{};
    NTSTATUS status = NtQueryVolumeInformationFile(folder, &io, &device, sizeof(device), FileFsDeviceInformation);
    if (!NT_SUCCESS(status)) {
        SetLastError(RtlNtStatusToDosError(status));
        return false;
    }
    volume.deviceCharacteristics = device.Characteristics;
    return true;
}
