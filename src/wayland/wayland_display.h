// The connection to a Wayland compositor: its globals (the compositor, the
// shells, the seat, the outputs as they come and go) and what the seat's
// keyboard and pointer report.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

struct xdg_wm_base;
struct zwlr_layer_shell_v1;
struct wp_viewporter;
struct wp_fractional_scale_manager_v1;

// One output, from its global's announcement to its removal.
struct wayland_output {
    wl_output* output = nullptr;
    std::uint32_t global_name = 0;
    std::int32_t scale = 1;
    // Its current mode, in pixels.
    std::int32_t mode_width = 0;
    std::int32_t mode_height = 0;
    // Its first description is complete (wl_output.done): its scale is known.
    bool described = false;
};

// What the seat reported since the run last looked, for the close rules.
struct wayland_input {
    bool key_pressed = false;
    bool quit_key_pressed = false;  // q or Escape
    bool button_pressed = false;
    // The pointer moved more than the wake distance from where it first
    // entered one of our surfaces, or onto another of them.
    bool moved_away = false;
};

class wayland_display {
public:
    // Takes the connection; it is closed with the object.
    explicit wayland_display(wl_display* connection);
    ~wayland_display();
    wayland_display(const wayland_display&) = delete;
    wayland_display& operator=(const wayland_display&) = delete;

    // Binds the globals and waits for the outputs' descriptions. False, with
    // a message, when the compositor lacks what every run needs.
    bool bind_globals(std::string& error);

    // The output whose global this is, or none.
    wayland_output* output_named(std::uint32_t global_name);
    // The global names of outputs removed since they were last forgotten:
    // their surfaces go first, then forget_removed_outputs() releases them.
    const std::vector<std::uint32_t>& removed_outputs() const { return removed; }
    void forget_removed_outputs();

    wl_display* connection;
    wl_registry* registry = nullptr;
    wl_compositor* compositor = nullptr;
    xdg_wm_base* wm_base = nullptr;
    zwlr_layer_shell_v1* layer_shell = nullptr;
    wp_viewporter* viewporter = nullptr;
    wp_fractional_scale_manager_v1* fractional_scale = nullptr;
    std::vector<std::unique_ptr<wayland_output>> outputs;
    wayland_input input;

    // Listener targets: the registry, the seat and its devices.
    void global_added(std::uint32_t name, const char* interface, std::uint32_t version);
    void global_removed(std::uint32_t name);
    void seat_capabilities(std::uint32_t capabilities);
    void keymap_given(std::uint32_t format, int fd, std::uint32_t size);
    void key_changed(std::uint32_t key, std::uint32_t state);
    void modifiers_changed(std::uint32_t depressed, std::uint32_t latched, std::uint32_t locked, std::uint32_t group);
    void pointer_entered(wl_pointer* pointer, std::uint32_t serial, wl_surface* surface, wl_fixed_t x, wl_fixed_t y);
    void pointer_left();
    void pointer_moved(wl_fixed_t x, wl_fixed_t y);

    // Hide the pointer over our surfaces (a saver's, not a window's).
    bool hide_pointer = false;

private:
    wl_seat* seat = nullptr;
    wl_keyboard* keyboard = nullptr;
    wl_pointer* pointer = nullptr;
    std::vector<std::uint32_t> removed;
    xkb_context* keys = nullptr;
    xkb_keymap* keymap = nullptr;
    xkb_state* key_state = nullptr;
    wl_surface* pointer_surface = nullptr;
    wl_surface* first_surface = nullptr;
    std::int32_t first_x = 0;
    std::int32_t first_y = 0;
};
