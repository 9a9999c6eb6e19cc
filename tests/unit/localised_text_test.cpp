// Choosing the language library by locale, where it may come from, and text
// lookup in real and crafted libraries, all loaded as data.
#include <gtest/gtest.h>

#include <windows.h>
#include <psapi.h>

#include <string>
#include <vector>

#include "bench_support.h"
#include "case_name.h"
#include "fake_system_locale.h"
#include "language_libraries.h"
#include "localised_text.h"
#include "resource.h"

namespace {

using bench::WindowText;

struct EnglishTexts {
    UINT id;
    const wchar_t* text;
};
constexpr EnglishTexts kEnglish[] = {
    {IDS_ACTION_CANCEL, L"Cancel"},
    {IDS_ACTION_DISMISS, L"Close"},
    {IDS_CAPTION, L"Tolvek Lark WPS Push Button"},
    {IDS_PRESS_ROUTER_BUTTON, L"Press the WPS button on your router or access point now."},
    {IDS_RESULT_FAILED, L"The connection could not be set up. Please try again."},
    {IDS_RESULT_OVERLAP, L"More than one access point is in push-button mode. Please try again later."},
    {IDS_RESULT_SUCCEEDED, L"The network is set up. Your computer is joining it now."},
};

// A library loaded as data is no module of the process: ask for the mapped file.
std::wstring FileNameOf(HMODULE module)
{
    wchar_t path[MAX_PATH];
    auto base = reinterpret_cast<void*>(reinterpret_cast<ULONG_PTR>(module) & ~ULONG_PTR{3});
    DWORD length = GetMappedFileNameW(GetCurrentProcess(), base, path, MAX_PATH);
    std::wstring full(path, length);
    return full.substr(full.find_last_of(L'\\') + 1);
}

// The folder this test program lies in, where the agent looks for its libraries.
std::wstring BesideTest(const wchar_t* name)
{
    return bench::ProgramFolder() + L"\\" + name;
}

std::wstring Text(HMODULE library, UINT id)
{
    std::wstring text = L"<none>";
    LoadText(library, id, text);
    return text;
}

HMODULE CraftedLibrary()
{
    static HMODULE library = LoadLibraryW(BesideTest(L"crafted_texts.dll").c_str());
    return library;
}

class LocalisedTextTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LanguageLibrary = nullptr;
        SetTextLanguage(0x0409);
    }
};

struct LocaleCase {
    LCID locale;
    const wchar_t* library;
    DWORD language;
};

class ChooseLanguageLibraryTest : public LocalisedTextTest, public ::testing::WithParamInterface<LocaleCase> {};

TEST_P(ChooseLanguageLibraryTest, LoadsTheLibraryOfTheLocaleAndReadsAllTextsInItsLanguage)
{
    const LocaleCase& c = GetParam();
    SetFakeSystemLocale(c.locale);
    ASSERT_TRUE(ChooseLanguageLibrary());
    ASSERT_NE(LanguageLibrary, nullptr);
    EXPECT_EQ(FileNameOf(LanguageLibrary), c.library);
    EXPECT_EQ(TextLanguage, c.language);
    for (const auto& english : kEnglish) {
        std::wstring text;
        EXPECT_TRUE(LoadText(LanguageLibrary, english.id, text)) << english.id;
        EXPECT_FALSE(text.empty()) << english.id;
    }
}

INSTANTIATE_TEST_SUITE_P(Locales, ChooseLanguageLibraryTest,
                         ::testing::Values(LocaleCase{0x0804, L"TolvekwresSCHDLL.dll", 0x0404},
                                           // Sort bits above the language are not part of the choice.
                                           LocaleCase{0x00020804, L"TolvekwresSCHDLL.dll", 0x0404},
                                           LocaleCase{0x0404, L"TolvekwresTCHDLL.dll", 0x0404},
                                           LocaleCase{0x0C04, L"TolvekwresTCHDLL.dll", 0x0404},
                                           LocaleCase{0x0411, L"TolvekwresJAPDLL.dll", 0x0411},
                                           LocaleCase{0x0412, L"TolvekwresKORDLL.dll", 0x0412},
                                           LocaleCase{0x0407, L"TolvekwresDLL.dll", 0x0409},
                                           LocaleCase{0x0409, L"TolvekwresDLL.dll", 0x0409}));

