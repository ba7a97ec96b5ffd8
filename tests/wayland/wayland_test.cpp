// The real velmora on real headless Wayland compositors: sway with two
// outputs of different sizes (one at scale 2) and a third made during the
// run, its input from wtype and sway's own cursor commands, swayidle, and
// weston, which has no layer shell. The compositors refuse root, so as root
// they and every client run as nobody, in a folder of that user's.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "program_support.h"

namespace {

namespace fs = std::filesystem;
using steady = std::chrono::steady_clock;

constexpr std::uint32_t nobody = 65534;
constexpr double steps_per_second = 20.0;
// As the X11 front-end's pictures: a step the same up to rounding.
constexpr double tolerated_mismatch = 0.005;
// weston's shots lose the faintest trail pixels (weston_shot): 0.2-0.65 %
// measured; a wrong step's orbits alone differ in about 6 %.
constexpr double tolerated_weston_mismatch = 0.02;
// Ceilings, not delays.
constexpr double start_up_limit = 30.0;
constexpr double prompt_end = 5.0;

enum class compositor { sway, weston };

// weston's screenshooter takes the buffer's unused fourth byte for alpha and
// divides the colours by it: laid over black, they are the output's again.
const std::string weston_shot = "cd \"$HOME\" && weston-screenshooter && convert wayland-screenshot-*.png "
                                "-background black -alpha remove shot.ppm && rm -f wayland-screenshot-*.png";

// As root, the session's user (nobody) owns the session's folder.
bool hand_over(const std::string& dir)
{
    if (geteuid() != 0)
        return true;
    bool all = chown(dir.c_str(), nobody, nobody) == 0;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        all = chown(entry.path().c_str(), nobody, nobody) == 0 && all;
    return all;
}

// A headless compositor in a folder of its own, and the programs run in it.
class compositor_session {
public:
    compositor_session(compositor which, const std::string& sway_outputs) : kind(which)
    {
        char pattern[] = "/tmp/velmora-wayland-XXXXXX";
        dir = mkdtemp(pattern);
        fs::create_directory(dir + "/run");
        chmod((dir + "/run").c_str(), 0700);
        velmora = dir + "/velmora";
        fs::copy_file(VELMORA_PROGRAM, velmora);
        std::ofstream(dir + "/config") << sway_outputs;
        if (!hand_over(dir))
            return;
        if (kind == compositor::sway)
            server = start("sway", {"-c", dir + "/config"},
                           {"WLR_BACKENDS=headless", "WLR_LIBINPUT_NO_DEVICES=1", "WLR_RENDERER=pixman",
                            "WLR_HEADLESS_OUTPUTS=2"});
        else
            server = start("weston", {"--backend=headless-backend.so", "--use-pixman", "--width=1024", "--height=768",
                                      "--socket=velmora-test", "--idle-time=0", "--debug"});
        const auto started = steady::now();
        while (socket.empty() && server->running() && seconds_since(started) < start_up_limit) {
            sleep_seconds(0.05);
            for (const auto& entry : fs::directory_iterator(dir + "/run")) {
                const std::string name = entry.path().filename();
                if (name.rfind("sway-ipc.", 0) == 0)
                    sway_socket = entry.path();
                else if (entry.is_socket() && (kind == compositor::weston || !sway_socket.empty()))
                    socket = name;
            }
        }
    }

    // What the compositor said, for a failure's message.
    std::string server_output() const { return server ? server->error_output() : ""; }

    ~compositor_session()
    {
        server.reset();
        fs::remove_all(dir);
    }

