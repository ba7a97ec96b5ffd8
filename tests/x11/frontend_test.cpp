// The real velmora program on a private Xvfb server: what it draws, compared
// with the headless renderer's frames of the same seeded scene, and how it
// starts, follows its window and ends.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "x11_test_support.h"

namespace {

using steady = std::chrono::steady_clock;

constexpr int screen_width = 1280;
constexpr int screen_height = 1024;
// At most 20 steps a second, and a few more for the clock's slack.
constexpr double steps_per_second = 20.0;
// Pixels allowed to differ from the renderer's frame: a step whose plane
// and orbit objects are the same up to rounding.
constexpr double tolerated_mismatch = 0.005;

// Under ThreadSanitizer a step and a frame take ten times as long, and the
// saver's pace sleeps four times a slow step: the first pass can take
// minutes. There the tests run every mode, resize and stop while the worker
// runs, for the sanitizer to watch, without waiting for the set to compare
// pictures.
#if defined(__SANITIZE_THREAD__)
constexpr bool slow_build = true;
#else
constexpr bool slow_build = false;
#endif
// How soon a stop request ends the run: within a second, as the saver
// daemon expects; under ThreadSanitizer the scene's build and a frame
// alone can take about that long.
constexpr double prompt_end = slow_build ? 5.0 : 1.0;
// The longest wait for a first frame: a ceiling, not a delay.
constexpr double start_up_limit = 30.0;

std::string hex_id(Window window)
{
    char text[32];
    std::snprintf(text, sizeof text, "0x%lx", window);
    return text;
}

int count_lines(const std::string& text)
{
    int lines = 0;
    for (char c : text)
        lines += c == '\n';
    return lines;
}

class frontend : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server = new xvfb_server(screen_width, screen_height); }
    static void TearDownTestSuite()
    {
        delete server;
        server = nullptr;
    }

    void SetUp() override
    {
        ASSERT_TRUE(server->running()) << "Xvfb did not start";
        client = std::make_unique<x_client>(server->name);
        ASSERT_NE(client->display, nullptr);
    }

    std::unique_ptr<child_process> start(const std::vector<std::string>& arguments,
                                         std::vector<std::string> environment = {})
    {
        // The test's own environment may hold a display or a saver window.
        environment.insert(environment.begin(), {"DISPLAY=" + server->name, "XSCREENSAVER_WINDOW"});
        started = steady::now();
        return std::make_unique<child_process>(VELMORA_PROGRAM, arguments, environment);
    }

    std::unique_ptr<child_process> start_in(const std::vector<std::string>& arguments,
                                            const std::vector<std::string>& environment)
    {
        started = steady::now();
        return std::make_unique<child_process>(VELMORA_PROGRAM, arguments, environment);
    }

    // SIGTERM, as the saver daemon sends it, ends the run within a second
    // with status 0 and nothing on standard error; so do a terminal's SIGINT
    // and SIGHUP.
    void expect_clean_end_on_sigterm(child_process& process, int stop_signal = SIGTERM)
    {
        ASSERT_TRUE(process.running()) << process.error_output();
        const auto sent = steady::now();
        process.send_signal(stop_signal);
        const auto status = process.wait_for_exit(prompt_end);
        ASSERT_TRUE(status.has_value()) << "still running " << prompt_end << " s after signal " << stop_signal;
        EXPECT_EQ(*status, 0);
        EXPECT_LT(seconds_since(sent), prompt_end);
        EXPECT_EQ(process.error_output(), "");
    }

    // The frame on the display is one the renderer draws for the same seed
    // after some step count, and the set has emerged: at least one whole pass.
    void expect_emerging_set(const rgb_picture& shot, std::uint32_t seed,
                             std::optional<std::pair<int, int>> first_size = std::nullopt)
    {
        const auto max_steps = static_cast<std::int64_t>(std::ceil(seconds_since(started) * steps_per_second)) + 10;
        const step_match best = closest_step(shot, seed, 30, max_steps, first_size);
        EXPECT_LT(best.mismatch, tolerated_mismatch) << "closest renderer frame (step " << best.steps << ") differs in "
                                                     << best.mismatch * 100 << "% of the pixels";
        RecordProperty("closest_step", static_cast<int>(best.steps));
        RecordProperty("mismatch_percent", std::to_string(best.mismatch * 100));
    }

    // The screenshot once the first whole pass (step 30) has coloured the
    // plane, however slowly a busy machine runs the worker; nothing when it
    // stays black.
    std::optional<rgb_picture> wait_for_emergence(Window window)
    {
        const auto start = steady::now();
        do {
            rgb_picture shot = client->screenshot(window);
            if (lit_share(shot) > 0.5)
                return shot;
            sleep_seconds(0.25);
        } while (seconds_since(start) < 120.0);
        return std::nullopt;
    }

    // The set emerges in the window (not waited for on a slow build), then
    // SIGTERM ends the program cleanly.
    void expect_emergence_then_clean_end(child_process& velmora, Window window, std::uint32_t seed)
    {
        if (slow_build) {
            expect_clean_end_on_sigterm(velmora);
            return;
        }
        const auto shot = wait_for_emergence(window);
        ASSERT_TRUE(shot.has_value()) << "the plane stayed black";
        expect_clean_end_on_sigterm(velmora);
        expect_emerging_set(*shot, seed);
    }

    static xvfb_server* server;
    std::unique_ptr<x_client> client;
    steady::time_point started;
};

