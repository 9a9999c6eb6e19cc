#pragma once

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
