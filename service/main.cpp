#include "service_shell.h"
#include "service_state.h"

int wmain(int argc, wchar_t** argv)
{
    ProbeWow64();
    return RunCommandLine(argc, argv);
}