xvfb_server* frontend::server = nullptr;

TEST_F(frontend, new_window_shows_the_emerging_set)
{
    if (slow_build)
        GTEST_SKIP() << "a full-size picture takes minutes to emerge under ThreadSanitizer";
    auto velmora = start({"--seed", "11"});
    const auto window = client->find_window("Velmora", start_up_limit);
    ASSERT_TRUE(window.has_value()) << velmora->error_output();
    EXPECT_EQ(client->window_size(*window), (std::pair<int, int>{1024, 768}));
    ASSERT_TRUE(wait_until_drawn(*client, *window, start_up_limit));
    const auto shot = wait_for_emergence(*window);
    ASSERT_TRUE(shot.has_value()) << "the plane stayed black";
    expect_clean_end_on_sigterm(*velmora);
    EXPECT_EQ(white_pixels(*shot, 0, 0, shot->width, shot->height), 0) << "no statistics without -fps";
    expect_emerging_set(*shot, 11);
}

TEST_F(frontend, window_id_draws_into_the_given_window)
{
    const Window preview = client->create_window(100, 60, 400, 300);
    auto velmora = start({"-window-id", std::to_string(preview), "-seed", "5"});
    ASSERT_TRUE(wait_until_drawn(*client, preview, start_up_limit)) << velmora->error_output();
    EXPECT_FALSE(client->find_window("Velmora", 0.0).has_value()) << "no window of its own";
    // The window's default visual keeps nothing across a swap: the frames
    // go to a child of a visual whose swap copies, over the last.
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int child_count = 0;
    XQueryTree(client->display, preview, &root, &parent, &children, &child_count);
    if (children)
        XFree(children);
    EXPECT_EQ(child_count, 1u);
    expect_emergence_then_clean_end(*velmora, preview, 5);
}

// The settings preview of xscreensaver-settings: the programs-list command
// with --window-id appended. The named window wins over -root, even when the
// environment names a saver window too.
TEST_F(frontend, root_with_window_id_draws_into_the_given_window_as_the_settings_preview)
{
    const Window decoy = client->create_window(600, 500, 200, 150);
    const Window preview = client->create_window(100, 60, 400, 300);
    auto velmora =
        start({"--root", "--window-id", hex_id(preview), "--seed", "5"}, {"XSCREENSAVER_WINDOW=" + hex_id(decoy)});
    ASSERT_TRUE(wait_until_drawn(*client, preview, start_up_limit)) << velmora->error_output();
    EXPECT_FALSE(wait_until_drawn(*client, decoy, 0.0)) << "drew on $XSCREENSAVER_WINDOW as well";
    expect_emergence_then_clean_end(*velmora, preview, 5);
}

