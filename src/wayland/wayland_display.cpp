#include "wayland/wayland_display.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "fractional-scale-v1-client-protocol.h"
#include "host/close_rules.h"
#include "viewporter-client-protocol.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace {

// The newest versions this client speaks; a compositor may offer older ones.
constexpr std::uint32_t compositor_version = 4;
constexpr std::uint32_t output_version = 2;
constexpr std::uint32_t seat_version = 5;

wayland_display& owner(void* data)
{
    return *static_cast<wayland_display*>(data);
}

void on_global(void* data, wl_registry*, std::uint32_t name, const char* interface, std::uint32_t version)
{
    owner(data).global_added(name, interface, version);
}

void on_global_remove(void* data, wl_registry*, std::uint32_t name)
{
    owner(data).global_removed(name);
}

const wl_registry_listener registry_listener = {on_global, on_global_remove};

void on_wm_base_ping(void*, xdg_wm_base* wm_base, std::uint32_t serial)
{
    xdg_wm_base_pong(wm_base, serial);
}

const xdg_wm_base_listener wm_base_listener = {on_wm_base_ping};

wayland_output& output_of(void* data)
{
    return *static_cast<wayland_output*>(data);
}

const wl_output_listener output_listener = {
    [](void*, wl_output*, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t, const char*,
       const char*, std::int32_t) {},
    [](void* data, wl_output*, std::uint32_t flags, std::int32_t width, std::int32_t height, std::int32_t) {
        if (flags & WL_OUTPUT_MODE_CURRENT) {
            output_of(data).mode_width = width;
            output_of(data).mode_height = height;
        }
    },
    [](void* data, wl_output*) { output_of(data).described = true; },
    [](void* data, wl_output*, std::int32_t factor) { output_of(data).scale = std::max(factor, 1); },
    [](void*, wl_output*, const char*) {},
    [](void*, wl_output*, const char*) {},
};

const wl_seat_listener seat_listener = {
    [](void* data, wl_seat*, std::uint32_t capabilities) { owner(data).seat_capabilities(capabilities); },
    [](void*, wl_seat*, const char*) {},
};

const wl_keyboard_listener keyboard_listener = {
    [](void* data, wl_keyboard*, std::uint32_t format, int fd, std::uint32_t size) {
        owner(data).keymap_given(format, fd, size);
    },
    [](void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {},
    [](void*, wl_keyboard*, std::uint32_t, wl_surface*) {},
    [](void* data, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t key, std::uint32_t state) {
        owner(data).key_changed(key, state);
    },
    [](void* data, wl_keyboard*, std::uint32_t, std::uint32_t depressed, std::uint32_t latched, std::uint32_t locked,
       std::uint32_t group) { owner(data).modifiers_changed(depressed, latched, locked, group); },
    [](void*, wl_keyboard*, std::int32_t, std::int32_t) {},
};

const wl_pointer_listener pointer_listener = {
    [](void* data, wl_pointer* pointer, std::uint32_t serial, wl_surface* surface, wl_fixed_t x, wl_fixed_t y) {
        owner(data).pointer_entered(pointer, serial, surface, x, y);
    },
    [](void* data, wl_pointer*, std::uint32_t, wl_surface*) { owner(data).pointer_left(); },
    [](void* data, wl_pointer*, std::uint32_t, wl_fixed_t x, wl_fixed_t y) { owner(data).pointer_moved(x, y); },
    [](void* data, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t state) {
        if (state == WL_POINTER_BUTTON_STATE_PRESSED)
            owner(data).input.button_pressed = true;
    },
    [](void*, wl_pointer*, std::uint32_t, std::uint32_t, wl_fixed_t) {},
    [](void*, wl_pointer*) {},
    [](void*, wl_pointer*, std::uint32_t) {},
    [](void*, wl_pointer*, std::uint32_t, std::uint32_t) {},
    [](void*, wl_pointer*, std::uint32_t, std::int32_t) {},
    [](void*, wl_pointer*, std::uint32_t, std::int32_t) {},
};

template <typename Proxy>
Proxy* bind(wl_registry* registry, std::uint32_t name, const wl_interface* interface, std::uint32_t offered,
            std::uint32_t newest)
{
    return static_cast<Proxy*>(wl_registry_bind(registry, name, interface, std::min(offered, newest)));
}

}  // namespace

