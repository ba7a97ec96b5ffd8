#include "hack/hack_options.h"

#include <cstdio>

#include "options/command_words.h"

namespace {

// "-fps" and "--fps" both give "fps"; anything not starting with a dash, or
// a bare "-" or "--", gives an empty name.
std::string flag_name(const std::string& argument)
{
    std::size_t dashes = 0;
    while (dashes < argument.size() && dashes < 2 && argument[dashes] == '-')
        ++dashes;
    if (dashes == 0)
        return {};
    return argument.substr(dashes);
}

// The settings preview appends -window-id to the daemon's -root command, as
// for every stock hack: the named window wins.
hack_target chosen_target(bool root, bool by_id)
{
    if (by_id)
        return hack_target::window_id;
    if (root)
        return hack_target::root;
    return hack_target::new_window;
}

// Flags that cannot be given together: the one line that says so, or empty.
std::string contradiction(bool new_window, bool root, bool by_id, display_server server)
{
    // A new window of our own contradicts drawing on any existing one.
    if (new_window && (root || by_id))
        return std::string("-window draws in a new window; it cannot be given with ") +
               (by_id ? "-window-id" : "-root");
    if (by_id && server == display_server::wayland)
        return "-window-id names an X window; it cannot be given with -wayland";
    return {};
}

// -x11 or -wayland; false when the other one came before.
bool choose_server(hack_options& options, display_server server)
{
    if (options.server != display_server::automatic && options.server != server)
        return false;
    options.server = server;
    return true;
}

}  // namespace

std::optional<unsigned long> parse_window_id(const std::string& text)
{
    constexpr std::uint64_t max_id = 0xFFFFFFFFu;
    std::optional<std::uint64_t> value;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        value = read_whole_number(text.substr(2), 16, max_id);
    else
        value = read_whole_number(text, 10, max_id);
    if (!value || *value == 0)
        return std::nullopt;
    return static_cast<unsigned long>(*value);
}

parsed_hack_options parse_hack_options(const std::vector<std::string>& arguments)
{
    parsed_hack_options result;
    hack_options& options = result.options;
    bool root = false;
    bool new_window = false;
    bool by_id = false;

    auto fail = [&result](const std::string& message) {
        result.error = message;
        return result;
    };

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const std::string name = flag_name(argument);
        const bool has_value = i + 1 < arguments.size();

        if (name == "window") {
            new_window = true;
        } else if (name == "root") {
            root = true;
        } else if (name == "window-id") {
            if (!has_value)
                return fail("-window-id needs a window ID");
            const auto id = parse_window_id(arguments[++i]);
            if (!id)
                return fail("not a window ID: " + quoted(arguments[i]) + " (decimal or 0x hexadecimal)");
            if (by_id && options.window_id != *id)
                return fail("-window-id names two windows");
            by_id = true;
            options.window_id = *id;
        } else if (name == "x11" || name == "wayland") {
            if (!choose_server(options, name == "x11" ? display_server::x11 : display_server::wayland))
                return fail("-x11 and -wayland exclude each other");
        } else if (name == "fps") {
            options.show_fps = true;
        } else if (name == "seed") {
            if (!has_value)
                return fail("--seed needs a number");
            const auto seed = read_seed(arguments[++i]);
            if (!seed)
                return fail(seed_error(arguments[i]));
            options.seed = *seed;
        } else if (name == "help" || name == "h") {
            options.show_help = true;
        } else if (name == "version") {
            options.show_version = true;
        } else {
            return fail("unknown option " + quoted(argument) + " (try --help)");
        }
    }
    const std::string contradicted = contradiction(new_window, root, by_id, options.server);
    if (!contradicted.empty())
        return fail(contradicted);
    options.target = chosen_target(root, by_id);
    return result;
}

std::string hack_usage(const std::string& program)
{
    return "usage: " + program +
           " [-window | -root | -window-id ID] [-x11 | -wayland] [-fps] [--seed N]\n"
           "  -window         draw in a new window (the default)\n"
           "  -root           X11: draw on $XSCREENSAVER_WINDOW, else on the root window;\n"
           "                  Wayland: cover every output until a key, a click or a move\n"
           "  -window-id ID   draw into an existing X window (decimal or 0x hexadecimal);\n"
           "                  with -root too, as a settings preview runs it, ID wins\n"
           "  -x11, -wayland  use that display server; by default Wayland when\n"
           "                  $WAYLAND_DISPLAY names a reachable compositor and neither\n"
           "                  -window-id nor $XSCREENSAVER_WINDOW is given, else X11\n"
           "  -fps            show the frame rate and the simulation step time\n"
           "  --seed N        start the random engine from N instead of the time\n"
           "  --version       print the version and exit\n"
           "Every option may also be written with two dashes.\n";
}

server_choice choose_display_server(const hack_options& options, const std::string& wayland_display,
                                    const std::string& xscreensaver_window)
{
    switch (options.server) {
    case display_server::x11:
        return server_choice::x11;
    case display_server::wayland:
        return server_choice::wayland;
    case display_server::automatic:
        break;
    }
    if (options.target == hack_target::window_id || !xscreensaver_window.empty() || wayland_display.empty())
        return server_choice::x11;
    return server_choice::wayland_else_x11;
}

int report_error(const std::string& message)
{
    std::fprintf(stderr, "velmora: %s\n", message.c_str());
    return 1;
}
