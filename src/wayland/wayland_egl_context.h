// OpenGL on Wayland surfaces through EGL with Mesa's OpenGL (the
// compatibility profile, as the headless renderer's context has): one EGL
// display for the connection, a context and a window surface for each
// wl_surface, since each surface draws a scene of its own.
#pragma once

#include <string>

#include <EGL/egl.h>
#include <wayland-client.h>
#include <wayland-egl.h>

#include "scene/frame.h"

class wayland_egl {
public:
    wayland_egl() = default;
    ~wayland_egl();
    wayland_egl(const wayland_egl&) = delete;
    wayland_egl& operator=(const wayland_egl&) = delete;

    // The EGL display of the connection and a window configuration of 8
    // bits a channel, as the saver's windows have.
    bool open(wl_display* connection, std::string& error);

    EGLDisplay display = EGL_NO_DISPLAY;
    EGLConfig config = nullptr;
    // EGL_EXT_buffer_age: a surface tells what its back buffer holds.
    bool buffer_age = false;
};

class wayland_egl_context {
public:
    wayland_egl_context() = default;
    ~wayland_egl_context() { release(); }
    wayland_egl_context(const wayland_egl_context&) = delete;
    wayland_egl_context& operator=(const wayland_egl_context&) = delete;

    // A context drawing into the surface's buffers of this size, made
    // current. Swaps do not wait for the compositor: frames are paced by
    // the surface's frame callbacks.
    bool create(const wayland_egl& egl, wl_surface* surface, int width, int height, std::string& error);
    void make_current() const;
    // The buffers' size in pixels, for the next frame.
    void resize(int width, int height);
    // The frame presented last when the buffer's age is 1, else anything.
    buffer_holds back_buffer_holds() const;
    // Attaches the frame to the surface and commits it.
    void present();
    // Releases and destroys the context, the EGL surface and the window,
    // before the wl_surface goes.
    void release();

private:
    const wayland_egl* egl = nullptr;
    wl_egl_window* window = nullptr;
    EGLSurface surface = EGL_NO_SURFACE;
    EGLContext context = EGL_NO_CONTEXT;
};
