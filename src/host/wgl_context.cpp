#include "host/wgl_context.h"

#include "scene/frame.h"

namespace {

// WGL_ARB_pixel_format's names for the swap method.
constexpr int wgl_swap_method_arb = 0x2007;
constexpr int wgl_swap_copy_arb = 0x2029;
using attributes_function = BOOL(WINAPI*)(HDC, int, int, UINT, const int*, int*);
using extensions_function = const char*(WINAPI*)(HDC);

// A WGL or GL extension's entry point, or null. The cast goes through
// void (*)(), the one function type every other converts to and from.
template <typename Function>
Function wgl_function(const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(wglGetProcAddress(name)));
}

PIXELFORMATDESCRIPTOR describe(HDC device, int format)
{
    PIXELFORMATDESCRIPTOR pfd = {};
    if (DescribePixelFormat(device, format, sizeof pfd, &pfd) == 0)
        pfd.nSize = 0;
    return pfd;
}

// The same buffers, bits and flags, whatever the swap method.
bool same_kind(const PIXELFORMATDESCRIPTOR& a, const PIXELFORMATDESCRIPTOR& b)
{
    constexpr DWORD swap_flags = PFD_SWAP_COPY | PFD_SWAP_EXCHANGE;
    return a.nSize != 0 && b.nSize != 0 && (a.dwFlags & ~swap_flags) == (b.dwFlags & ~swap_flags) &&
           a.iPixelType == b.iPixelType && a.cColorBits == b.cColorBits && a.cRedBits == b.cRedBits &&
           a.cGreenBits == b.cGreenBits && a.cBlueBits == b.cBlueBits && a.cAlphaBits == b.cAlphaBits &&
           a.cAccumBits == b.cAccumBits && a.cDepthBits == b.cDepthBits && a.cStencilBits == b.cStencilBits &&
           a.cAuxBuffers == b.cAuxBuffers;
}

// WGL_ARB_pixel_format's swap method needs a current context, and a
// window's pixel format is set once: the question goes to a hidden window
// of its own. True for a format of the chosen kind whose swap copies.
bool arb_copying_format(HDC device, int chosen, int& copying)
{
    HWND probe =
        CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (probe == nullptr)
        return false;
    HDC probe_device = GetDC(probe);
    PIXELFORMATDESCRIPTOR pfd = describe(device, chosen);
    HGLRC probe_context = nullptr;
    if (SetPixelFormat(probe_device, chosen, &pfd))
        probe_context = wglCreateContext(probe_device);
    bool found = false;
    if (probe_context != nullptr && wglMakeCurrent(probe_device, probe_context)) {
        const auto extensions = wgl_function<extensions_function>("wglGetExtensionsStringARB");
        const auto attributes = wgl_function<attributes_function>("wglGetPixelFormatAttribivARB");
        if (extensions != nullptr && attributes != nullptr &&
            extension_listed(extensions(probe_device), "WGL_ARB_pixel_format")) {
            const int count = DescribePixelFormat(device, 1, sizeof pfd, nullptr);
            const PIXELFORMATDESCRIPTOR wanted = describe(device, chosen);
            for (int format = 1; format <= count && !found; ++format) {
                int method = 0;
                found = same_kind(describe(device, format), wanted) &&
                        attributes(device, format, 0, 1, &wgl_swap_method_arb, &method) && method == wgl_swap_copy_arb;
                if (found)
                    copying = format;
            }
        }
        wglMakeCurrent(nullptr, nullptr);
    }
    if (probe_context != nullptr)
        wglDeleteContext(probe_context);
    ReleaseDC(probe, probe_device);
    DestroyWindow(probe);
    return found;
}

// A format of the chosen one's kind whose swap copies: the chosen one
// itself, another the descriptors call so, or one WGL_ARB_pixel_format does.
bool copying_format(HDC device, int chosen, int& copying)
{
    const PIXELFORMATDESCRIPTOR wanted = describe(device, chosen);
    if (wanted.dwFlags & PFD_SWAP_COPY) {
        copying = chosen;
        return true;
    }
    const int count = DescribePixelFormat(device, 1, sizeof(PIXELFORMATDESCRIPTOR), nullptr);
    for (int format = 1; format <= count; ++format) {
        const PIXELFORMATDESCRIPTOR pfd = describe(device, format);
        if ((pfd.dwFlags & PFD_SWAP_COPY) && same_kind(pfd, wanted)) {
            copying = format;
            return true;
        }
    }
    return arb_copying_format(device, chosen, copying);
}

}  // namespace

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

    wgl_context context = {GetDC(window), nullptr, false, false, nullptr};
    int format = ChoosePixelFormat(context.device, &request);
    int copying = 0;
    if (format > 0 && copying_format(context.device, format, copying)) {
        format = copying;
        context.swap_copies = true;
    }
    SetPixelFormat(context.device, format, &request);
    context.rendering = wglCreateContext(context.device);
    context.current = context.rendering != nullptr && wglMakeCurrent(context.device, context.rendering);
    if (context.current &&
        extension_listed(reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS)), "GL_WIN_swap_hint"))
        context.add_swap_hint = wgl_function<swap_hint_function>("glAddSwapHintRectWIN");
    return context;
}

void release_gl_context(HWND window, const wgl_context& context)
{
    wglMakeCurrent(nullptr, nullptr);
    if (context.rendering != nullptr)
        wglDeleteContext(context.rendering);
    ReleaseDC(window, context.device);
}
