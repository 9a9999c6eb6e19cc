#include "fake_folder_volume.h"

#include "unique_handle.h"

namespace {
FolderVolume g_volume = fake_folder_volume::kLocalNtfs;
fake_folder_volume::Query g_last;
} // namespace

namespace fake_folder_volume {

void Set(const FolderVolume& volume) { g_volume = volume; }
void Reset() { g_volume = kLocalNtfs, g_last = Query(); }
Query LastQuery() { return g_last; }

} // namespace fake_folder_volume

bool QueryFolderVolume(HANDLE folder, FolderVolume& volume)
{
    UniqueHandle token;
    ++g_last.count;
    g_last.asUser = OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, token.put()) != FALSE;
    GetFileInformationByHandle(folder, &g_last.folder);
    volume = g_volume;
    return true;
}
