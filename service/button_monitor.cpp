#include "button_monitor.h"

#include "clock.h"
#include "service_state.h"
#include "wps_api.h"

// How often the button is read between sessions.
constexpr DWORD kButtonPollMs = 300;

DWORD WINAPI ButtonMonitor(void*)
{
    unsigned char lastState = 0;
    g_service.MonitorReading.store(false);
    while (!g_service.MonitorStop.load()) {
        if (!g_service.SessionRunning.load()) {
            g_service.MonitorReading.store(true);
            wps_gpio_open();
            if (wps_hwbutton_supported()) {
                lastState = wps_get_hwbutton_state();
                if (lastState)
                    SetEvent(g_service.ButtonEvent.get());
            }
            wps_gpio_close();
            g_service.MonitorReading.store(false);
        }
        // A wait, not a sleep: the stop sets the event with MonitorStop, so the
        // monitor does not hold the stop back for the rest of its pause.
        WaitMs(g_service.MonitorWake.get(), kButtonPollMs);
    }
    return lastState;
}
