// A stand-in for the system's "MPR.DLL", for the suite only: records the
// password-change call in the log named by VELMORA_FAKE_LOG.
#include <windows.h>

#include "fake_component_log.h"

extern "C" __declspec(dllexport) DWORD WINAPI
    PwdChangePasswordA(LPCSTR provider, HWND parent, DWORD reserved, void* more)
{
    fake_log("change provider=%s parent=%lu reserved=%lu more=%d", provider != nullptr ? provider : "(null)",
             static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(parent)), static_cast<unsigned long>(reserved),
             more != nullptr ? 1 : 0);
    return 0;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        fake_log("load mpr");
    else if (reason == DLL_PROCESS_DETACH)
        fake_log("unload mpr");
    return TRUE;
}
