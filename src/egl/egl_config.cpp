#include "egl/egl_config.h"

bool choose_egl_config(EGLDisplay display, const EGLint* attributes, EGLint alpha_bits, EGLConfig& chosen)
{
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
