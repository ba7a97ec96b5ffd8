// The end-to-end suite's hands inside Wine: starts the saver and reads its
// exit code, watches which windows its process creates, finds and inspects
// the saver window, sends it messages, plays the display settings' preview
// parent (which may also destroy itself or kill the saver), reads the cursor
// and the system's saver-running state, compares the saver window with the
// screen's pixels, and edits the registry (also refusing a key's writes). Prints facts as key=value lines
// for the suite to check; exits 0 when the command itself worked.
#include <windows.h>
// After windows.h, whose types it uses.
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char* saver_class = "WindowsScreenSaverClass";

void say(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    std::vprintf(format, arguments);
    va_end(arguments);
    std::printf("\n");
    std::fflush(stdout);
}

[[noreturn]] void fail(const char* what)
{
    say("error=%s", what);
    std::exit(2);
}

std::string quoted_command_line(const std::vector<std::string>& words)
{
    std::string line = "\"" + words[0] + "\"";
    for (std::size_t i = 1; i < words.size(); ++i)
        line += " " + words[i];
    return line;
}

std::string class_of(HWND window)
{
    char name[256] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::string title_of(HWND window)
{
    char text[256] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// Keeps the thread's windows and hooks alive for a while.
void pump_for(DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

// Waits for the process while pumping messages; false on timeout.
bool wait_for_process(HANDLE process, DWORD timeout_ms)
{
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeout_ms)
            return false;
        const DWORD result = MsgWaitForMultipleObjects(1, &process, FALSE, timeout_ms - elapsed, QS_ALLINPUT);
        if (result == WAIT_OBJECT_0)
            return true;
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

PROCESS_INFORMATION start_suspended(const std::vector<std::string>& words)
{
    std::string line = quoted_command_line(words);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(words[0].c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                        &startup, &process))
        fail("cannot start the program");
    return process;
}

void report_exit(HANDLE process)
{
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    say("exit=%ld", static_cast<long>(static_cast<LONG>(code)));
}

// Windows created by the watched process, seen through an out-of-context
// event hook that is in place before the process runs.
DWORD watched_process = 0;
int windows_created = 0;
int saver_windows_created = 0;

void CALLBACK on_window_event(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD, DWORD)
{
    if (event != EVENT_OBJECT_CREATE || object != OBJID_WINDOW || child != CHILDID_SELF || window == nullptr)
        return;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    const std::string name = class_of(window);
    // Wine's own per-thread input-method window is no window of the saver.
    if (name == "IME")
        return;
    ++windows_created;
    if (name == saver_class)
        ++saver_windows_created;
    say("created hwnd=%lu class=%s", static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(window)),
        name.c_str());
}

struct found_window {
    DWORD process;
    HWND window;
};

BOOL CALLBACK find_saver_of_process(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<found_window*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->process && class_of(window) == saver_class) {
        search->window = window;
        return FALSE;
    }
    return TRUE;
}

HWND saver_window_of(DWORD process)
{
    found_window search = {process, nullptr};
    EnumWindows(find_saver_of_process, reinterpret_cast<LPARAM>(&search));
    return search.window;
}

unsigned long handle_number(HWND window)
{
    return static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(window));
}