TEST_F(frontend, ends_when_the_given_window_is_destroyed)
{
    // A settings dialog closing its preview.
    const Window preview = client->create_window(10, 10, 200, 150);
    auto velmora = start({"-window-id", hex_id(preview)});
    ASSERT_TRUE(wait_until_drawn(*client, preview, start_up_limit)) << velmora->error_output();
    XDestroyWindow(client->display, preview);
    XSync(client->display, False);
    const auto status = velmora->wait_for_exit(prompt_end);
    ASSERT_TRUE(status.has_value()) << "still drawing into a destroyed window";
    EXPECT_EQ(*status, 0);
    EXPECT_EQ(velmora->error_output(), "");
}

TEST_F(frontend, root_draws_on_the_xscreensaver_window_and_follows_its_size)
{
    const Window saver = client->create_window(0, 0, 500, 350);
    auto velmora = start({"--root", "--seed", "9"}, {"XSCREENSAVER_WINDOW=" + hex_id(saver)});
    ASSERT_TRUE(wait_until_drawn(*client, saver, start_up_limit)) << velmora->error_output();
    if (!slow_build) {
        const auto before = wait_for_emergence(saver);
        ASSERT_TRUE(before.has_value()) << "the plane stayed black";
        ASSERT_TRUE(velmora->running());
        expect_emerging_set(*before, 9);
    }

    // The daemon resizes its window when the screens change: the picture is
    // drawn again for the new size, the plane still filling the window.
    client->resize(saver, 640, 400);
    sleep_seconds(1.0);
    const rgb_picture after = client->screenshot(saver);
    expect_clean_end_on_sigterm(*velmora);
    ASSERT_EQ(after.width, 640);
    if (!slow_build)
        expect_emerging_set(after, 9, std::pair<int, int>{500, 350});
}

TEST_F(frontend, root_fills_the_screen_and_ignores_input)
{
    auto velmora = start({"-root", "--seed", "2"});
    const Window root = DefaultRootWindow(client->display);
    ASSERT_TRUE(wait_until_drawn(*client, root, start_up_limit)) << velmora->error_output();
    // Real key presses, a click and pointer motion, as the user makes them.
    const std::string input =
        "DISPLAY=" + server->name + " xdotool mousemove 600 500 key q key Escape click 1 mousemove 50 50";
    ASSERT_EQ(std::system(input.c_str()), 0);
    sleep_seconds(0.5);
    EXPECT_TRUE(velmora->running()) << "a saver on the root window never closes on input";
    if (slow_build) {
        expect_clean_end_on_sigterm(*velmora);
        return;
    }
    const auto shot = wait_for_emergence(root);
    ASSERT_TRUE(shot.has_value()) << "the plane stayed black";
    expect_clean_end_on_sigterm(*velmora);
    EXPECT_EQ(shot->width, screen_width);
    expect_emerging_set(*shot, 2);
}

TEST_F(frontend, window_closes_on_q_escape_and_the_close_button)
{
    for (const std::string how : {"q", "Escape", "close button"}) {
        SCOPED_TRACE(how);
        auto velmora = start({});
        const auto window = client->find_window("Velmora", start_up_limit);
        ASSERT_TRUE(window.has_value()) << velmora->error_output();
        if (how == "close button") {
            client->request_close(*window);
        } else {
            // Real key presses, delivered to the window under the pointer.
            const std::string keys = "DISPLAY=" + server->name + " xdotool mousemove 300 300 key " + how;
            ASSERT_EQ(std::system(keys.c_str()), 0);
        }
        const auto status = velmora->wait_for_exit(prompt_end);
        ASSERT_TRUE(status.has_value());
        EXPECT_EQ(*status, 0);
        EXPECT_EQ(velmora->error_output(), "");
        EXPECT_FALSE(client->find_window("Velmora", 0.0).has_value());
    }
}

