// The X window Velmora draws in: a top-level window of its own, or a window
// that someone else owns (the root window, XScreenSaver's window, a preview).
#pragma once

#include <string>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

// X errors are recorded instead of ending the process inside Xlib, so that a
// bad window ID or a window that vanishes ends the run with one line of ours.
void install_x11_error_handler();
// The first X error since the last call, as one line, or empty. With
// wait_for_server, first waits for the server to answer every request sent
// so far; without, it reports what reading events has brought in.
std::string take_x11_error(Display* display, bool wait_for_server = true);

class x11_window {
public:
    x11_window() = default;
    // Destroys the window if it is our own, or the child laid over it.
    ~x11_window();
    x11_window(const x11_window&) = delete;
    x11_window& operator=(const x11_window&) = delete;

    // A new top-level window titled "Velmora", mapped, closable by the window
    // manager, q or Escape.
    bool create(Display* display, const XVisualInfo& visual, int width, int height, std::string& error);
    // Draws into an existing window: follows its size, never reacts to input.
    bool adopt(Display* display, Window window, std::string& error);
    // Draws, in an adopted window, into a child window of this visual laid
    // over it, of its own colormap, following its size and taking no input.
    bool cover_with_child(const XVisualInfo& visual, std::string& error);

    // Handles one event. True when the run should end: our window was closed
    // by the user, or the window we were given was destroyed.
    bool handle(const XEvent& event);

    Display* display = nullptr;
    Window id = 0;
    // What the context draws on: the window, or the child laid over it.
    Window drawable = 0;
    bool owned = false;
    int width = 0;
    int height = 0;
    // Moved, resized or exposed since the last frame: what the window shows
    // may no longer be the frame presented last.
    bool spoiled = true;

private:
    Window child = 0;
    Colormap colormap = 0;
    Atom delete_window = None;
};