    // A program of the session, as its user, with its environment.
    std::unique_ptr<child_process> start(const std::string& program, const std::vector<std::string>& arguments,
                                         std::vector<std::string> environment = {})
    {
        // The compositor itself starts with neither socket named.
        environment.insert(environment.end(),
                           {"HOME=" + dir, "XDG_RUNTIME_DIR=" + dir + "/run", "DISPLAY", "XSCREENSAVER_WINDOW",
                            socket.empty() ? "WAYLAND_DISPLAY" : "WAYLAND_DISPLAY=" + socket,
                            sway_socket.empty() ? "SWAYSOCK" : "SWAYSOCK=" + sway_socket});
        std::vector<std::string> command = {program};
        command.insert(command.end(), arguments.begin(), arguments.end());
        if (geteuid() == 0)
            command.insert(command.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups"});
        const std::string runner = geteuid() == 0 ? "/usr/bin/setpriv" : "/usr/bin/env";
        return std::make_unique<child_process>(runner, command, environment);
    }

    // Runs a program of the session to its end: its exit status.
    int run(const std::string& program, const std::vector<std::string>& arguments)
    {
        auto process = start(program, arguments);
        const auto status = process->wait_for_exit(start_up_limit);
        return status.value_or(-1);
    }

    // What the output shows, at its own pixels.
    std::optional<rgb_picture> shot(const std::string& output)
    {
        const std::string file = dir + "/shot.ppm";
        fs::remove(file);
        if (kind == compositor::sway) {
            if (run("grim", {"-t", "ppm", "-o", output, file}) != 0)
                return std::nullopt;
        } else if (run("/bin/sh", {"-c", weston_shot}) != 0) {
            return std::nullopt;
        }
        return read_ppm(file);
    }

    // The output's shot once the scene has emerged there: its first whole
    // pass colours the plane (and covers the compositor's grey background).
    std::optional<rgb_picture> emerged_shot(const std::string& output)
    {
        const auto started = steady::now();
        do {
            auto picture = shot(output);
            if (picture && shows_the_scene(*picture) && lit_share(*picture) > 0.5)
                return picture;
            sleep_seconds(0.25);
        } while (seconds_since(started) < 120.0);
        return std::nullopt;
    }

    // Waits until the output shows a frame of the scene.
    bool drawn(const std::string& output)
    {
        const auto started = steady::now();
        do {
            const auto picture = shot(output);
            if (picture && shows_the_scene(*picture))
                return true;
            sleep_seconds(0.1);
        } while (seconds_since(started) < start_up_limit);
        return false;
    }

    const compositor kind;
    std::string dir;
    std::string velmora;
    std::string socket;
    std::string sway_socket;

private:
    std::unique_ptr<child_process> server;
};

void expect_the_renderers_frame(const rgb_picture& shot, std::uint32_t seed, steady::time_point started,
                                double tolerated = tolerated_mismatch)
{
    const auto max_steps = static_cast<std::int64_t>(std::ceil(seconds_since(started) * steps_per_second)) + 10;
    const step_match best = closest_step(shot, seed, 30, max_steps);
    EXPECT_LT(best.mismatch, tolerated) << shot.width << "x" << shot.height << ": closest renderer frame (step "
                                        << best.steps << ") differs in " << best.mismatch * 100 << "% of the pixels";
}

const std::string sway_outputs = "output HEADLESS-1 mode 1024x768 position 0 0\n"
                                 "output HEADLESS-2 mode 1200x900 position 1024 0 scale 2\n";

class wayland_sway : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        session = new compositor_session(compositor::sway, sway_outputs);
        // A pointer device for sway's cursor commands, for the whole suite.
        pointer = session->start(VIRTUAL_POINTER_PROGRAM, {}).release();
    }
    static void TearDownTestSuite()
    {
        delete pointer;
        delete session;
    }
    void SetUp() override
    {
        ASSERT_FALSE(session->socket.empty()) << "headless sway did not start: " << session->server_output();
    }

    std::unique_ptr<child_process> start_velmora(const std::vector<std::string>& arguments)
    {
        started = steady::now();
        return session->start(session->velmora, arguments);
    }
    void swaymsg(const std::vector<std::string>& command) { ASSERT_EQ(session->run("swaymsg", command), 0); }

    static compositor_session* session;
    static child_process* pointer;
    steady::time_point started;
};

compositor_session* wayland_sway::session = nullptr;
child_process* wayland_sway::pointer = nullptr;

TEST_F(wayland_sway, root_covers_every_output_at_its_own_pixels)
{
    auto velmora = start_velmora({"-root", "--seed", "11"});
    for (const std::string output : {"HEADLESS-1", "HEADLESS-2"}) {
        SCOPED_TRACE(output);
        const auto shot = session->emerged_shot(output);
        ASSERT_TRUE(shot) << velmora->error_output();
        // Scale 2: the output's own 1200 x 900 pixels, not 600 x 450 stretched.
        EXPECT_EQ(shot->width, output == "HEADLESS-1" ? 1024 : 1200);
        expect_the_renderers_frame(*shot, 11, started);
    }
    swaymsg({"create_output"});
    const auto created = steady::now();
    const auto shot = session->emerged_shot("HEADLESS-3");
    ASSERT_TRUE(shot);
    // The headless default, as the output is made: a mode set afterwards
    // would resize the scene it has just started.
    EXPECT_EQ(shot->width, 1920);
    expect_the_renderers_frame(*shot, 11, created);
    EXPECT_EQ(velmora->error_output(), "velmora: Wayland: a layer-shell overlay on each output\n");
    velmora->send_signal(SIGTERM);
    EXPECT_EQ(velmora->wait_for_exit(prompt_end), 0);
}

