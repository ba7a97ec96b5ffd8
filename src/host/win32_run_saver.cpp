#include "host/win32_run_saver.h"

#include "host/win32_close_rules.h"
#include "host/win32_host_state.h"
#include "host/win32_legacy_password.h"

namespace {

struct window_placement {
    int left;
    int top;
    int width;
    int height;
};

window_placement full_screen_placement()
{
    window_placement placement{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                               GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    if (placement.width == 0 || placement.height == 0) {
        // Systems without a virtual screen: the clip box of the whole screen.
        HDC screen = GetDC(nullptr);
        RECT box = {0, 0, 0, 0};
        GetClipBox(screen, &box);
        ReleaseDC(nullptr, screen);
        placement = {box.left, box.top, box.right - box.left, box.bottom - box.top};
    }
    return placement;
}

}  // namespace

int run_saver(HWND parent)
{
    WNDCLASSA window_class = {};
    window_class.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC;
    window_class.lpfnWndProc = host_window_proc;
    window_class.hInstance = host.host_instance;
    // The executable holds no icon 100: the class has no icon.
    window_class.hIcon = LoadIconA(host.host_instance, MAKEINTRESOURCEA(100));
    window_class.hCursor = nullptr;
    window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    window_class.lpszClassName = saver_class_name;

    window_placement placement{};
    DWORD style = 0;
    DWORD extended_style = 0;
    const char* title = nullptr;
    if (parent != nullptr) {
        RECT client = {0, 0, 0, 0};
        GetClientRect(parent, &client);
        placement = {0, 0, client.right, client.bottom};
        style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;
        title = "Preview";
        host.preview_mode = true;
    } else {
        placement = full_screen_placement();
        style = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
        extended_style = WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
        title = full_screen_title;
        HWND running = FindWindowA(saver_class_name, full_screen_title);
        if (running != nullptr && IsWindow(running)) {
            SetForegroundWindow(running);
            return 0;
        }
        load_password_verifier();
    }

    if (RegisterClassA(&window_class) != 0)
        host.host_window =
            CreateWindowExA(extended_style, saver_class_name, title, style, placement.left, placement.top,
                            placement.width, placement.height, parent, nullptr, host.host_instance, nullptr);

    int exit_code = 0;
    if (host.host_window != nullptr) {
        if (!host.preview_mode)
            SetForegroundWindow(host.host_window);
        MSG message = {};
        // GetMessageA answers -1 on failure; that ends the loop as well.
        while (GetMessageA(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (message.message == WM_QUIT)
            exit_code = static_cast<int>(message.wParam);
    }
    unload_password_verifier();
    return exit_code;
}