// run [--timeout MS] [--close-after MS] PROGRAM ARGS...
// Runs the program to its end and reports its exit code and the windows its
// process created. With --close-after, a key press is posted to its saver
// window that long after the window appeared.
int run(int argc, char** argv)
{
    DWORD timeout_ms = 20000;
    long close_after_ms = -1;
    int i = 0;
    for (; i < argc && std::strncmp(argv[i], "--", 2) == 0; i += 2) {
        if (i + 1 >= argc)
            fail("option without value");
        if (std::strcmp(argv[i], "--timeout") == 0)
            timeout_ms = static_cast<DWORD>(std::atol(argv[i + 1]));
        else if (std::strcmp(argv[i], "--close-after") == 0)
            close_after_ms = std::atol(argv[i + 1]);
        else
            fail("unknown option");
    }
    if (i >= argc)
        fail("no program");
    std::vector<std::string> words(argv + i, argv + argc);
    PROCESS_INFORMATION process = start_suspended(words);
    watched_process = process.dwProcessId;
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_CREATE, nullptr, on_window_event,
                                         process.dwProcessId, 0, WINEVENT_OUTOFCONTEXT);
    if (hook == nullptr)
        fail("no event hook");
    ResumeThread(process.hThread);

    const DWORD start = GetTickCount();
    HWND saver = nullptr;
    DWORD ready_at = 0;
    bool closed = false;
    bool gone = false;
    bool ended = false;
    while (!ended) {
        if (GetTickCount() - start >= timeout_ms)
            break;
        ended = wait_for_process(process.hProcess, 20);
        if (saver == nullptr && !ended) {
            saver = saver_window_of(process.dwProcessId);
            if (saver != nullptr) {
                ready_at = GetTickCount();
                say("ready hwnd=%lu", handle_number(saver));
            }
        }
        if (saver != nullptr && !gone && !IsWindow(saver)) {
            gone = true;
            say("gone after_ms=%lu", static_cast<unsigned long>(GetTickCount() - ready_at));
        }
        if (saver != nullptr && !closed && close_after_ms >= 0 &&
            GetTickCount() - ready_at >= static_cast<DWORD>(close_after_ms)) {
            PostMessageA(saver, WM_KEYDOWN, VK_SPACE, 1);
            closed = true;
        }
    }
    if (!ended) {
        say("timeout=1");
        TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, 5000);
    }
    // Events still on their way arrive before the count is reported.
    pump_for(100);
    UnhookWinEvent(hook);
    report_exit(process.hProcess);
    say("created=%d saver_windows=%d", windows_created, saver_windows_created);
    return 0;
}

// info: the full-screen saver window's facts.
int info()
{
    HWND window = FindWindowA(saver_class, "Screen Saver");
    if (window == nullptr) {
        say("found=0");
        return 1;
    }
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    RECT rect = {};
    GetWindowRect(window, &rect);
    const LONG style = GetWindowLongA(window, GWL_STYLE);
    const LONG extended = GetWindowLongA(window, GWL_EXSTYLE);
    say("found=1 hwnd=%lu pid=%lu", handle_number(window), static_cast<unsigned long>(owner));
    say("class=%s", class_of(window).c_str());
    say("title=%s", title_of(window).c_str());
    say("rect=%ld,%ld,%ld,%ld", rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    say("virtual=%d,%d,%d,%d", GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
        GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN));
    say("style=0x%08lx exstyle=0x%08lx", static_cast<unsigned long>(style), static_cast<unsigned long>(extended));
    say("topmost=%d visible=%d foreground=%d", (extended & WS_EX_TOPMOST) != 0 ? 1 : 0, IsWindowVisible(window) ? 1 : 0,
        GetForegroundWindow() == window ? 1 : 0);
    return 0;
}

BOOL CALLBACK say_monitor(HMONITOR monitor, HDC, LPRECT, LPARAM)
{
    MONITORINFO facts = {};
    facts.cbSize = sizeof facts;
    if (GetMonitorInfoA(monitor, &facts))
        say("monitor=%ld,%ld,%ld,%ld primary=%d", facts.rcMonitor.left, facts.rcMonitor.top,
            facts.rcMonitor.right - facts.rcMonitor.left, facts.rcMonitor.bottom - facts.rcMonitor.top,
            (facts.dwFlags & MONITORINFOF_PRIMARY) != 0 ? 1 : 0);
    return TRUE;
}

// monitors: each monitor the system reports, in its order, and the virtual
// screen around them.
int monitors()
{
    EnumDisplayMonitors(nullptr, nullptr, say_monitor, 0);
    say("virtual=%d,%d,%d,%d", GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
        GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN));
    return 0;
}