// The saver's close rules: a key, a click, or a move of more than 4 pixels
// from where the pointer entered; a window of its own ends on q or Escape.
TEST_F(wayland_sway, input_ends_it_by_the_close_rules)
{
    struct row {
        std::vector<std::string> arguments;
        std::vector<std::vector<std::string>> ignored;
        std::vector<std::string> ending;
    };
    const std::vector<row> rows = {
        {{"-root"}, {}, {"wtype", "-s", "1000", "a"}},
        {{"-root"},
         {{"swaymsg", "seat", "-", "cursor", "move", "3", "0"}},
         {"swaymsg", "seat", "-", "cursor", "move", "10", "0"}},
        {{"-root"}, {}, {"swaymsg", "seat", "-", "cursor", "press", "button1"}},
        {{"-window"},
         {{"wtype", "-s", "1000", "x"}, {"swaymsg", "seat", "-", "cursor", "move", "10", "0"}},
         {"wtype", "-s", "1000", "q"}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(::testing::PrintToString(r.arguments) + " ending on " + ::testing::PrintToString(r.ending));
        auto velmora = start_velmora(r.arguments);
        ASSERT_TRUE(session->drawn("HEADLESS-1")) << velmora->error_output();
        for (const auto& command : r.ignored) {
            ASSERT_EQ(session->run(command[0], {command.begin() + 1, command.end()}), 0);
            sleep_seconds(1.0);
            EXPECT_TRUE(velmora->running()) << "ended by " << ::testing::PrintToString(command);
        }
        ASSERT_EQ(session->run(r.ending[0], {r.ending.begin() + 1, r.ending.end()}), 0);
        EXPECT_EQ(velmora->wait_for_exit(prompt_end), 0);
        session->run("swaymsg", {"seat", "-", "cursor", "release", "button1"});
    }
}

TEST_F(wayland_sway, swayidle_starts_it)
{
    auto idle = session->start("swayidle", {"-w", "timeout", "1", session->velmora + " -root"});
    EXPECT_TRUE(session->drawn("HEADLESS-1"));
    idle->send_signal(SIGTERM);
    idle->wait_for_exit(prompt_end);
    session->run("pkill", {"-f", session->velmora});
}

// A compositor without a layer shell: a fullscreen window on its output.
TEST(wayland, without_a_layer_shell_it_fills_the_output_with_a_window)
{
    compositor_session session(compositor::weston, "");
    ASSERT_FALSE(session.socket.empty()) << "headless weston did not start: " << session.server_output();
    const auto started = steady::now();
    auto velmora = session.start(session.velmora, {"-root", "--seed", "5"});
    const auto shot = session.emerged_shot("");
    ASSERT_TRUE(shot) << velmora->error_output();
    EXPECT_EQ(shot->width, 1024);
    expect_the_renderers_frame(*shot, 5, started, tolerated_weston_mismatch);
    EXPECT_EQ(velmora->error_output(), "velmora: Wayland without a layer shell: a fullscreen window on each output\n");
}

TEST(wayland, the_compositor_ending_mid_run_ends_it_cleanly)
{
    auto session = std::make_unique<compositor_session>(compositor::sway, sway_outputs);
    ASSERT_FALSE(session->socket.empty()) << "headless sway did not start: " << session->server_output();
    auto velmora = session->start(session->velmora, {"-root"});
    ASSERT_TRUE(session->drawn("HEADLESS-1"));
    session.reset();
    EXPECT_EQ(velmora->wait_for_exit(prompt_end), 0) << velmora->error_output();
}

TEST(wayland, a_compositor_that_is_not_there_gives_one_line)
{
    for (const std::vector<std::string>& arguments : {std::vector<std::string>{"-root"}, {"-wayland"}}) {
        SCOPED_TRACE(::testing::PrintToString(arguments));
        child_process velmora(VELMORA_PROGRAM, arguments,
                              {"WAYLAND_DISPLAY=velmora-no-such-compositor", "DISPLAY", "XDG_RUNTIME_DIR=/tmp"});
        EXPECT_EQ(velmora.wait_for_exit(prompt_end), 1);
        EXPECT_EQ(velmora.error_output(),
                  "velmora: cannot connect to the Wayland compositor \"velmora-no-such-compositor\": No such file or "
                  "directory\n");
    }
}

}  // namespace
