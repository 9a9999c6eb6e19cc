// Kept apart from the dialog so that tests can stand in for the service.
#include "contract.h"
#include "main_dialog.h"

bool CMainDlg::SendServiceControl(DWORD code)
{
    UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager)
        return false;
    UniqueScHandle service(OpenServiceW(manager.get(), kServiceName, SERVICE_USER_DEFINED_CONTROL));
    if (!service)
        return false;
    SERVICE_STATUS status{};
    return ControlService(service.get(), code, &status) != FALSE;
}