// send MESSAGE:WPARAM:LPARAM...: sends each message in turn to the
// full-screen saver window and reports its result, the tick count at which
// it was sent, and whether the window is still there shortly after.
int send(int argc, char** argv)
{
    HWND window = FindWindowA(saver_class, "Screen Saver");
    if (window == nullptr)
        fail("no saver window");
    for (int i = 0; i < argc; ++i) {
        char* field = argv[i];
        const auto message = static_cast<UINT>(std::strtoul(field, &field, 0));
        const auto wparam = static_cast<WPARAM>(*field == ':' ? std::strtoull(field + 1, &field, 0) : 0);
        const auto lparam = static_cast<LPARAM>(*field == ':' ? std::strtoll(field + 1, &field, 0) : 0);
        DWORD_PTR result = 0;
        const DWORD sent_tick = GetTickCount();
        const bool answered =
            SendMessageTimeoutA(window, message, wparam, lparam, SMTO_ABORTIFHUNG, 5000, &result) != 0;
        pump_for(400);
        say("message=0x%x wparam=0x%llx lparam=0x%llx sent_tick=%lu answered=%d result=%llu alive=%d", message,
            static_cast<unsigned long long>(wparam), static_cast<unsigned long long>(lparam),
            static_cast<unsigned long>(sent_tick), answered ? 1 : 0, static_cast<unsigned long long>(result),
            IsWindow(window) ? 1 : 0);
        if (!IsWindow(window))
            break;
    }
    return 0;
}

// settitle TEXT: tries to change the saver window's title.
int set_title(int argc, char** argv)
{
    if (argc < 1)
        fail("settitle needs TEXT");
    HWND window = FindWindowA(saver_class, "Screen Saver");
    if (window == nullptr)
        fail("no saver window");
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[0]), SMTO_ABORTIFHUNG, 5000, &result);
    say("result=%llu", static_cast<unsigned long long>(result));
    say("title=%s", title_of(window).c_str());
    return 0;
}

// Processor time that a thread has used so far, in milliseconds.
ULONGLONG busy_ms_of(HANDLE thread)
{
    FILETIME created = {}, exited = {}, kernel = {}, user = {};
    if (!GetThreadTimes(thread, &created, &exited, &kernel, &user))
        return 0;
    const auto ticks = [](const FILETIME& time) {
        return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    return (ticks(kernel) + ticks(user)) / 10000;
}

// Saver windows anywhere: top-level ones and children of top-level ones.
BOOL CALLBACK count_saver_child(HWND window, LPARAM count)
{
    if (class_of(window) == saver_class)
        ++*reinterpret_cast<int*>(count);
    return TRUE;
}

BOOL CALLBACK count_saver_windows_under(HWND window, LPARAM count)
{
    count_saver_child(window, count);
    EnumChildWindows(window, count_saver_child, count);
    return TRUE;
}

int saver_windows_anywhere()
{
    int count = 0;
    EnumWindows(count_saver_windows_under, reinterpret_cast<LPARAM>(&count));
    return count;
}

// Running processes whose executable has the given file name.
int processes_named(const std::string& file_name)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return -1;
    int count = 0;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        count += lstrcmpiA(entry.szExeFile, file_name.c_str()) == 0 ? 1 : 0;
    CloseHandle(snapshot);
    return count;
}

std::string file_name_of(const std::string& path)
{
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The preview parent: a plain top-level window that notes what the saver
// passes up to it.
HWND preview_parent = nullptr;
int context_menus_with_parent_handle = 0;

LRESULT CALLBACK parent_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_CONTEXTMENU && reinterpret_cast<HWND>(wparam) == window)
        ++context_menus_with_parent_handle;
    return DefWindowProcA(window, message, wparam, lparam);
}

bool client_size_is(HWND window, LONG width, LONG height)
{
    RECT client = {};
    GetClientRect(window, &client);
    return client.right == width && client.bottom == height;
}

struct running_preview {
    PROCESS_INFORMATION process;
    HWND child;
};

