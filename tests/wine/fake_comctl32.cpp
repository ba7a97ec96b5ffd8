// A stand-in for the system's "COMCTL32.DLL", for the suite only: records
// the start-up calls, with the system version that the saver's process is
// told (so that the suite sees which family Wine reported to it), in the log
// named by VELMORA_FAKE_LOG.
#include <windows.h>

#include "fake_component_log.h"

namespace {

void log_call(const char* what)
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    fake_log("%s platform=%lu version=%lu.%lu", what, static_cast<unsigned long>(version.dwPlatformId),
             static_cast<unsigned long>(version.dwMajorVersion), static_cast<unsigned long>(version.dwMinorVersion));
}

}  // namespace

extern "C" __declspec(dllexport) void WINAPI InitCommonControls()
{
    log_call("common_controls");
}

extern "C" __declspec(dllexport) BOOL WINAPI InitCommonControlsEx(const DWORD* controls)
{
    fake_log("common_controls_ex size=%lu classes=0x%lx", static_cast<unsigned long>(controls[0]),
             static_cast<unsigned long>(controls[1]));
    return TRUE;
}
