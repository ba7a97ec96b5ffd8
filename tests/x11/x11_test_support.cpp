#include "x11_test_support.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

#include <X11/Xatom.h>
#include <X11/Xutil.h>

namespace {

using steady = std::chrono::steady_clock;

int shift_of(unsigned long mask)
{
    int shift = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

}  // namespace

xvfb_server::xvfb_server(int width, int height)
{
    int ready[2];
    if (pipe(ready) != 0)
        return;
    pid = fork();
    if (pid == 0) {
        close(ready[0]);
        const int null = open("/dev/null", O_RDWR);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        std::vector<std::string> arguments = {
            "Xvfb",      "-displayfd", std::to_string(ready[1]),
            "-screen",   "0",          std::to_string(width) + "x" + std::to_string(height) + "x24",
            "-nolisten", "tcp",        "-noreset"};
        auto argv = c_strings(arguments);
        execvp("Xvfb", argv.data());
        _exit(127);
    }
    close(ready[1]);
    // Xvfb writes its display number once it accepts connections.
    std::string number;
    char c;
    while (read(ready[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(ready[0]);
    if (!number.empty())
        name = ":" + number;
}

xvfb_server::~xvfb_server()
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

x_client::x_client(const std::string& display_name)
{
    display = XOpenDisplay(display_name.c_str());
}

x_client::~x_client()
{
    if (display)
        XCloseDisplay(display);
}

Window x_client::create_window(int x, int y, int width, int height)
{
    const int screen = DefaultScreen(display);
    const Window window = XCreateSimpleWindow(display, RootWindow(display, screen), x, y, static_cast<unsigned>(width),
                                              static_cast<unsigned>(height), 0, 0, 0x808080);
    XMapWindow(display, window);
    XSync(display, False);
    return window;
}

std::optional<Window> x_client::find_window(const std::string& title, double seconds)
{
    const auto start = steady::now();
    do {
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
        std::optional<Window> found;
        for (unsigned i = 0; i < count && !found; ++i) {
            char* name = nullptr;
            if (XFetchName(display, children[i], &name) && name) {
                XWindowAttributes attributes;
                if (title == name && XGetWindowAttributes(display, children[i], &attributes) &&
                    attributes.map_state == IsViewable)
                    found = children[i];
                XFree(name);
            }
        }
        if (children)
            XFree(children);
        if (found)
            return found;
        sleep_seconds(0.05);
    } while (seconds_since(start) < seconds);
    return std::nullopt;
}

std::pair<int, int> x_client::window_size(Window window)
{
    XWindowAttributes attributes;
    XGetWindowAttributes(display, window, &attributes);
    return {attributes.width, attributes.height};
}

void x_client::resize(Window window, int width, int height)
{
    XResizeWindow(display, window, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XSync(display, False);
}

rgb_picture x_client::screenshot(Window window)
{
    const Window root = DefaultRootWindow(display);
    XWindowAttributes attributes;
    XGetWindowAttributes(display, window, &attributes);
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(display, window, root, 0, 0, &x, &y, &child);
    rgb_picture picture;
    XImage* image = XGetImage(display, root, x, y, static_cast<unsigned>(attributes.width),
                              static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (!image)
        return picture;
    picture.width = attributes.width;
    picture.height = attributes.height;
    picture.rgb.resize(static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height) * 3);
    const int red_shift = shift_of(image->red_mask);
    const int green_shift = shift_of(image->green_mask);
    const int blue_shift = shift_of(image->blue_mask);
    std::uint8_t* out = picture.rgb.data();
    for (int row = 0; row < picture.height; ++row)
        for (int column = 0; column < picture.width; ++column) {
            const unsigned long p = XGetPixel(image, column, row);
            *out++ = static_cast<std::uint8_t>((p & image->red_mask) >> red_shift);
            *out++ = static_cast<std::uint8_t>((p & image->green_mask) >> green_shift);
            *out++ = static_cast<std::uint8_t>((p & image->blue_mask) >> blue_shift);
        }
    XDestroyImage(image);
    return picture;
}

void x_client::request_close(Window window)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
}

bool wait_until_drawn(x_client& client, Window window, double seconds)
{
    const auto start = steady::now();
    do {
        if (shows_the_scene(client.screenshot(window)))
            return true;
        sleep_seconds(0.1);
    } while (seconds_since(start) < seconds);
    return false;
}
