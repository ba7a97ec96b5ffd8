// An OpenGL rendering context on a window through WGL.
#pragma once

#include <windows.h>

#include <GL/gl.h>

// glAddSwapHintRectWIN of GL_WIN_swap_hint: the next SwapBuffers need only
// copy the rectangles added (window pixels, from the bottom left).
using swap_hint_function = void(APIENTRY*)(GLint x, GLint y, GLsizei width, GLsizei height);

struct wgl_context {
    HDC device;
    HGLRC rendering;
    bool current;  // the context is current on the calling thread
    // The pixel format says its swap copies the back buffer and leaves it
    // as it was (PFD_SWAP_COPY, or WGL_SWAP_COPY_ARB).
    bool swap_copies;
    swap_hint_function add_swap_hint;  // null without GL_WIN_swap_hint
};

// Gets the window's device context, gives it an RGBA, double-buffered pixel
// format that draws to a window, one whose swap copies where the driver has
// such a format of the same kind, and makes a new rendering context current.
wgl_context create_gl_context(HWND window);

// Makes no context current, deletes the rendering context and releases the
// device context.
void release_gl_context(HWND window, const wgl_context& context);