// Creates the preview parent with a client area of the given size at the
// given place on the screen, starts SAVER /p inside it and waits for its
// child window.
running_preview start_preview(const char* saver, LONG width, LONG height, POINT at = {40, 40})
{
    WNDCLASSA parent_class = {};
    parent_class.lpfnWndProc = parent_proc;
    parent_class.hInstance = GetModuleHandleA(nullptr);
    parent_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    parent_class.lpszClassName = "VelmoraPreviewParent";
    RegisterClassA(&parent_class);
    // A frameless parent, so that its client area can be empty.
    preview_parent = CreateWindowExA(0, "VelmoraPreviewParent", "Display settings", WS_POPUP | WS_VISIBLE, at.x, at.y,
                                     width, height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (preview_parent == nullptr)
        fail("no parent window");
    say("parent_client=%d", client_size_is(preview_parent, width, height) ? 1 : 0);

    std::vector<std::string> words = {saver, "/p", std::to_string(handle_number(preview_parent))};
    PROCESS_INFORMATION process = start_suspended(words);
    ResumeThread(process.hThread);

    HWND child = nullptr;
    const DWORD start = GetTickCount();
    while (child == nullptr && GetTickCount() - start < 20000) {
        pump_for(20);
        child = FindWindowExA(preview_parent, nullptr, saver_class, nullptr);
    }
    if (child == nullptr) {
        TerminateProcess(process.hProcess, 99);
        fail("no preview child");
    }
    return {process, child};
}

// preview SAVER WIDTH HEIGHT [X Y]: starts the saver as a preview inside a
// parent whose client area has the given size (at X, Y on the screen, else
// at 40, 40), tries to close it with input, and destroys the parent.
int preview(int argc, char** argv)
{
    if (argc < 3)
        fail("preview needs SAVER WIDTH HEIGHT [X Y]");
    const LONG width = std::atol(argv[1]);
    const LONG height = std::atol(argv[2]);
    const POINT at = argc >= 5 ? POINT{std::atol(argv[3]), std::atol(argv[4])} : POINT{40, 40};
    const running_preview started = start_preview(argv[0], width, height, at);
    const PROCESS_INFORMATION process = started.process;
    const HWND child = started.child;
    say("child=1 title=%s child_style=%d same_client=%d", title_of(child).c_str(),
        (GetWindowLongA(child, GWL_STYLE) & WS_CHILD) != 0 ? 1 : 0, client_size_is(child, width, height) ? 1 : 0);
    RECT placed = {};
    GetWindowRect(child, &placed);
    say("child_screen=%ld,%ld,%ld,%ld", placed.left, placed.top, placed.right - placed.left,
        placed.bottom - placed.top);

    const ULONGLONG busy_before = busy_ms_of(process.hThread);
    // Input that would close the full-screen saver.
    const UINT inputs[][3] = {
        {WM_KEYDOWN, VK_SPACE, 1},
        {WM_SYSKEYDOWN, VK_MENU, 1 | (1u << 29)},
        {WM_LBUTTONDOWN, MK_LBUTTON, 0},
        {WM_RBUTTONDOWN, MK_RBUTTON, 0},
        {WM_MBUTTONDOWN, MK_MBUTTON, 0},
        {WM_MOUSEMOVE, 0, MAKELPARAM(5, 5)},
        {WM_MOUSEMOVE, 0, MAKELPARAM(90, 70)},
        {WM_ACTIVATEAPP, 0, 0},
        {WM_POWERBROADCAST, 4, 0},
    };
    for (const auto& input : inputs)
        PostMessageA(child, input[0], input[1], input[2]);
    // Real cursor movement over the preview.
    POINT origin = {0, 0};
    ClientToScreen(preview_parent, &origin);
    for (int step = 0; step < 5; ++step) {
        SetCursorPos(origin.x + 10 + 20 * step, origin.y + 10 + 15 * step);
        pump_for(60);
    }
    PostMessageA(child, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(child), MAKELPARAM(10, 10));
    pump_for(1200);
    say("window_thread_busy_ms=%llu", busy_ms_of(process.hThread) - busy_before);
    say("survived_input=%d", IsWindow(child) && WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT ? 1 : 0);
    say("context_menu_to_parent=%d", context_menus_with_parent_handle);

    // The preview keeps the size it was created with.
    SetWindowPos(preview_parent, nullptr, 0, 0, width + 50, height + 30, SWP_NOMOVE | SWP_NOZORDER);
    pump_for(300);
    say("kept_size=%d", client_size_is(child, width, height) ? 1 : 0);

    DestroyWindow(preview_parent);
    const bool ended = wait_for_process(process.hProcess, 15000);
    say("ended=%d", ended ? 1 : 0);
    if (!ended)
        TerminateProcess(process.hProcess, 99);
    report_exit(process.hProcess);
    return 0;
}

// preview-end SAVER WIDTH HEIGHT destroy|kill WAIT_MS: starts a preview,
// lets it draw for WAIT_MS, then ends it as the display settings may: by
// destroying the parent window, or by TerminateProcess on the saver. Reports
// how busy its window thread was, how it ended, and the saver windows and
// processes seen before and after.
int preview_end(int argc, char** argv)
{
    if (argc < 5)
        fail("preview-end needs SAVER WIDTH HEIGHT destroy|kill WAIT_MS");
    const std::string how = argv[3];
    if (how != "destroy" && how != "kill")
        fail("preview-end ends by destroy or kill");
    const running_preview started = start_preview(argv[0], std::atol(argv[1]), std::atol(argv[2]));
    const std::string saver_file = file_name_of(argv[0]);

    // Drawing shows as processor time of the window thread; an idle message
    // loop uses next to none.
    const DWORD wait_ms = static_cast<DWORD>(std::atol(argv[4]));
    const ULONGLONG busy_before = busy_ms_of(started.process.hThread);
    pump_for(wait_ms);
    const ULONGLONG busy_after = busy_ms_of(started.process.hThread);
    say("window_thread_busy_ms=%llu", busy_after - busy_before);
    say("before saver_windows=%d saver_processes=%d", saver_windows_anywhere(), processes_named(saver_file));

    if (how == "destroy")
        DestroyWindow(preview_parent);
    else
        TerminateProcess(started.process.hProcess, 1);
    const bool ended = wait_for_process(started.process.hProcess, 15000);
    say("ended=%d", ended ? 1 : 0);
    if (!ended)
        TerminateProcess(started.process.hProcess, 99);
    report_exit(started.process.hProcess);
    // Whatever the system tidies up after the process goes has had its time.
    pump_for(300);
    if (IsWindow(preview_parent))
        say("parent_alive=1 children=%d", GetWindow(preview_parent, GW_CHILD) != nullptr ? 1 : 0);
    else
        say("parent_alive=0");
    say("child_alive=%d", IsWindow(started.child) ? 1 : 0);
    say("after saver_windows=%d saver_processes=%d", saver_windows_anywhere(), processes_named(saver_file));
    if (IsWindow(preview_parent))
        DestroyWindow(preview_parent);
    return 0;
}

BOOL CALLBACK end_saver(HWND window, LPARAM ended)
{
    if (class_of(window) != saver_class)
        return TRUE;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, owner);
    if (process != nullptr) {
        TerminateProcess(process, 98);
        WaitForSingleObject(process, 5000);
        CloseHandle(process);
        ++*reinterpret_cast<int*>(ended);
    }
    return TRUE;
}