wayland_display::wayland_display(wl_display* opened) : connection(opened), keys(xkb_context_new(XKB_CONTEXT_NO_FLAGS))
{}

wayland_display::~wayland_display()
{
    if (key_state)
        xkb_state_unref(key_state);
    if (keymap)
        xkb_keymap_unref(keymap);
    if (keys)
        xkb_context_unref(keys);
    if (keyboard)
        wl_keyboard_release(keyboard);
    if (pointer)
        wl_pointer_release(pointer);
    if (seat)
        wl_seat_release(seat);
    for (const auto& output : outputs)
        wl_output_destroy(output->output);
    if (fractional_scale)
        wp_fractional_scale_manager_v1_destroy(fractional_scale);
    if (viewporter)
        wp_viewporter_destroy(viewporter);
    if (layer_shell)
        zwlr_layer_shell_v1_destroy(layer_shell);
    if (wm_base)
        xdg_wm_base_destroy(wm_base);
    if (compositor)
        wl_compositor_destroy(compositor);
    if (registry)
        wl_registry_destroy(registry);
    wl_display_disconnect(connection);
}

bool wayland_display::bind_globals(std::string& error)
{
    registry = wl_display_get_registry(connection);
    wl_registry_add_listener(registry, &registry_listener, this);
    // The globals, then the outputs' and the seat's first events.
    if (wl_display_roundtrip(connection) < 0 || wl_display_roundtrip(connection) < 0) {
        error = "the Wayland compositor closed the connection";
        return false;
    }
    if (!compositor || !wm_base) {
        error = "the Wayland compositor offers no wl_compositor or xdg_wm_base";
        return false;
    }
    return true;
}

void wayland_display::global_added(std::uint32_t name, const char* interface, std::uint32_t version)
{
    const std::string kind = interface;
    if (kind == wl_compositor_interface.name) {
        compositor = bind<wl_compositor>(registry, name, &wl_compositor_interface, version, compositor_version);
    } else if (kind == xdg_wm_base_interface.name) {
        wm_base = bind<xdg_wm_base>(registry, name, &xdg_wm_base_interface, version, 1);
        xdg_wm_base_add_listener(wm_base, &wm_base_listener, this);
    } else if (kind == zwlr_layer_shell_v1_interface.name) {
        layer_shell = bind<zwlr_layer_shell_v1>(registry, name, &zwlr_layer_shell_v1_interface, version, 4);
    } else if (kind == wp_viewporter_interface.name) {
        viewporter = bind<wp_viewporter>(registry, name, &wp_viewporter_interface, version, 1);
    } else if (kind == wp_fractional_scale_manager_v1_interface.name) {
        fractional_scale =
            bind<wp_fractional_scale_manager_v1>(registry, name, &wp_fractional_scale_manager_v1_interface, version, 1);
    } else if (kind == wl_seat_interface.name && !seat) {
        seat = bind<wl_seat>(registry, name, &wl_seat_interface, version, seat_version);
        wl_seat_add_listener(seat, &seat_listener, this);
    } else if (kind == wl_output_interface.name) {
        auto output = std::make_unique<wayland_output>();
        output->global_name = name;
        output->output = bind<wl_output>(registry, name, &wl_output_interface, version, output_version);
        wl_output_add_listener(output->output, &output_listener, output.get());
        outputs.push_back(std::move(output));
    }
}

void wayland_display::global_removed(std::uint32_t name)
{
    if (output_named(name))
        removed.push_back(name);
}

