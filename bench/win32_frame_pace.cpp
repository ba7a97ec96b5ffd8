// frame_pace.exe: the frames in a top-level WGL window of the given size,
// presented with SwapBuffers as the saver presents them.
//   frame_pace.exe [--seconds S] [--seed N] [WxH]
#include <windows.h>

#include <cstdio>

#include "frame_pace.h"
#include "host/wgl_context.h"

namespace {

LRESULT CALLBACK pace_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    return DefWindowProcA(window, message, wparam, lparam);
}

double process_cpu_seconds()
{
    FILETIME created{}, ended{}, kernel{}, user{};
    if (!GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user))
        return -1.0;
    const auto seconds = [](const FILETIME& t) {
        // FILETIME counts 100 ns intervals.
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

}  // namespace

int main(int argc, char** argv)
{
    pace_run run;
    std::string error;
    if (!parse_pace_run(argc, argv, run, error)) {
        std::fprintf(stderr, "frame_pace: %s\nusage: frame_pace [--seconds S] [--seed N] [WxH]\n", error.c_str());
        return 2;
    }
    WNDCLASSA window_class{};
    window_class.lpfnWndProc = pace_window_proc;
    window_class.hInstance = GetModuleHandleA(nullptr);
    window_class.lpszClassName = "velmora_frame_pace";
    window_class.style = CS_OWNDC;
    RegisterClassA(&window_class);
    HWND window = CreateWindowExA(0, window_class.lpszClassName, "frame_pace", WS_POPUP | WS_VISIBLE, 0, 0, run.width,
                                  run.height, nullptr, nullptr, window_class.hInstance, nullptr);
    if (window == nullptr) {
        std::fprintf(stderr, "frame_pace: cannot create the window\n");
        return 1;
    }
    const wgl_context context = create_gl_context(window);
    if (!context.current) {
        std::fprintf(stderr, "frame_pace: no OpenGL context\n");
        return 1;
    }
    run.kept = context.swap_copies ? buffer_holds::last_frame : buffer_holds::anything;
    const pace_figures figures = measure_pace(
        run,
        [&] {
            SwapBuffers(context.device);
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&message);
        },
        process_cpu_seconds);
    print_pace(run, figures);
    release_gl_context(window, context);
    DestroyWindow(window);
    return figures.frames > 0 ? 0 : 1;
}
