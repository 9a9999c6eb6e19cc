#include "service_shell.h"
#include "parameters_key_install.h"

int wmain(int argc, wchar_t** argv)
{
    ProbeWow64();
    return RunCommandLine(argc, argv);
}
