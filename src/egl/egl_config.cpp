#include "egl/egl_config.h"

bool choose_egl_config(EGLDisplay display, EGLint surface_type, EGLint alpha_bits, EGLConfig& chosen)
{
    const EGLint attributes[] = {EGL_SURFACE_TYPE,
                                 surface_type,
                                 EGL_RENDERABLE_TYPE,
                                 EGL_OPENGL_BIT,
                                 EGL_RED_SIZE,
                                 8,
                                 EGL_GREEN_SIZE,
                                 8,
                                 EGL_BLUE_SIZE,
                                 8,
                                 EGL_NONE};
    EGLConfig configs[64];
    EGLint count = 0;
    if (!eglChooseConfig(display, attributes, configs, 64, &count) || count == 0)
        return false;
    chosen = configs[0];
    for (EGLint i = 0; i < count; ++i) {
        EGLint red = 0;
        EGLint green = 0;
        EGLint blue = 0;
        EGLint alpha = 0;
        eglGetConfigAttrib(display, configs[i], EGL_RED_SIZE, &red);
        eglGetConfigAttrib(display, configs[i], EGL_GREEN_SIZE, &green);
        eglGetConfigAttrib(display, configs[i], EGL_BLUE_SIZE, &blue);
        eglGetConfigAttrib(display, configs[i], EGL_ALPHA_SIZE, &alpha);
        if (red == 8 && green == 8 && blue == 8 && (alpha_bits < 0 || alpha == alpha_bits)) {
            chosen = configs[i];
            break;
        }
    }
    return true;
}
