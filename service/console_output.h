#pragma once

// Prints one formatted wide message of the install tool: to the console when
// standard output is one, otherwise to standard output as UTF-8, so that an
// installer or script that redirects the output still reads it.
void ConsolePrint(const wchar_t* format, ...);
