#include "x11/x11_window.h"

#include <cstdio>

#include <X11/keysym.h>

namespace {

// Xlib calls the handler with no user data, so the first error waits here
// until the main loop takes it. Only the main thread talks to the server.
std::string first_x11_error;

int record_x11_error(Display* display, XErrorEvent* event)
{
    if (first_x11_error.empty()) {
        char description[256] = "";
        XGetErrorText(display, event->error_code, description, sizeof description);
        char line[400];
        std::snprintf(line, sizeof line, "X error: %s (request %d, resource 0x%lx)", description, event->request_code,
                      event->resourceid);
        first_x11_error = line;
    }
    return 0;
}

}  // namespace

void install_x11_error_handler()
{
    XSetErrorHandler(record_x11_error);
}

std::string take_x11_error(Display* display, bool wait_for_server)
{
    if (wait_for_server)
        XSync(display, False);
    std::string error;
    error.swap(first_x11_error);
    return error;
}

bool x11_window::create(Display* new_display, const XVisualInfo& visual, int new_width, int new_height,
                        std::string& error)
{
    display = new_display;
    const Window root = RootWindow(display, visual.screen);
    colormap = XCreateColormap(display, root, visual.visual, AllocNone);
    XSetWindowAttributes attributes{};
    attributes.colormap = colormap;
    attributes.background_pixel = BlackPixel(display, visual.screen);
    attributes.border_pixel = 0;
    attributes.event_mask = KeyPressMask | StructureNotifyMask | ExposureMask;
    id = XCreateWindow(display, root, 0, 0, static_cast<unsigned>(new_width), static_cast<unsigned>(new_height), 0,
                       visual.depth, InputOutput, visual.visual, CWColormap | CWBackPixel | CWBorderPixel | CWEventMask,
                       &attributes);
    owned = true;
    drawable = id;
    width = new_width;
    height = new_height;

    XStoreName(display, id, "Velmora");
    XClassHint class_hint{};
    char res_name[] = "velmora";
    char res_class[] = "Velmora";
    class_hint.res_name = res_name;
    class_hint.res_class = res_class;
    XSetClassHint(display, id, &class_hint);
    delete_window = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, id, &delete_window, 1);
    XMapWindow(display, id);

    error = take_x11_error(display);
    return error.empty();
}

bool x11_window::adopt(Display* new_display, Window window, std::string& error)
{
    display = new_display;
    id = window;
    drawable = window;
    owned = false;
    XWindowAttributes attributes;
    const Status found = XGetWindowAttributes(display, window, &attributes);
    const std::string x_error = take_x11_error(display);
    if (!found || !x_error.empty()) {
        char line[64];
        std::snprintf(line, sizeof line, "no window with ID 0x%lx", window);
        error = line;
        return false;
    }
    width = attributes.width;
    height = attributes.height;
    // Size changes, exposures and destruction only: input belongs to whoever
    // owns it.
    XSelectInput(display, window, attributes.your_event_mask | StructureNotifyMask | ExposureMask);
    error = take_x11_error(display);
    return error.empty();
}

bool x11_window::cover_with_child(const XVisualInfo& visual, std::string& error)
{
    colormap = XCreateColormap(display, id, visual.visual, AllocNone);
    XSetWindowAttributes attributes{};
    attributes.colormap = colormap;
    // No background: the server paints nothing under the frames.
    attributes.background_pixmap = None;
    attributes.border_pixel = 0;
    // Exposures only: input goes on to the window below, as it went before.
    attributes.event_mask = ExposureMask;
    child =
        XCreateWindow(display, id, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height), 0, visual.depth,
                      InputOutput, visual.visual, CWColormap | CWBackPixmap | CWBorderPixel | CWEventMask, &attributes);
    XMapWindow(display, child);
    drawable = child;
    error = take_x11_error(display);
    return error.empty();
}

bool x11_window::handle(const XEvent& event)
{
    switch (event.type) {
    case ConfigureNotify:
        if (event.xconfigure.window == id) {
            width = event.xconfigure.width;
            height = event.xconfigure.height;
            spoiled = true;
            if (child != 0)
                XResizeWindow(display, child, static_cast<unsigned>(width), static_cast<unsigned>(height));
        }
        return false;
    case Expose:
        spoiled = spoiled || event.xexpose.window == drawable;
        return false;
    case DestroyNotify:
        return event.xdestroywindow.window == id;
    case KeyPress: {
        if (!owned)
            return false;
        XKeyEvent key = event.xkey;
        const KeySym symbol = XLookupKeysym(&key, 0);
        return symbol == XK_q || symbol == XK_Escape;
    }
    case ClientMessage:
        return owned && event.xclient.format == 32 && static_cast<Atom>(event.xclient.data.l[0]) == delete_window;
    default:
        return false;
    }
}

x11_window::~x11_window()
{
    if (!display)
        return;
    if (owned || child != 0)
        XDestroyWindow(display, owned ? id : child);
    if (colormap != 0)
        XFreeColormap(display, colormap);
}
