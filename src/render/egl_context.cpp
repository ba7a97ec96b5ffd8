#include "render/egl_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstring>

#include "egl/egl_config.h"
#include "gl.h"

namespace {

EGLDisplay open_display()
{
    // Mesa's surfaceless platform needs neither a display server nor a
    // render node; the default display is the fallback for other EGLs.
    const auto get_platform_display =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (get_platform_display) {
        EGLDisplay display = get_platform_display(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (display != EGL_NO_DISPLAY && eglInitialize(display, nullptr, nullptr))
            return display;
    }
    EGLDisplay display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    if (display != EGL_NO_DISPLAY && eglInitialize(display, nullptr, nullptr))
        return display;
    return EGL_NO_DISPLAY;
}

}  // namespace

egl_context::~egl_context()
{
    if (display_ == nullptr)
        return;
    EGLDisplay display = static_cast<EGLDisplay>(display_);
    eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (context_)
        eglDestroyContext(display, static_cast<EGLContext>(context_));
    if (surface_)
        eglDestroySurface(display, static_cast<EGLSurface>(surface_));
    eglTerminate(display);
}

bool egl_context::create(int width, int height, std::string& error)
{
    EGLDisplay display = open_display();
    if (display == EGL_NO_DISPLAY) {
        error = "cannot open an EGL display";
        return false;
    }
    display_ = display;

    EGLConfig config = nullptr;
    if (!choose_egl_config(display, EGL_PBUFFER_BIT, -1, config)) {
        error = "no EGL configuration with OpenGL and pbuffers";
        return false;
    }
    const EGLint surface_attributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    EGLSurface surface = eglCreatePbufferSurface(display, config, surface_attributes);
    if (surface == EGL_NO_SURFACE) {
        error = "cannot create a " + std::to_string(width) + "x" + std::to_string(height) + " off-screen surface";
        return false;
    }
    surface_ = surface;
    if (!eglBindAPI(EGL_OPENGL_API)) {
        error = "EGL has no desktop OpenGL";
        return false;
    }
    EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
    if (context == EGL_NO_CONTEXT) {
        error = "cannot create an OpenGL context";
        return false;
    }
    context_ = context;
    if (!eglMakeCurrent(display, surface, surface, context)) {
        error = "cannot make the OpenGL context current";
        return false;
    }
    width_ = width;
    height_ = height;
    return true;
}

void egl_context::make_current() const
{
    eglMakeCurrent(static_cast<EGLDisplay>(display_), static_cast<EGLSurface>(surface_),
                   static_cast<EGLSurface>(surface_), static_cast<EGLContext>(context_));
}

std::vector<std::uint8_t> egl_context::read_rows(bool alpha) const
{
    const std::size_t row = static_cast<std::size_t>(width_) * (alpha ? 4u : 3u);
    std::vector<std::uint8_t> bottom_up(row * static_cast<std::size_t>(height_));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width_, height_, alpha ? GL_RGBA : GL_RGB, GL_UNSIGNED_BYTE, bottom_up.data());
    // OpenGL's rows run from the bottom of the window up.
    std::vector<std::uint8_t> top_down(bottom_up.size());
    for (int y = 0; y < height_; ++y)
        std::memcpy(&top_down[static_cast<std::size_t>(y) * row],
                    &bottom_up[static_cast<std::size_t>(height_ - 1 - y) * row], row);
    return top_down;
}
