#pragma once

#include <windows.h>

// The system locale ChooseLanguageLibrary sees in unit tests.
void SetFakeSystemLocale(LCID locale);
