// A stand-in for the system's "PASSWORD.CPL", for the suite only: records
// every call in the log named by VELMORA_FAKE_LOG and answers as the control
// file named by VELMORA_FAKE_CONTROL says, read afresh on every call:
//   answer=0|1        what VerifyScreenSavePwd returns
//   hold_ms=N         how long the "prompt" runs its own message loop
//   key_after=0|1     post a key press to the saver just before answering,
//                     so that a close request follows within milliseconds
//   show_cursor=0|1   show the arrow cursor while the prompt is up, as a
//                     real prompt does, so that the saver must hide it again
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fake_component_log.h"

namespace {

HINSTANCE component_instance = nullptr;

int control_value(const char* name, int fallback)
{
    const char* path = std::getenv("VELMORA_FAKE_CONTROL");
    if (path == nullptr)
        return fallback;
    std::FILE* file = std::fopen(path, "r");
    if (file == nullptr)
        return fallback;
    char line[128];
    int value = fallback;
    const std::size_t length = std::strlen(name);
    while (std::fgets(line, sizeof line, file) != nullptr)
        if (std::strncmp(line, name, length) == 0 && line[length] == '=')
            value = std::atoi(line + length + 1);
    std::fclose(file);
    return value;
}

// The arrow, as a prompt shows it. Wine's 32-bit user32 in its WoW64 mode
// loads no system cursor, so a plain cursor of the component's own stands
// in there.
HCURSOR prompt_cursor()
{
    HCURSOR arrow = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    if (arrow != nullptr)
        return arrow;
    static BYTE and_mask[32 * 32 / 8];
    static BYTE xor_mask[32 * 32 / 8];
    for (BYTE& bits : and_mask)
        bits = 0xFF;
    return CreateCursor(component_instance, 0, 0, 32, 32, and_mask, xor_mask);
}

}  // namespace

extern "C" __declspec(dllexport) BOOL WINAPI VerifyScreenSavePwd(HWND window)
{
    BOOL saver_running = FALSE;
    SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &saver_running, 0);
    HIMC input_context = ImmGetContext(window);
    // The cursor first: the log line tells the tests that the prompt is up.
    if (control_value("show_cursor", 0) != 0)
        SetCursor(prompt_cursor());
    fake_log("verify tick=%lu running=%d input_context=%d", GetTickCount(), saver_running ? 1 : 0,
             input_context != nullptr ? 1 : 0);
    if (input_context != nullptr)
        ImmReleaseContext(window, input_context);

    // A modal prompt: the saver's messages keep flowing meanwhile.
    const DWORD hold_ms = static_cast<DWORD>(control_value("hold_ms", 0));
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < hold_ms) {
        // One message at a time: frame timers that are always due must not
        // keep the prompt open past its time.
        MSG message;
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }
    const int answer = control_value("answer", 0);
    if (control_value("key_after", 0) != 0)
        PostMessageA(window, WM_KEYDOWN, VK_SPACE, 1);
    fake_log("answer=%d tick=%lu", answer, GetTickCount());
    return answer != 0 ? TRUE : FALSE;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        component_instance = instance;
        fake_log("load password");
    } else if (reason == DLL_PROCESS_DETACH)
        fake_log("unload password");
    return TRUE;
}