// end: ends every process that shows a full-screen saver window, so that a
// failed case leaves nothing behind for the next.
int end()
{
    int ended = 0;
    EnumWindows(end_saver, reinterpret_cast<LPARAM>(&ended));
    say("ended=%d", ended);
    return 0;
}

// cursor: where Windows sees the cursor, and whether it is shown.
int cursor()
{
    POINT position = {0, 0};
    GetCursorPos(&position);
    say("cursor=%ld,%ld", position.x, position.y);
    // The cursor of the foreground thread: null once the saver has hidden it.
    CURSORINFO shown = {};
    shown.cbSize = sizeof shown;
    if (GetCursorInfo(&shown))
        say("cursor_handle=%d cursor_showing=%d tick=%lu", shown.hCursor != nullptr ? 1 : 0,
            (shown.flags & CURSOR_SHOWING) != 0 ? 1 : 0, static_cast<unsigned long>(GetTickCount()));
    return 0;
}

// running: whether the system regards a screen saver as running, as any
// process sees it.
int saver_running_state()
{
    BOOL running = FALSE;
    if (!SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &running, 0))
        fail("SPI_GETSCREENSAVERRUNNING failed");
    say("saver_running=%d", running ? 1 : 0);
    return 0;
}

// A windowsSettings value of a program's manifest (NAME in namespace NS) as
// the system's loader reads it (its activation context), "-" when it has
// none, "?" when the system cannot say.
std::string manifest_setting(const char* program, const wchar_t* ns, const wchar_t* name)
{
    using query_t = BOOL(WINAPI*)(DWORD, HANDLE, const wchar_t*, const wchar_t*, wchar_t*, SIZE_T, SIZE_T*);
    const auto query = reinterpret_cast<query_t>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "QueryActCtxSettingsW")));
    ACTCTXA request = {};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = program;
    request.lpResourceName = MAKEINTRESOURCEA(1);
    HANDLE context = CreateActCtxA(&request);
    if (query == nullptr || context == INVALID_HANDLE_VALUE)
        return "?";
    wchar_t value[64] = L"";
    SIZE_T written = 0;
    const bool found = query(0, context, ns, name, value, sizeof value / sizeof value[0], &written) != FALSE;
    ReleaseActCtx(context);
    if (!found || value[0] == L'\0')
        return "-";
    std::string narrow;
    for (const wchar_t* c = value; *c != L'\0'; ++c)
        narrow += *c < 0x80 ? static_cast<char>(*c) : '?';
    return narrow;
}

