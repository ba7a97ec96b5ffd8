// The OpenGL context on an X window, through GLX.
#pragma once

#include <string>

#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "scene/frame.h"
#include "x11/x11_window.h"

// The visual for a window of our own: RGB with 8 bits a channel, double
// buffered with a swap that keeps the back buffer where the server offers
// one (GLX_OML_swap_method's copy), else double buffered, else single
// buffered.
bool choose_glx_visual(Display* display, int screen, XVisualInfo& chosen, std::string& error);

// The visual of an existing window, if OpenGL can draw RGB pictures with it.
bool window_glx_visual(Display* display, Window window, XVisualInfo& visual, std::string& error);

// The visual to draw in an adopted window with: where the window's own does
// not keep the back buffer across a swap and the server has one that does
// (GLX_OML_swap_method's copy), that one, in a child window laid over it
// (not over a root window, where it would hide every other window); else
// the window's own, if OpenGL can draw RGB pictures with it.
bool adopted_window_visual(Display* display, x11_window& window, XVisualInfo& visual, std::string& error);

// What the back buffer holds after a swap: with buffer ages known, the frame
// presented when the age is 1 (0 says its contents are undefined); without,
// the frame presented when the configuration's swap copies.
buffer_holds back_buffer_after_swap(bool ages_known, unsigned int age, bool swap_copies);

class glx_context {
public:
    glx_context() = default;
    // Releases and destroys the context.
    ~glx_context();
    glx_context(const glx_context&) = delete;
    glx_context& operator=(const glx_context&) = delete;

    // Creates a context for the window's visual and makes it current on this
    // thread, where all of the program's drawing happens.
    bool create(Display* display, const XVisualInfo& visual, Window window, std::string& error);

    // Shows the finished frame: swaps the buffers, or nothing more for a
    // single-buffered visual, whose drawing is already on the window.
    void present();

    // What the back buffer holds after present(), by
    // back_buffer_after_swap. Buffer ages are asked only of a direct
    // context: an indirect one's query is an X error.
    buffer_holds back_buffer_holds() const;

    bool double_buffered = false;

private:
    Display* display = nullptr;
    Window window = 0;
    GLXContext context = nullptr;
    bool buffer_age = false;
    bool swap_copies = false;
};