TEST_F(frontend, sigterm_during_start_up_ends_cleanly)
{
    // The signal arrives once the program is ready for it, while it connects
    // to the display and builds its scene.
    auto velmora = start({"-root"});
    const auto since = steady::now();
    while (!signal_caught(velmora->pid, SIGTERM) && seconds_since(since) < 10.0)
        sleep_seconds(0.001);
    expect_clean_end_on_sigterm(*velmora);
}

TEST_F(frontend, a_terminals_interrupt_and_hang_up_end_a_running_hack_cleanly)
{
    for (const int stop_signal : {SIGINT, SIGHUP}) {
        const Window preview = client->create_window(0, 0, 320, 240);
        auto velmora = start({"--window-id", hex_id(preview)});
        ASSERT_TRUE(wait_until_drawn(*client, preview, start_up_limit)) << velmora->error_output();
        expect_clean_end_on_sigterm(*velmora, stop_signal);
    }
}

TEST_F(frontend, fps_shows_statistics_in_the_top_left_corner)
{
    const Window preview = client->create_window(0, 0, 480, 320);
    auto velmora = start({"--window-id", hex_id(preview), "--fps"});
    ASSERT_TRUE(wait_until_drawn(*client, preview, start_up_limit)) << velmora->error_output();
    sleep_seconds(1.5);
    const rgb_picture shot = client->screenshot(preview);
    expect_clean_end_on_sigterm(*velmora);
    // White text in a band along the top-left; nothing white elsewhere.
    EXPECT_GT(white_pixels(shot, 0, 0, 320, 30), 100);
    EXPECT_EQ(white_pixels(shot, 320, 0, shot.width, shot.height), 0);
    EXPECT_EQ(white_pixels(shot, 0, 30, shot.width, shot.height), 0);
}

TEST_F(frontend, bad_command_lines_fail_with_one_line)
{
    const std::vector<std::vector<std::string>> command_lines = {
        {"--frobnicate"},    {"-window-id"},   {"-window-id", "zzz"}, {"-window-id", "0x1fffff0"},  // names no window
        {"-window-id", "0"}, {"--seed", "-1"}, {"-root", "-window"},  {"extra"},
    };
    for (const auto& arguments : command_lines) {
        SCOPED_TRACE(::testing::PrintToString(arguments));
        auto velmora = start(arguments);
        const auto status = velmora->wait_for_exit(5.0);
        ASSERT_TRUE(status.has_value());
        EXPECT_NE(*status, 0);
        EXPECT_LT(*status, 128) << "ended by a signal";
        const std::string error = velmora->error_output();
        EXPECT_EQ(count_lines(error), 1) << error;
        EXPECT_EQ(error.rfind("velmora: ", 0), 0u) << error;
    }
    EXPECT_FALSE(client->find_window("Velmora", 0.0).has_value());

    // XScreenSaver's variable must name a window, too.
    for (const std::string value : {"junk", "0x1fffff0"}) {
        auto velmora = start({"-root"}, {"XSCREENSAVER_WINDOW=" + value});
        const auto status = velmora->wait_for_exit(5.0);
        ASSERT_TRUE(status.has_value());
        EXPECT_NE(*status, 0);
        EXPECT_EQ(count_lines(velmora->error_output()), 1) << velmora->error_output();
    }
}

TEST_F(frontend, missing_display_fails_with_one_line)
{
    // A display number with no server behind it.
    int unused = 900;
    struct stat info;
    while (stat(("/tmp/.X11-unix/X" + std::to_string(unused)).c_str(), &info) == 0)
        ++unused;
    const std::vector<std::vector<std::string>> environments = {
        {"DISPLAY"},
        {"DISPLAY=:" + std::to_string(unused)},
    };
    for (const auto& environment : environments) {
        SCOPED_TRACE(environment[0]);
        auto velmora = start_in({}, environment);
        const auto status = velmora->wait_for_exit(5.0);
        ASSERT_TRUE(status.has_value());
        EXPECT_NE(*status, 0);
        EXPECT_LT(*status, 128);
        EXPECT_EQ(count_lines(velmora->error_output()), 1) << velmora->error_output();
    }
}

}  // namespace