// The agent's own table against the build's list of libraries: each is chosen
// for its file's language, looked up in its texts' language, and speaks it.
TEST_F(LocalisedTextTest, EveryLibraryOfTheBuildIsChosenForItsLanguageAndSpeaksIt)
{
    std::vector<std::wstring> idleLines;
    for (const LanguageLibraryRow& row : kLanguageLibraries) {
        LanguageChoice choice = LanguageForLocale(row.fileLanguage);
        EXPECT_STREQ(choice.library, row.file);
        EXPECT_EQ(choice.language, row.textsLanguage);
        SetFakeSystemLocale(row.fileLanguage);
        ASSERT_TRUE(ChooseLanguageLibrary());
        std::wstring idle = Text(LanguageLibrary, IDS_PRESS_ROUTER_BUTTON);
        for (const std::wstring& other : idleLines)
            EXPECT_NE(idle, other);
        idleLines.push_back(idle);
    }
}

TEST_F(LocalisedTextTest, EnglishTextsAreTheOnesTheDialogShows)
{
    SetFakeSystemLocale(0x0409);
    ASSERT_TRUE(ChooseLanguageLibrary());
    for (const auto& c : kEnglish)
        EXPECT_EQ(Text(LanguageLibrary, c.id), c.text) << c.id;
}

