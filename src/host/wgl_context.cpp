#include "host/wgl_context.h"

wgl_context create_gl_context(HWND window)
{
    PIXELFORMATDESCRIPTOR request = {};
    request.nSize = sizeof request;
    request.nVersion = 1;
    // Drawing to a window is asked for explicitly: without it a driver may
    // choose a format that only draws to bitmaps, and nothing would show.
    request.dwFlags = PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER | PFD_DRAW_TO_WINDOW;
    request.iPixelType = PFD_TYPE_RGBA;
    request.cColorBits = 24;
    request.iLayerType = PFD_MAIN_PLANE;

    wgl_context context = {GetDC(window), nullptr, false};
    const int format = ChoosePixelFormat(context.device, &request);
    SetPixelFormat(context.device, format, &request);
    context.rendering = wglCreateContext(context.device);
    context.current = context.rendering != nullptr && wglMakeCurrent(context.device, context.rendering);
    return context;
}

void release_gl_context(HWND window, const wgl_context& context)
{
    wglMakeCurrent(nullptr, nullptr);
    if (context.rendering != nullptr)
        wglDeleteContext(context.rendering);
    ReleaseDC(window, context.device);
}
