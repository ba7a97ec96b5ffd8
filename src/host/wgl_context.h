// An OpenGL rendering context on a window through WGL.
#pragma once

#include <windows.h>

struct wgl_context {
    HDC device;
    HGLRC rendering;
    bool current;  // the context is current on the calling thread
};

// Gets the window's device context, gives it an RGBA, double-buffered pixel
// format that draws to a window, and makes a new rendering context current.
wgl_context create_gl_context(HWND window);

// Makes no context current, deletes the rendering context and releases the
// device context.
void release_gl_context(HWND window, const wgl_context& context);
