// A pointer device for a headless compositor that has none: while this
// program runs, the seat has a pointer, which the compositor's own cursor
// commands (swaymsg seat - cursor move / press) then drive. It prints
// "ready" once the compositor has the device, and ends on SIGTERM.
#include <signal.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include <wayland-client.h>

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

namespace {

struct globals {
    wl_seat* seat = nullptr;
    zwlr_virtual_pointer_manager_v1* manager = nullptr;
};

void on_global(void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t)
{
    auto& found = *static_cast<globals*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !found.seat)
        found.seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        found.manager = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
}

const wl_registry_listener registry_listener = {on_global, [](void*, wl_registry*, std::uint32_t) {}};

}  // namespace

int main()
{
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        std::fputs("virtual_pointer: no Wayland compositor\n", stderr);
        return 1;
    }
    globals found;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registry_listener, &found);
    wl_display_roundtrip(display);
    if (!found.manager) {
        std::fputs("virtual_pointer: the compositor makes no virtual pointers\n", stderr);
        return 1;
    }
    zwlr_virtual_pointer_manager_v1_create_virtual_pointer(found.manager, found.seat);
    wl_display_roundtrip(display);
    std::puts("ready");
    std::fflush(stdout);
    // Until the test ends it: the device lives as long as the connection.
    while (wl_display_dispatch(display) >= 0) {
    }
    return 0;
}
