// Run by the package before it changes anything: a first install goes only
// into a folder that does not exist yet, or is empty and owned by SYSTEM or
// the Administrators. The service runs what is in the folder as LocalSystem:
// files left there would run, and the owner of the folder may rewrite the
// access list the package gives it.
// Ends with 0 when the folder may be used, 1 otherwise.
#include <windows.h>
#include <aclapi.h>

#include <string>

#include "token_sid.h"
#include "unique_handle.h"

namespace {

constexpr int kFolderUsable = 0;
constexpr int kFolderRefused = 1;

bool IsDotEntry(const wchar_t* name)
{
    return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

bool HasTrustedOwner(const wchar_t* folder)
{
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                              &descriptor) != ERROR_SUCCESS)
        return false;
    UniqueHlocal held(descriptor);
    return IsSystemOrAdministrators(owner);
}

int CheckFolder(const wchar_t* folder)
{
    DWORD attributes = GetFileAttributesW(folder);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? kFolderUsable : kFolderRefused;
    }
    // A file, or a link that would lead the install elsewhere.
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
        !HasTrustedOwner(folder))
        return kFolderRefused;

    std::wstring pattern = std::wstring(folder) + L"\\*";
    WIN32_FIND_DATAW entry;
    UniqueFindHandle find(FindFirstFileW(pattern.c_str(), &entry));
    if (!find)
        return kFolderRefused;
    do {
        if (!IsDotEntry(entry.cFileName))
            return kFolderRefused;
    } while (FindNextFileW(find.get(), &entry));
    return GetLastError() == ERROR_NO_MORE_FILES ? kFolderUsable : kFolderRefused;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    // The package passes "[INSTALLDIR]." so that the folder's closing
    // backslash does not escape the quote.
    return argc == 2 ? CheckFolder(argv[1]) : kFolderRefused;
}
