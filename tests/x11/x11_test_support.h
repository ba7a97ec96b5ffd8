// What the X11 front-end tests need beside the programs' shared support: a
// private Xvfb server, a client connection of the test's own, screenshots.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <X11/Xlib.h>

#include "program_support.h"

// An Xvfb server on a free display number, ended with the object.
class xvfb_server {
public:
    xvfb_server(int width, int height);
    ~xvfb_server();
    xvfb_server(const xvfb_server&) = delete;
    xvfb_server& operator=(const xvfb_server&) = delete;

    bool running() const { return pid > 0 && !name.empty(); }
    std::string name;  // ":N"

private:
    pid_t pid = -1;
};

// A client connection of the test's own.
class x_client {
public:
    explicit x_client(const std::string& display_name);
    ~x_client();
    x_client(const x_client&) = delete;
    x_client& operator=(const x_client&) = delete;

    // A mapped top-level window of the default visual, with a grey
    // background so that an undrawn window is told from a black picture.
    Window create_window(int x, int y, int width, int height);
    // The viewable top-level window with this title, waiting up to the time.
    std::optional<Window> find_window(const std::string& title, double seconds);
    std::pair<int, int> window_size(Window window);
    void resize(Window window, int width, int height);
    // What the display shows of the window, read from the root window.
    rgb_picture screenshot(Window window);
    // The window manager's close request (WM_DELETE_WINDOW).
    void request_close(Window window);

    Display* display = nullptr;
};

// Waits until the window shows a frame of the scene (shows_the_scene).
bool wait_until_drawn(x_client& client, Window window, double seconds);
