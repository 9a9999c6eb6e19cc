#pragma once

// The bench tool's command groups, one file each. Each takes the arguments
// after its group word and returns the exit status.
int RunWpsCommand(int argc, wchar_t** argv);   // ap ..., button ..., wps ..., calls
int RunWlanCommand(int argc, wchar_t** argv);  // wlan ...
int RunLedCommand(int argc, wchar_t** argv);   // leds ..., wl ...
void PrintWpsHelp();
void PrintWlanHelp();
void PrintLedHelp();