wayland_output* wayland_display::output_named(std::uint32_t global_name)
{
    for (const auto& output : outputs)
        if (output->global_name == global_name)
            return output.get();
    return nullptr;
}

void wayland_display::forget_removed_outputs()
{
    for (std::uint32_t name : removed) {
        const auto gone = std::find_if(outputs.begin(), outputs.end(),
                                       [name](const auto& output) { return output->global_name == name; });
        if (gone == outputs.end())
            continue;
        wl_output_destroy((*gone)->output);
        outputs.erase(gone);
    }
    removed.clear();
}

void wayland_display::seat_capabilities(std::uint32_t capabilities)
{
    const bool has_keyboard = capabilities & WL_SEAT_CAPABILITY_KEYBOARD;
    const bool has_pointer = capabilities & WL_SEAT_CAPABILITY_POINTER;
    if (has_keyboard && !keyboard) {
        keyboard = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(keyboard, &keyboard_listener, this);
    } else if (!has_keyboard && keyboard) {
        wl_keyboard_release(keyboard);
        keyboard = nullptr;
    }
    if (has_pointer && !pointer) {
        pointer = wl_seat_get_pointer(seat);
        wl_pointer_add_listener(pointer, &pointer_listener, this);
    } else if (!has_pointer && pointer) {
        wl_pointer_release(pointer);
        pointer = nullptr;
        pointer_surface = nullptr;
    }
}

void wayland_display::keymap_given(std::uint32_t format, int fd, std::uint32_t size)
{
    if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && keys) {
        // The compositor's keymap, mapped read-only as the protocol asks.
        void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (text != MAP_FAILED) {
            xkb_keymap* given = xkb_keymap_new_from_buffer(keys, static_cast<const char*>(text),
                                                           strnlen(static_cast<const char*>(text), size),
                                                           XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
            munmap(text, size);
            if (given) {
                if (key_state)
                    xkb_state_unref(key_state);
                if (keymap)
                    xkb_keymap_unref(keymap);
                keymap = given;
                key_state = xkb_state_new(keymap);
            }
        }
    }
    close(fd);
}

void wayland_display::key_changed(std::uint32_t key, std::uint32_t state)
{
    if (state != WL_KEYBOARD_KEY_STATE_PRESSED)
        return;
    input.key_pressed = true;
    // Evdev codes are 8 below XKB's.
    const xkb_keysym_t symbol = key_state ? xkb_state_key_get_one_sym(key_state, key + 8) : XKB_KEY_NoSymbol;
    if (symbol == XKB_KEY_q || symbol == XKB_KEY_Q || symbol == XKB_KEY_Escape)
        input.quit_key_pressed = true;
}

void wayland_display::modifiers_changed(std::uint32_t depressed, std::uint32_t latched, std::uint32_t locked,
                                        std::uint32_t group)
{
    if (key_state)
        xkb_state_update_mask(key_state, depressed, latched, locked, 0, 0, group);
}

void wayland_display::pointer_entered(wl_pointer* entered, std::uint32_t serial, wl_surface* surface, wl_fixed_t x,
                                      wl_fixed_t y)
{
    if (hide_pointer)
        wl_pointer_set_cursor(entered, serial, nullptr, 0, 0);
    // A surface already destroyed on our side arrives as null.
    if (!surface)
        return;
    pointer_surface = surface;
    if (!first_surface) {
        first_surface = surface;
        first_x = wl_fixed_to_int(x);
        first_y = wl_fixed_to_int(y);
    } else if (surface != first_surface) {
        input.moved_away = true;
    }
}

void wayland_display::pointer_left()
{
    pointer_surface = nullptr;
}

void wayland_display::pointer_moved(wl_fixed_t x, wl_fixed_t y)
{
    // Surface-local coordinates: the desktop's logical pixels.
    if (pointer_surface == first_surface &&
        moved_beyond_wake_distance(first_x, first_y, wl_fixed_to_int(x), wl_fixed_to_int(y)))
        input.moved_away = true;
}