// dpi [SAVER]: makes the probe itself DPI-aware, so that it sees real
// pixels, then reports the system's DPI, the screen's pixels and the
// full-screen saver window's client size; with SAVER, also the dpiAware
// and dpiAwareness settings of its manifest (spaces read as '_').
int dpi(int argc, char** argv)
{
    using set_aware_t = BOOL(WINAPI*)();
    if (auto set_aware = reinterpret_cast<set_aware_t>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "SetProcessDPIAware"))))
        set_aware();
    if (argc >= 1) {
        say("manifest_dpi_aware=%s",
            manifest_setting(argv[0], L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware").c_str());
        std::string awareness =
            manifest_setting(argv[0], L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness");
        std::replace(awareness.begin(), awareness.end(), ' ', '_');
        say("manifest_dpi_awareness=%s", awareness.c_str());
    }
    // The system's DPI from user32 where it says it: Wine's 32-bit GDI in
    // WoW64 mode reports 0 for the screen's LOGPIXELSX.
    using dpi_for_system_t = UINT(WINAPI*)();
    if (auto dpi_for_system = reinterpret_cast<dpi_for_system_t>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForSystem")))) {
        say("logpixels=%u", dpi_for_system());
    } else {
        HDC screen = GetDC(nullptr);
        say("logpixels=%d", GetDeviceCaps(screen, LOGPIXELSX));
        ReleaseDC(nullptr, screen);
    }
    say("screen=%dx%d", GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN));
    HWND window = FindWindowA(saver_class, "Screen Saver");
    if (window == nullptr) {
        say("found=0");
        return 1;
    }
    RECT client = {};
    GetClientRect(window, &client);
    say("client=%ldx%ld", client.right, client.bottom);
    return 0;
}

// A key under HKEY_CURRENT_USER, or under HKEY_LOCAL_MACHINE when the path
// begins with "HKLM\\".
HKEY open_key(const char* path, REGSAM access = KEY_SET_VALUE)
{
    HKEY root = HKEY_CURRENT_USER;
    if (std::strncmp(path, "HKLM\\", 5) == 0) {
        root = HKEY_LOCAL_MACHINE;
        path += 5;
    }
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path, 0, nullptr, 0, access, nullptr, &key, nullptr) != ERROR_SUCCESS)
        fail("cannot open the key");
    return key;
}

