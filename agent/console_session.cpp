// Kept apart from the dialog so that tests can say which session is at the
// console, and see the restart the agent asks for.
#include "main_dialog.h"

bool IsConsoleSession()
{
    DWORD own = 0;
    // While no session is attached to the console the answer is 0xFFFFFFFF, which matches none.
    return ProcessIdToSessionId(GetCurrentProcessId(), &own) && own == WTSGetActiveConsoleSessionId();
}

void RegisterAgentRestart(DWORD flags)
{
    RegisterApplicationRestart(nullptr, flags);
}
