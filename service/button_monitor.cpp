#include "button_monitor.h"

#include "clock.h"
#include "service_state.h"
#include "wps_api.h"

DWORD WINAPI ButtonMonitor(void*)
{
    unsigned char lastState = 0;
    SetRelaxed(g_service.MonitorReading, false);
    while (!Relaxed(g_service.MonitorStop)) {
        if (!Relaxed(g_service.SessionRunning)) {
            SetRelaxed(g_service.MonitorReading, true);
            wps_gpio_open();
            if (wps_hwbutton_supported()) {
                lastState = wps_get_hwbutton_state();
                if (lastState)
                    SetEvent(g_service.ButtonEvent.get());
            }
            wps_gpio_close();
            SetRelaxed(g_service.MonitorReading, false);
        }
        SleepMs(300);
    }
    return lastState;
}
