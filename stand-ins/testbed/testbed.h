#pragma once

#include <windows.h>

#include <string>

// The bench tool's command groups, one file each. Each takes the arguments
// after its group word and returns the exit status.
int RunWpsCommand(int argc, wchar_t** argv);   // ap ..., button ..., wps ..., calls
int RunWlanCommand(int argc, wchar_t** argv);  // wlan ...
int RunLedCommand(int argc, wchar_t** argv);   // leds ..., wl ...
int RunAgentCommand(int argc, wchar_t** argv); // agent show, agent click
void PrintWpsHelp();
void PrintWlanHelp();
void PrintLedHelp();
void PrintAgentHelp();
int RunPerfCommand(int argc, wchar_t** argv);  // perf ..., handles ...
void PrintPerfHelp();

// Shared between the groups.
inline constexpr int kActionButton = 1001; // the agent dialog's controls
inline constexpr int kMessageText = 1002;
void WriteScenario(const wchar_t* section, const wchar_t* key, const std::wstring& value);
HWND FindAgentDialog(); // null when no agent runs
