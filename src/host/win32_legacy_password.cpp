#include "host/win32_legacy_password.h"

#include "host/close_rules.h"
#include "host/win32_host_state.h"

void load_password_verifier()
{
    if (!host.legacy_platform)
        return;
    if (host.password_library != nullptr)
        unload_password_verifier();
    HKEY desktop = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_QUERY_VALUE, &desktop) != ERROR_SUCCESS)
        return;
    // Whatever the value's type, its first bytes are read as a number; a
    // value longer than four bytes fails the read.
    BYTE value[4] = {0, 0, 0, 0};
    DWORD size = sizeof value;
    if (RegQueryValueExA(desktop, "ScreenSaveUsePassword", nullptr, nullptr, value, &size) == ERROR_SUCCESS &&
        (value[0] | value[1] | value[2] | value[3]) != 0) {
        host.password_library = LoadLibraryA("PASSWORD.CPL");
        if (host.password_library != nullptr) {
            host.verify_password = find_export<verify_password_function>(host.password_library, "VerifyScreenSavePwd");
            if (host.verify_password != nullptr)
                set_saver_running(true);
            else
                unload_password_verifier();
        }
    }
    RegCloseKey(desktop);
}

void unload_password_verifier()
{
    if (!host.legacy_platform || host.password_library == nullptr)
        return;
    FreeLibrary(host.password_library);
    host.password_library = nullptr;
    if (host.verify_password != nullptr) {
        host.verify_password = nullptr;
        set_saver_running(false);
    }
}

void set_saver_running(bool running)
{
    if (!host.legacy_platform)
        return;
    BOOL previous = FALSE;
    SystemParametersInfoA(SPI_SCREENSAVERRUNNING, running ? TRUE : FALSE, &previous, 0);
}

bool confirm_close(HWND window)
{
    if (host.checking_password || host.close_confirmed != 0)
        return false;
    if (host.verify_password == nullptr) {
        host.close_confirmed = 1;
        return true;
    }
    if (within_password_refusal(GetTickCount(), host.last_password_check))
        return false;
    host.checking_password = true;
    // Frames that queued up before the prompt are dropped. A window holds
    // at most one pending WM_TIMER per timer, but the timer may come due
    // again while the first is removed: the second call takes that one.
    MSG pending;
    PeekMessageA(&pending, window, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
    PeekMessageA(&pending, window, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
    const LRESULT result = SendMessageA(window, verify_password_message, 0, 0);
    host.close_confirmed = result != 0 ? 1 : 0;
    host.checking_password = false;
    if (result == 0)
        SetCursor(nullptr);
    host.last_password_check = GetTickCount();
    return host.close_confirmed != 0;
}

void change_saver_password(HWND parent)
{
    using change_password_function = DWORD(WINAPI*)(LPCSTR provider, HWND parent, DWORD reserved, void* more);
    HMODULE library = LoadLibraryA("MPR.DLL");
    if (library == nullptr)
        return;
    auto change_password = find_export<change_password_function>(library, "PwdChangePasswordA");
    if (change_password != nullptr)
        change_password("SCRSAVE", parent, 0, nullptr);
    FreeLibrary(library);
}
