#include "x11/glx_context.h"

#include <cstdio>

namespace {

bool glx_attribute(Display* display, XVisualInfo& visual, int attribute)
{
    int value = 0;
    return glXGetConfig(display, &visual, attribute, &value) == 0 && value != 0;
}

bool has_glx_extension(Display* display, int screen, const char* name)
{
    return extension_listed(glXQueryExtensionsString(display, screen), name);
}

// The swap method of the frame buffer configuration behind a visual, or 0.
int visual_swap_method(Display* display, const XVisualInfo& visual)
{
    int count = 0;
    GLXFBConfig* configs = glXGetFBConfigs(display, visual.screen, &count);
    int method = 0;
    for (int i = 0; i < count; ++i) {
        int id = 0;
        if (glXGetFBConfigAttrib(display, configs[i], GLX_VISUAL_ID, &id) == Success &&
            static_cast<VisualID>(id) == visual.visualid) {
            glXGetFBConfigAttrib(display, configs[i], GLX_SWAP_METHOD_OML, &method);
            break;
        }
    }
    if (configs)
        XFree(configs);
    return method;
}

// Double buffered, with a swap that copies the back buffer.
bool visual_swap_copies(Display* display, const XVisualInfo& visual)
{
    XVisualInfo info = visual;
    return glx_attribute(display, info, GLX_DOUBLEBUFFER) &&
           has_glx_extension(display, visual.screen, "GLX_OML_swap_method") &&
           visual_swap_method(display, visual) == GLX_SWAP_COPY_OML;
}

// A double-buffered RGB visual of the screen's depth, without multisampling,
// whose buffer swap copies the back buffer and leaves it as it was.
bool choose_copying_visual(Display* display, int screen, XVisualInfo& chosen)
{
    if (!has_glx_extension(display, screen, "GLX_OML_swap_method"))
        return false;
    const int attributes[] = {GLX_X_RENDERABLE,
                              True,
                              GLX_DRAWABLE_TYPE,
                              GLX_WINDOW_BIT,
                              GLX_RENDER_TYPE,
                              GLX_RGBA_BIT,
                              GLX_RED_SIZE,
                              8,
                              GLX_GREEN_SIZE,
                              8,
                              GLX_BLUE_SIZE,
                              8,
                              GLX_DOUBLEBUFFER,
                              True,
                              GLX_SWAP_METHOD_OML,
                              GLX_SWAP_COPY_OML,
                              None};
    int count = 0;
    GLXFBConfig* configs = glXChooseFBConfig(display, screen, attributes, &count);
    bool found = false;
    for (int i = 0; i < count && !found; ++i) {
        int samples = 0;
        glXGetFBConfigAttrib(display, configs[i], GLX_SAMPLES, &samples);
        XVisualInfo* visual = glXGetVisualFromFBConfig(display, configs[i]);
        // A deeper visual has an alpha channel that a compositor would show
        // the desktop through.
        if (visual && samples == 0 && visual->depth == DefaultDepth(display, screen)) {
            chosen = *visual;
            found = true;
        }
        if (visual)
            XFree(visual);
    }
    if (configs)
        XFree(configs);
    return found;
}

}  // namespace

bool choose_glx_visual(Display* display, int screen, XVisualInfo& chosen, std::string& error)
{
    if (choose_copying_visual(display, screen, chosen))
        return true;
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

bool adopted_window_visual(Display* display, x11_window& window, XVisualInfo& visual, std::string& error)
{
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window.id, &attributes)) {
        error = "cannot read the window's attributes";
        return false;
    }
    XVisualInfo own{};
    const bool own_usable = window_glx_visual(display, window.id, own, error);
    XVisualInfo copying{};
    if (attributes.root != window.id && !(own_usable && visual_swap_copies(display, own)) &&
        choose_copying_visual(display, XScreenNumberOfScreen(attributes.screen), copying)) {
        visual = copying;
        error.clear();
        return window.cover_with_child(copying, error);
    }
    visual = own;
    return own_usable;
}

buffer_holds back_buffer_after_swap(bool ages_known, unsigned int age, bool swap_copies)
{
    if (ages_known)
        return age == 1 ? buffer_holds::last_frame : buffer_holds::anything;
    return swap_copies ? buffer_holds::last_frame : buffer_holds::anything;
}

bool glx_context::create(Display* new_display, const XVisualInfo& visual, Window new_window, std::string& error)
{
    display = new_display;
    window = new_window;
    XVisualInfo info = visual;
    double_buffered = glx_attribute(display, info, GLX_DOUBLEBUFFER);
    swap_copies = visual_swap_copies(display, info);
    // Direct where the driver can; indirect contexts still draw OpenGL 1.1.
    context = glXCreateContext(display, &info, nullptr, True);
    if (!context) {
        error = "cannot create an OpenGL context";
        return false;
    }
    buffer_age = double_buffered && glXIsDirect(display, context) &&
                 has_glx_extension(display, info.screen, "GLX_EXT_buffer_age");
    if (!glXMakeCurrent(display, window, context)) {
        error = "cannot make the OpenGL context current on the window";
        return false;
    }
    return true;
}

buffer_holds glx_context::back_buffer_holds() const
{
    unsigned int age = 0;
    if (buffer_age)
        glXQueryDrawable(display, window, GLX_BACK_BUFFER_AGE_EXT, &age);
    return back_buffer_after_swap(buffer_age, age, swap_copies);
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
