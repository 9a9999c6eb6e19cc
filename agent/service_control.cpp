// Kept apart from the dialog so that tests can stand in for the service.
#include "main_dialog.h"

bool CMainDlg::SendServiceControl(DWORD code)
{
    UniqueScHandle service = OpenTolvekService(SC_MANAGER_CONNECT, SERVICE_USER_DEFINED_CONTROL);
    SERVICE_STATUS status{};
    return service && ControlService(service.get(), code, &status) != FALSE;
}
