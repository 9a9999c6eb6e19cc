#include "handoff_file.h"

#include <winternl.h>

#include <stdio.h>
#include <utility>
#include <wchar.h>

#include "access_list.h"
#include "console_user.h"
#include "contract.h"
#include "folder_volume.h"

namespace {

constexpr size_t kHandOffNameLength = sizeof(kHandOffFileName) / sizeof(kHandOffFileName[0]) - 1;

// Long enough for any folder a temporary directory expands to.
constexpr DWORD kLongPathChars = 1024;

// What MSXML's load and the agent's DeleteFileW need, and nothing more.
constexpr ACCESS_MASK kUserFileAccess = FILE_GENERIC_READ | DELETE;

constexpr NTSTATUS kStatusNameNotFound = static_cast<NTSTATUS>(0xC0000034);

// "X:\" at the start: no device, UNC or drive-relative form.
bool StartsAtADriveRoot(const wchar_t* path)
{
    wchar_t drive = path[0];
    return ((drive >= L'A' && drive <= L'Z') || (drive >= L'a' && drive <= L'z')) && path[1] == L':' &&
           path[2] == L'\\';
}

// "X:\" and then plain components, the last one the agent's file name: no
// device or UNC prefix, no ".", "..", empty component or alternate stream.
bool IsHandOffPath(const wchar_t* path)
{
    if (!StartsAtADriveRoot(path))
        return false;
    const wchar_t* component = path + 3;
    for (;;) {
        const wchar_t* end = component;
        while (*end != L'\0' && *end != L'\\') {
            if (*end == L':' || *end == L'/')
                return false;
            ++end;
        }
        size_t length = static_cast<size_t>(end - component);
        if (length == 0)
            return false;
        if (component[0] == L'.' && (length == 1 || (length == 2 && component[1] == L'.')))
            return false;
        if (*end == L'\0')
            return length == kHandOffNameLength && wmemcmp(component, kHandOffFileName, length) == 0;
        component = end + 1;
    }
}

const wchar_t* TempFolderOf(const ConsoleUserLookup& found)
{
    if (found.tmp[0] != L'\0')
        return found.tmp;
    if (found.temp[0] != L'\0')
        return found.temp;
    return found.userProfile;
}

// Everything the user may reach is reached as that user, so a folder of the
// system's stays out of reach however the path gets there.
class Impersonation {
public:
    explicit Impersonation(HANDLE token) : active_(ImpersonateLoggedOnUser(token) != FALSE) {}
    ~Impersonation()
    {
        if (active_)
            RevertToSelf();
    }
    Impersonation(const Impersonation&) = delete;
    Impersonation& operator=(const Impersonation&) = delete;
    explicit operator bool() const { return active_; }

private:
    bool active_;
};

UniqueFileHandle OpenFolder(const wchar_t* folder)
{
    return UniqueFileHandle(CreateFileW(folder, FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

// By identity, not by name: a folder reached through a junction, a mount
// point or a short name is still the same folder.
bool SameFolder(HANDLE first, HANDLE second)
{
    BY_HANDLE_FILE_INFORMATION a{};
    BY_HANDLE_FILE_INFORMATION b{};
    return GetFileInformationByHandle(first, &a) && GetFileInformationByHandle(second, &b) &&
           (a.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

// The hand-off's name relative to the open folder, never followed: a junction
// swapped in after the check cannot move it.
NTSTATUS OpenInFolder(HANDLE folder, ACCESS_MASK access, ULONG share, ULONG disposition, ULONG options,
                      SECURITY_DESCRIPTOR* descriptor, UniqueFileHandle& file)
{
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, kHandOffFileName);
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE, folder, descriptor);
    IO_STATUS_BLOCK io{};
    HANDLE opened = nullptr;
    NTSTATUS status = NtCreateFile(&opened, access | SYNCHRONIZE, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL,
                                   share, disposition,
                                   options | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
    if (NT_SUCCESS(status))
        file.reset(opened);
    else
        SetLastError(RtlNtStatusToDosError(status));
    return status;
}

// Wine shows a Unix link as the file it leads to, with no reparse point:
// only the final names tell that it lies elsewhere.
bool LiesIn(HANDLE file, HANDLE folder)
{
    wchar_t fileName[kLongPathChars];
    wchar_t expected[kLongPathChars];
    DWORD fileLength = GetFinalPathNameByHandleW(file, fileName, kLongPathChars, FILE_NAME_NORMALIZED);
    DWORD length = GetFinalPathNameByHandleW(folder, expected, kLongPathChars, FILE_NAME_NORMALIZED);
    if (fileLength == 0 || fileLength >= kLongPathChars || length == 0 ||
        length + kHandOffNameLength + 1 >= kLongPathChars)
        return false;
    if (expected[length - 1] != L'\\')
        expected[length++] = L'\\';
    wmemcpy(expected + length, kHandOffFileName, kHandOffNameLength + 1);
    return CompareStringOrdinal(fileName, -1, expected, -1, TRUE) == CSTR_EQUAL;
}

// A plain file with one name, in the folder itself.
bool IsPlainFileIn(HANDLE file, HANDLE folder)
{
    BY_HANDLE_FILE_INFORMATION info{};
    return GetFileInformationByHandle(file, &info) &&
           !(info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) &&
           info.nNumberOfLinks == 1 && LiesIn(file, folder);
}

// A file left from before goes, so that the new one carries only the
// hand-off's own access list; anything else of that name stays and refuses.
bool RemoveEarlierHandOff(HANDLE folder)
{
    UniqueFileHandle earlier;
    NTSTATUS status = OpenInFolder(folder, DELETE | FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN, 0, nullptr,
                                   earlier);
    if (status == kStatusNameNotFound)
        return true;
    if (!NT_SUCCESS(status))
        return false;
    if (!IsPlainFileIn(earlier.get(), folder)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    FILE_DISPOSITION_INFO dispose{TRUE};
    return SetFileInformationByHandle(earlier.get(), FileDispositionInfo, &dispose, sizeof(dispose)) != FALSE;
}

// The recorded folder, or its subfolder named for the console session: with
// temporary folders per session, the agent's GetTempPathW names that one.
bool IsUsersTempFolder(HANDLE folder, const HandOffUser& user)
{
    UniqueFileHandle temp = OpenFolder(user.folder);
    if (temp && SameFolder(folder, temp.get()))
        return true;
    size_t length = wcslen(user.folder);
    const wchar_t* separator = length > 0 && user.folder[length - 1] == L'\\' ? L"" : L"\\";
    wchar_t perSession[MAX_PATH + 16];
    swprintf(perSession, sizeof(perSession) / sizeof(perSession[0]), L"%ls%ls%lu", user.folder, separator,
             static_cast<unsigned long>(user.session));
    UniqueFileHandle sessionTemp = OpenFolder(perSession);
    return sessionTemp && SameFolder(folder, sessionTemp.get());
}

// Only a local volume that keeps and enforces access lists holds the file's
// own: on FAT or exFAT any user could read the key or swap the file, and a
// share's lists are the server's. Asked on the handle opened as the user,
// whose drive letters may differ from the service's.
bool KeepsAccessLists(HANDLE folder)
{
    FolderVolume volume;
    if (QueryFolderVolume(folder, volume) && (volume.fileSystemFlags & FILE_PERSISTENT_ACLS) &&
        !(volume.deviceCharacteristics & kRemoteDevice))
        return true;
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
}

} // namespace

bool BuildHandOffSecurity(HANDLE token, ExplicitSecurity& security)
{
    SidBuffer user;
    SidBuffer system;
    SidBuffer administrators;
    return ReadTokenSid(token, TokenUser, user) && MakeWellKnownSid(WinLocalSystemSid, system) &&
           MakeWellKnownSid(WinBuiltinAdministratorsSid, administrators) &&
           BuildExplicitSecurity({{system.get(), FILE_ALL_ACCESS},
                                  {administrators.get(), FILE_ALL_ACCESS},
                                  {user.get(), kUserFileAccess}},
                                 security);
}

bool RecordHandOffUser(HandOffUser& user)
{
    user.token.reset();
    user.folder[0] = L'\0';
    ConsoleUserLookup found{};
    if (!LookUpConsoleUser(found))
        return false;
    const wchar_t* folder = TempFolderOf(found);
    if (!StartsAtADriveRoot(folder))
        return false;
    wcscpy_s(user.folder, folder);
    user.session = found.session;
    user.token = std::move(found.token);
    return true;
}

UniqueFileHandle OpenHandOffFile(const wchar_t* path, const HandOffUser& user)
{
    if (!user.token || !IsHandOffPath(path)) {
        SetLastError(ERROR_INVALID_NAME);
        return UniqueFileHandle();
    }
    // The folder part, a drive's root keeping its backslash.
    size_t folderLength = static_cast<size_t>(wcsrchr(path, L'\\') - path);
    wchar_t folderPath[MAX_PATH];
    if (folderLength + 1 >= MAX_PATH) {
        SetLastError(ERROR_INVALID_NAME);
        return UniqueFileHandle();
    }
    wmemcpy(folderPath, path, folderLength + 1);
    folderPath[folderLength == 2 ? 3 : folderLength] = L'\0';

    ExplicitSecurity security;
    if (!BuildHandOffSecurity(user.token.get(), security))
        return UniqueFileHandle();
    Impersonation asUser(user.token.get());
    if (!asUser)
        return UniqueFileHandle();
    UniqueFileHandle folder = OpenFolder(folderPath);
    if (!folder)
        return UniqueFileHandle();
    if (!IsUsersTempFolder(folder.get(), user)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return UniqueFileHandle();
    }
    if (!KeepsAccessLists(folder.get()) || !RemoveEarlierHandOff(folder.get()))
        return UniqueFileHandle();
    UniqueFileHandle file;
    OpenInFolder(folder.get(), GENERIC_WRITE, FILE_SHARE_READ, FILE_CREATE, FILE_NON_DIRECTORY_FILE, &security.descriptor,
                 file);
    return file;
}
