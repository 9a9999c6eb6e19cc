#include "console_output.h"

#include <windows.h>
#include <strsafe.h>

#include <stdarg.h>

void ConsolePrint(const wchar_t* format, ...)
{
    // Read before anything here can touch it: messages carry the caller's error.
    DWORD savedError = GetLastError();

    wchar_t text[1024];
    va_list args;
    va_start(args, format);
    StringCchVPrintfW(text, ARRAYSIZE(text), format, args);
    va_end(args);

    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out && out != INVALID_HANDLE_VALUE) {
        DWORD length = static_cast<DWORD>(wcslen(text));
        DWORD mode = 0;
        DWORD written = 0;
        if (GetConsoleMode(out, &mode)) {
            WriteConsoleW(out, text, length, &written, nullptr);
        } else {
            char utf8[3 * ARRAYSIZE(text)];
            int bytes = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), utf8, sizeof(utf8),
                                            nullptr, nullptr);
            if (bytes > 0)
                WriteFile(out, utf8, static_cast<DWORD>(bytes), &written, nullptr);
        }
    }
    SetLastError(savedError);
}