// reg lock|unlock KEY: refuses every program the writing of KEY's values
// and subkeys (an access-control entry denying it to Everyone), or allows
// everything again (no access control at all).
int lock_key(const std::string& kind, const char* path)
{
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone))
        fail("no SID for Everyone");
    alignas(ACL) BYTE acl_bytes[256];
    auto* acl = reinterpret_cast<ACL*>(acl_bytes);
    SECURITY_DESCRIPTOR descriptor;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    if (kind == "lock") {
        InitializeAcl(acl, sizeof acl_bytes, ACL_REVISION);
        AddAccessDeniedAce(acl, ACL_REVISION, KEY_SET_VALUE | KEY_CREATE_SUB_KEY, everyone);
        AddAccessAllowedAce(acl, ACL_REVISION, KEY_ALL_ACCESS, everyone);
        SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
    } else {
        SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE);
    }
    HKEY key = open_key(path, WRITE_DAC);
    const LONG status = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor);
    RegCloseKey(key);
    FreeSid(everyone);
    if (status != ERROR_SUCCESS)
        fail("cannot set the key's access control");
    say("reg=%s", kind.c_str());
    return 0;
}

// reg dword|binary|string|delete KEY NAME [VALUE]: one registry value;
// binary values are given as hexadecimal byte pairs.
int registry(int argc, char** argv)
{
    if (argc >= 2 && (std::strcmp(argv[0], "lock") == 0 || std::strcmp(argv[0], "unlock") == 0))
        return lock_key(argv[0], argv[1]);
    if (argc < 3)
        fail("reg needs KIND KEY NAME [VALUE]");
    const std::string kind = argv[0];
    HKEY key = open_key(argv[1]);
    LONG status = ERROR_SUCCESS;
    if (kind == "delete") {
        status = RegDeleteValueA(key, argv[2]);
        if (status == ERROR_FILE_NOT_FOUND)
            status = ERROR_SUCCESS;
    } else if (argc < 4) {
        fail("value missing");
    } else if (kind == "dword") {
        const DWORD value = static_cast<DWORD>(std::strtoul(argv[3], nullptr, 0));
        status = RegSetValueExA(key, argv[2], 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    } else if (kind == "binary") {
        std::vector<BYTE> bytes;
        for (const char* hex = argv[3]; hex[0] != '\0' && hex[1] != '\0'; hex += 2) {
            const char pair[3] = {hex[0], hex[1], '\0'};
            bytes.push_back(static_cast<BYTE>(std::strtoul(pair, nullptr, 16)));
        }
        status = RegSetValueExA(key, argv[2], 0, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size()));
    } else if (kind == "string") {
        status = RegSetValueExA(key, argv[2], 0, REG_SZ, reinterpret_cast<const BYTE*>(argv[3]),
                                static_cast<DWORD>(std::strlen(argv[3]) + 1));
    } else {
        fail("unknown kind");
    }
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        fail("registry write failed");
    say("reg=ok");
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        fail("usage: saver_probe run|info|monitors|send|settitle|preview|preview-end|end|cursor|running|dpi|reg ...");
    const std::string command = argv[1];
    if (command == "run")
        return run(argc - 2, argv + 2);
    if (command == "info")
        return info();
    if (command == "monitors")
        return monitors();
    if (command == "send")
        return send(argc - 2, argv + 2);
    if (command == "settitle")
        return set_title(argc - 2, argv + 2);
    if (command == "preview")
        return preview(argc - 2, argv + 2);
    if (command == "preview-end")
        return preview_end(argc - 2, argv + 2);
    if (command == "end")
        return end();
    if (command == "running")
        return saver_running_state();
    if (command == "cursor")
        return cursor();
    if (command == "dpi")
        return dpi(argc - 2, argv + 2);
    if (command == "reg")
        return registry(argc - 2, argv + 2);
    fail("unknown command");
}
