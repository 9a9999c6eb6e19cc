#include "localised_text.h"

#include "resource.h"

HMODULE LanguageLibrary = nullptr;
DWORD TextLanguage = LANG_USER_DEFAULT;

namespace {

// Entries of a string-table block; a text with id n is entry n mod 16 of block n / 16 + 1.
constexpr UINT kTextsPerBlock = 16;

// As data, so that no code of the library runs, and from safe folders only.
constexpr DWORD kLanguageLibraryLoad = LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32 |
                                       LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE;
constexpr DWORD kLongestPathUnits = 32768;

// The agent's own folder followed by name; empty when the folder cannot be told.
std::wstring BesideAgent(const wchar_t* name)
{
    std::wstring path(kLongestPathUnits, L'\0');
    DWORD length = GetModuleFileNameW(nullptr, path.data(), kLongestPathUnits);
    size_t folderEnd = path.find_last_of(L'\\', length);
    if (length == 0 || length >= kLongestPathUnits || folderEnd == std::wstring::npos)
        return {};
    return path.substr(0, folderEnd + 1) + name;
}

} // namespace

LanguageChoice LanguageForLocale(LCID locale)
{
    LANGID language = LANGIDFROMLCID(locale);
    // Both Chinese libraries hold their texts as Traditional Chinese (Taiwan).
    constexpr LANGID kChineseTexts = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_TRADITIONAL);
    switch (PRIMARYLANGID(language)) {
    case LANG_CHINESE:
        if (SUBLANGID(language) == SUBLANG_CHINESE_SIMPLIFIED)
            return {L"TolvekwresSCHDLL.dll", kChineseTexts};
        return {L"TolvekwresTCHDLL.dll", kChineseTexts};
    case LANG_JAPANESE:
        return {L"TolvekwresJAPDLL.dll", MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN)};
    case LANG_KOREAN:
        return {L"TolvekwresKORDLL.dll", MAKELANGID(LANG_KOREAN, SUBLANG_KOREAN)};
    default:
        return {L"TolvekwresDLL.dll", MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)};
    }
}

bool ChooseLanguageLibrary()
{
    LanguageChoice choice = LanguageForLocale(SystemLocale());
    // By full path too: Wine 8 looks a data file up along the whole search
    // path, the current folder and PATH included, whatever the flags say.
    std::wstring path = BesideAgent(choice.library);
    LanguageLibrary = path.empty() ? nullptr : LoadLibraryExW(path.c_str(), nullptr, kLanguageLibraryLoad);
    SetTextLanguage(choice.language);
    return LanguageLibrary != nullptr && LanguageLibrary != reinterpret_cast<HMODULE>(INVALID_HANDLE_VALUE);
}

void SetTextLanguage(LANGID language)
{
    TextLanguage = language;
}

bool LoadText(HMODULE library, UINT id, std::wstring& text)
{
    HRSRC found = FindResourceExW(library, RT_STRING, MAKEINTRESOURCEW(id / kTextsPerBlock + 1),
                                  static_cast<WORD>(TextLanguage));
    if (!found)
        return false;
    HGLOBAL loaded = LoadResource(library, found);
    if (!loaded)
        return false;
    auto* unit = static_cast<const WCHAR*>(LockResource(loaded));
    if (!unit)
        return false;
    // The walk stays inside the block, whatever its counts claim.
    const WCHAR* end = unit + SizeofResource(library, found) / sizeof(WCHAR);
    auto entryFits = [end](const WCHAR* entry) { return entry < end && *entry < end - entry; };
    for (UINT skip = id % kTextsPerBlock; skip > 0; --skip) {
        if (!entryFits(unit))
            return false;
        unit += *unit + 1;
    }
    if (!entryFits(unit))
        return false;
    const WCHAR* first = unit + 1;
    const WCHAR* last = first;
    while (last != first + *unit && *last != L'\0')
        ++last;
    text.assign(first, last);
    return true;
}

void ShowText(HWND window, UINT id, std::wstring& buffer)
{
    LoadText(LanguageLibrary, id, buffer);
    SetWindowTextW(window, buffer.c_str());
}

void ShowIdleTexts(HWND dialog)
{
    std::wstring text;
    ShowText(GetDlgItem(dialog, IDC_ACTION_BUTTON), IDS_ACTION_CANCEL, text);
    ShowText(dialog, IDS_CAPTION, text);
    ShowText(GetDlgItem(dialog, IDC_MESSAGE_TEXT), IDS_PRESS_ROUTER_BUTTON, text);
}
