#include "handoff_file.h"

#include <wchar.h>

namespace {

constexpr wchar_t kHandOffName[] = L"wps_profile.xml";
constexpr size_t kHandOffNameLength = sizeof(kHandOffName) / sizeof(kHandOffName[0]) - 1;

// Long enough for any folder the agent's temporary directory expands to.
constexpr DWORD kLongPathChars = 1024;

bool IsDriveLetter(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

// "X:\" and then plain components, the last one the agent's file name: no
// device or UNC prefix, no ".", "..", empty component or alternate stream.
bool IsHandOffPath(const wchar_t* path)
{
    if (!IsDriveLetter(path[0]) || path[1] != L':' || path[2] != L'\\')
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
            return length == kHandOffNameLength && wmemcmp(component, kHandOffName, length) == 0;
        component = end + 1;
    }
}

// The requested path as Windows names the file: the folder's short components
// expanded, since the agent's temporary directory often comes in 8.3 form.
bool ExpectedFinalPath(const wchar_t* path, wchar_t* expected, DWORD size)
{
    const wchar_t* lastSlash = wcsrchr(path, L'\\');
    size_t folderLength = static_cast<size_t>(lastSlash - path);
    if (folderLength == 2)
        folderLength = 3;
    wchar_t folder[MAX_PATH];
    if (folderLength >= MAX_PATH)
        return false;
    wmemcpy(folder, path, folderLength);
    folder[folderLength] = L'\0';

    DWORD length = GetLongPathNameW(folder, expected, size);
    if (length == 0 || length >= size)
        return false;
    if (expected[length - 1] != L'\\')
        expected[length++] = L'\\';
    if (length + kHandOffNameLength >= size)
        return false;
    wmemcpy(expected + length, kHandOffName, kHandOffNameLength + 1);
    return true;
}

bool NamesRequestedPath(HANDLE file, const wchar_t* path)
{
    wchar_t expected[kLongPathChars];
    wchar_t actual[kLongPathChars];
    if (!ExpectedFinalPath(path, expected, kLongPathChars))
        return false;
    DWORD length = GetFinalPathNameByHandleW(file, actual, kLongPathChars,
                                             FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0 || length >= kLongPathChars)
        return false;
    const wchar_t* named = actual;
    if (wcsncmp(named, L"\\\\?\\", 4) == 0)
        named += 4;
    return CompareStringOrdinal(named, -1, expected, -1, TRUE) == CSTR_EQUAL;
}

// A plain file with one name, reached at the requested path.
bool IsPlainFileAt(HANDLE file, const wchar_t* path)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info))
        return false;
    if (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))
        return false;
    if (info.nNumberOfLinks != 1)
        return false;
    return NamesRequestedPath(file, path);
}

} // namespace

UniqueFileHandle OpenHandOffFile(const wchar_t* path)
{
    if (!IsHandOffPath(path)) {
        SetLastError(ERROR_INVALID_NAME);
        return UniqueFileHandle();
    }

    // Opened as it stands, not truncated and not followed, until it is known
    // to be the plain file that was asked for. DELETE takes back a file that
    // this open created at a place it must not be.
    UniqueFileHandle file(CreateFileW(path, GENERIC_WRITE | FILE_READ_ATTRIBUTES | DELETE,
                                      FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file)
        return file;
    bool created = GetLastError() != ERROR_ALREADY_EXISTS;

    if (!IsPlainFileAt(file.get(), path)) {
        if (created) {
            FILE_DISPOSITION_INFO dispose{TRUE};
            SetFileInformationByHandle(file.get(), FileDispositionInfo, &dispose, sizeof(dispose));
        }
        file.reset();
        SetLastError(ERROR_ACCESS_DENIED);
        return file;
    }

    if (!SetEndOfFile(file.get())) {
        DWORD error = GetLastError();
        file.reset();
        SetLastError(error);
    }
    return file;
}