// The Korean library moved away, and a library with code of its own planted in
// a folder that is both the current folder and on PATH, then beside the agent.
class LibrarySearchTest : public LocalisedTextTest {
protected:
    void SetUp() override
    {
        LocalisedTextTest::SetUp();
        SetFakeSystemLocale(0x0412);
        GetCurrentDirectoryW(MAX_PATH, oldDirectory_);
        GetEnvironmentVariableW(L"PATH", oldPath_, 32767);
        ASSERT_TRUE(MoveFileExW(shipped_.c_str(), (shipped_ + L".away").c_str(), MOVEFILE_REPLACE_EXISTING));
        CreateDirectoryW(folder_.c_str(), nullptr);
    }
    void TearDown() override
    {
        if (LanguageLibrary)
            FreeLibrary(LanguageLibrary);
        SetCurrentDirectoryW(oldDirectory_);
        SetEnvironmentVariableW(L"PATH", oldPath_);
        DeleteFileW((folder_ + L"\\TolvekwresKORDLL.dll").c_str());
        RemoveDirectoryW(folder_.c_str());
        MoveFileExW((shipped_ + L".away").c_str(), shipped_.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    const std::wstring shipped_ = BesideTest(L"TolvekwresKORDLL.dll");
    const std::wstring folder_ = BesideTest(L"planted");
    wchar_t oldDirectory_[MAX_PATH] = L"";
    wchar_t oldPath_[32767] = L"";
};

TEST_F(LibrarySearchTest, OnlyALibraryBesideTheAgentIsLoadedAndNoneOfItsCodeRuns)
{
    std::wstring planted = BesideTest(L"planted_texts.dll");
    ASSERT_TRUE(CopyFileW(planted.c_str(), (folder_ + L"\\TolvekwresKORDLL.dll").c_str(), FALSE));
    SetCurrentDirectoryW(folder_.c_str());
    SetEnvironmentVariableW(L"PATH", (folder_ + L";" + oldPath_).c_str());
    EXPECT_FALSE(ChooseLanguageLibrary()) << "taken from the current folder or PATH";
    EXPECT_EQ(TextLanguage, 0x0412u) << "set all the same";

    ASSERT_TRUE(CopyFileW(planted.c_str(), shipped_.c_str(), FALSE));
    EXPECT_TRUE(ChooseLanguageLibrary());
    EXPECT_EQ(Text(LanguageLibrary, IDS_CAPTION), L"Planted caption");
    EXPECT_EQ(GetEnvironmentVariableW(L"TOLVEK_PLANTED_CODE_RAN", nullptr, 0), 0u) << "its DllMain ran";
}

struct LookupCase {
    const char* name;
    DWORD language;
    UINT id;
    bool found;
    const wchar_t* text; // what the buffer holds afterwards
};

class LoadTextTest : public LocalisedTextTest, public ::testing::WithParamInterface<LookupCase> {};

TEST_P(LoadTextTest, FindsTheEntryInExactlyTheTextLanguage)
{
    const LookupCase& c = GetParam();
    ASSERT_NE(CraftedLibrary(), nullptr);
    SetTextLanguage(static_cast<LANGID>(c.language));
    std::wstring text = L"<none>";
    EXPECT_EQ(LoadText(CraftedLibrary(), c.id, text), c.found);
    EXPECT_EQ(text, c.text);
}

INSTANTIATE_TEST_SUITE_P(
    CraftedBlocks, LoadTextTest,
    ::testing::Values(LookupCase{"FirstEntryOfBlock133", 0x0409, 2112, true, L"Cancel request"},
                      LookupCase{"SeparateBlock134", 0x0409, 2128, true, L"Dismiss"},
                      LookupCase{"MissingBlock146", 0x0409, 2321, false, L"<none>"},
                      LookupCase{"EmptyEntryIsFound", 0x0407, 2321, true, L""},
                      LookupCase{"EntryAfterAnEmptyOne", 0x0407, 2322, true, L"Drücken Sie die WPS-Taste."},
                      LookupCase{"ZeroUnitCutsTheEntry", 0x040C, 2321, true, L"Wi"},
                      LookupCase{"EntryAfterACutOne", 0x040C, 2322, true, L"Oui"},
                      LookupCase{"LastEntryOfBlock", 0x040C, 2335, true, L""},
                      LookupCase{"OtherLanguageOfTheSameLibrary", 0x0411, 2112, false, L"<none>"},
                      LookupCase{"CountBeyondTheBlock", 0x0410, 2320, false, L"<none>"},
                      LookupCase{"WalkBeyondTheBlock", 0x0410, 2325, false, L"<none>"}), CaseName());

TEST_F(LocalisedTextTest, WithoutALibraryTheProgramsOwnResourcesHoldNoText)
{
    std::wstring text = L"<none>";
    EXPECT_FALSE(LoadText(nullptr, IDS_CAPTION, text));
    EXPECT_EQ(text, L"<none>");
}

// A window with the dialog's two controls, for the idle texts.
class IdleTextsTest : public LocalisedTextTest {
protected:
    void SetUp() override
    {
        LocalisedTextTest::SetUp();
        window_ = CreateWindowExW(0, L"STATIC", L"stale caption", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                  nullptr, nullptr);
        CreateWindowExW(0, L"BUTTON", L"stale button", WS_CHILD, 0, 0, 10, 10, window_,
                        reinterpret_cast<HMENU>(IDC_ACTION_BUTTON), nullptr, nullptr);
        CreateWindowExW(0, L"STATIC", L"stale message", WS_CHILD, 0, 0, 10, 10, window_,
                        reinterpret_cast<HMENU>(IDC_MESSAGE_TEXT), nullptr, nullptr);
    }
    void TearDown() override
    {
        DestroyWindow(window_);
        LocalisedTextTest::TearDown();
    }
    HWND window_ = nullptr;
};

struct IdleCase {
    const char* name;
    bool crafted;
    DWORD language;
    const wchar_t* button;
    const wchar_t* caption;
    const wchar_t* message;
};

class IdleTextsCases : public IdleTextsTest, public ::testing::WithParamInterface<IdleCase> {};

TEST_P(IdleTextsCases, EachTargetGetsItsTextOrThePreviousOne)
{
    const IdleCase& c = GetParam();
    LanguageLibrary = c.crafted ? CraftedLibrary() : nullptr;
    SetTextLanguage(static_cast<LANGID>(c.language));
    ShowIdleTexts(window_);
    EXPECT_EQ(WindowText(GetDlgItem(window_, IDC_ACTION_BUTTON)), c.button);
    EXPECT_EQ(WindowText(window_), c.caption);
    EXPECT_EQ(WindowText(GetDlgItem(window_, IDC_MESSAGE_TEXT)), c.message);
}

INSTANTIATE_TEST_SUITE_P(
    Libraries, IdleTextsCases,
    ::testing::Values(
        // Block 146 is missing: caption and message carry the button's text over.
        IdleCase{"CaptionBlockMissing", true, 0x0409, L"Cancel request", L"Cancel request", L"Cancel request"},
        IdleCase{"EmptyCaptionEntry", true, 0x0407, L"Abbrechen", L"", L"Drücken Sie die WPS-Taste."},
        // Block 133 is missing: the button starts from the empty buffer.
        IdleCase{"ButtonBlockMissing", true, 0x040C, L"", L"Wi", L"Oui"},
        IdleCase{"NoLibrary", false, 0x0409, L"", L"", L""}), CaseName());

TEST_F(IdleTextsTest, EnglishLibraryGivesTheIdleTexts)
{
    SetFakeSystemLocale(0x0409);
    ASSERT_TRUE(ChooseLanguageLibrary());
    ShowIdleTexts(window_);
    EXPECT_EQ(WindowText(GetDlgItem(window_, IDC_ACTION_BUTTON)), L"Cancel");
    EXPECT_EQ(WindowText(window_), L"Tolvek Lark WPS Push Button");
    EXPECT_EQ(WindowText(GetDlgItem(window_, IDC_MESSAGE_TEXT)), L"Press the WPS button on your router or access point now.");
}

} // namespace
