#include "x11/glx_context.h"

#include <cstdio>

namespace {

bool glx_attribute(Display* display, XVisualInfo& visual, int attribute)
{
    int value = 0;
    return glXGetConfig(display, &visual, attribute, &value) == 0 && value != 0;
}

}  // namespace

bool choose_glx_visual(Display* display, int screen, XVisualInfo& chosen, std::string& error)
{
    int double_buffered[] = {GLX_RGBA, GLX_RED_SIZE, 8, GLX_GREEN_SIZE, 8, GLX_BLUE_SIZE, 8, GLX_DOUBLEBUFFER, None};
    int single_buffered[] = {GLX_RGBA, GLX_RED_SIZE, 8, GLX_GREEN_SIZE, 8, GLX_BLUE_SIZE, 8, None};
    for (int* attributes : {double_buffered, single_buffered}) {
        if (XVisualInfo* found = glXChooseVisual(display, screen, attributes)) {
            chosen = *found;
            XFree(found);
            return true;
        }
    }
    error = "the X display offers no OpenGL RGB visual (is GLX available?)";
    return false;
}

bool window_glx_visual(Display* display, Window window, XVisualInfo& visual, std::string& error)
{
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes)) {
        error = "cannot read the window's attributes";
        return false;
    }
    XVisualInfo wanted{};
    wanted.visualid = XVisualIDFromVisual(attributes.visual);
    int count = 0;
    XVisualInfo* found = XGetVisualInfo(display, VisualIDMask, &wanted, &count);
    if (!found || count < 1) {
        if (found)
            XFree(found);
        error = "cannot find the window's visual";
        return false;
    }
    visual = found[0];
    XFree(found);
    if (!glx_attribute(display, visual, GLX_USE_GL) || !glx_attribute(display, visual, GLX_RGBA)) {
        char id[32];
        std::snprintf(id, sizeof id, "0x%lx", static_cast<unsigned long>(visual.visualid));
        error = std::string("the window's visual ") + id + " does not support OpenGL RGB drawing";
        return false;
    }
    return true;
}

bool glx_context::create(Display* new_display, const XVisualInfo& visual, Window new_window, std::string& error)
{
    display = new_display;
    window = new_window;
    XVisualInfo info = visual;
    double_buffered = glx_attribute(display, info, GLX_DOUBLEBUFFER);
    // Direct where the driver can; indirect contexts still draw OpenGL 1.1.
    context = glXCreateContext(display, &info, nullptr, True);
    if (!context) {
        error = "cannot create an OpenGL context";
        return false;
    }
    if (!glXMakeCurrent(display, window, context)) {
        error = "cannot make the OpenGL context current on the window";
        return false;
    }
    return true;
}

void glx_context::present()
{
    if (double_buffered)
        glXSwapBuffers(display, window);
}

glx_context::~glx_context()
{
    if (!context)
        return;
    glXMakeCurrent(display, None, nullptr);
    glXDestroyContext(display, context);
}
