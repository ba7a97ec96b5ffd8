#include "wayland/wayland_egl_context.h"

#include <EGL/eglext.h>

#include "egl/egl_config.h"
#include "scene/frame.h"

wayland_egl::~wayland_egl()
{
    if (display != EGL_NO_DISPLAY)
        eglTerminate(display);
}

bool wayland_egl::open(wl_display* connection, std::string& error)
{
    const auto get_platform_display =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    display = get_platform_display ? get_platform_display(EGL_PLATFORM_WAYLAND_KHR, connection, nullptr)
                                   : eglGetDisplay(reinterpret_cast<EGLNativeDisplayType>(connection));
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) {
        display = EGL_NO_DISPLAY;
        error = "EGL cannot draw on this Wayland connection";
        return false;
    }
    if (!eglBindAPI(EGL_OPENGL_API)) {
        error = "EGL has no desktop OpenGL";
        return false;
    }
    // No alpha: compositors take a buffer's alpha as the surface's
    // transparency, and the frames' blending leaves it below one.
    if (!choose_egl_config(display, EGL_WINDOW_BIT, 0, config)) {
        error = "no EGL window configuration with OpenGL";
        return false;
    }
    buffer_age = extension_listed(eglQueryString(display, EGL_EXTENSIONS), "EGL_EXT_buffer_age");
    return true;
}

void wayland_egl_context::release()
{
    if (!egl)
        return;
    eglMakeCurrent(egl->display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (context != EGL_NO_CONTEXT)
        eglDestroyContext(egl->display, context);
    if (surface != EGL_NO_SURFACE)
        eglDestroySurface(egl->display, surface);
    if (window)
        wl_egl_window_destroy(window);
    egl = nullptr;
    context = EGL_NO_CONTEXT;
    surface = EGL_NO_SURFACE;
    window = nullptr;
}

bool wayland_egl_context::create(const wayland_egl& opened, wl_surface* target, int width, int height,
                                 std::string& error)
{
    egl = &opened;
    window = wl_egl_window_create(target, width, height);
    if (!window) {
        error = "cannot make an EGL window of " + std::to_string(width) + "x" + std::to_string(height);
        return false;
    }
    surface = eglCreateWindowSurface(egl->display, egl->config, reinterpret_cast<EGLNativeWindowType>(window), nullptr);
    context = eglCreateContext(egl->display, egl->config, EGL_NO_CONTEXT, nullptr);
    if (surface == EGL_NO_SURFACE || context == EGL_NO_CONTEXT ||
        !eglMakeCurrent(egl->display, surface, surface, context)) {
        error = "cannot make an OpenGL context on a Wayland surface";
        return false;
    }
    eglSwapInterval(egl->display, 0);
    return true;
}

void wayland_egl_context::make_current() const
{
    eglMakeCurrent(egl->display, surface, surface, context);
}

void wayland_egl_context::resize(int width, int height)
{
    wl_egl_window_resize(window, width, height, 0, 0);
}

buffer_holds wayland_egl_context::back_buffer_holds() const
{
    EGLint age = 0;
    if (egl->buffer_age && eglQuerySurface(egl->display, surface, EGL_BUFFER_AGE_EXT, &age) && age == 1)
        return buffer_holds::last_frame;
    return buffer_holds::anything;
}

void wayland_egl_context::present()
{
    eglSwapBuffers(egl->display, surface);
}
