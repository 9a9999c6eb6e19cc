#pragma once

// The agent's texts: one language library chosen by the system locale, and
// lookups by id in exactly one language.

#include <windows.h>

#include <string>

#include "text_ids.h"

// The language library, loaded as data from the agent's own folder; null when
// loading failed; never released.
extern HMODULE LanguageLibrary;
// The language of every lookup; LANG_USER_DEFAULT until a library has been chosen.
extern DWORD TextLanguage;

// The system default locale. The program links the platform's answer; tests
// link one they set.
LCID SystemLocale();

// The library file and lookup language the table gives for a locale.
struct LanguageChoice {
    const wchar_t* library;
    LANGID language;
};
LanguageChoice LanguageForLocale(LCID locale);

bool ChooseLanguageLibrary();
void SetTextLanguage(LANGID language);

// Fills text with entry id of library's string table in TextLanguage. Answers
// false, leaving text as it was, when there is no such entry.
bool LoadText(HMODULE library, UINT id, std::wstring& text);

// Looks id up into buffer and sets window's text from the buffer, found or
// not: a failed lookup passes on what the buffer held before.
void ShowText(HWND window, UINT id, std::wstring& buffer);

// The button label, caption and message line of a dialog waiting for a press.
void ShowIdleTexts(HWND dialog);
