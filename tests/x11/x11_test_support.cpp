#include "x11_test_support.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include "gl.h"
#include "random/random.h"
#include "render/egl_context.h"
#include "scene/ball_camera.h"
#include "scene/frame.h"

namespace {

using steady = std::chrono::steady_clock;

double seconds_since(steady::time_point start)
{
    return std::chrono::duration<double>(steady::now() - start).count();
}

std::vector<char*> c_strings(std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    for (auto& s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

int shift_of(unsigned long mask)
{
    int shift = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

}  // namespace

void sleep_seconds(double seconds)
{
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

xvfb_server::xvfb_server(int width, int height)
{
    int ready[2];
    if (pipe(ready) != 0)
        return;
    pid = fork();
    if (pid == 0) {
        close(ready[0]);
        const int null = open("/dev/null", O_RDWR);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        std::vector<std::string> arguments = {
            "Xvfb",      "-displayfd", std::to_string(ready[1]),
            "-screen",   "0",          std::to_string(width) + "x" + std::to_string(height) + "x24",
            "-nolisten", "tcp",        "-noreset"};
        auto argv = c_strings(arguments);
        execvp("Xvfb", argv.data());
        _exit(127);
    }
    close(ready[1]);
    // Xvfb writes its display number once it accepts connections.
    std::string number;
    char c;
    while (read(ready[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(ready[0]);
    if (!number.empty())
        name = ":" + number;
}

xvfb_server::~xvfb_server()
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

child_process::child_process(const std::string& program, const std::vector<std::string>& arguments,
                             const std::vector<std::string>& environment)
{
    char path[] = "/tmp/velmora-x11-test-XXXXXX";
    const int error_fd = mkstemp(path);
    error_file = path;
    pid = fork();
    if (pid == 0) {
        dup2(error_fd, STDERR_FILENO);
        const int null = open("/dev/null", O_RDWR);
        dup2(null, STDIN_FILENO);
        for (const std::string& entry : environment) {
            const auto equals = entry.find('=');
            if (equals == std::string::npos)
                unsetenv(entry.c_str());
            else
                setenv(entry.substr(0, equals).c_str(), entry.substr(equals + 1).c_str(), 1);
        }
        std::vector<std::string> all = {program};
        all.insert(all.end(), arguments.begin(), arguments.end());
        auto argv = c_strings(all);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(error_fd);
}

child_process::~child_process()
{
    if (pid > 0 && !status) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    unlink(error_file.c_str());
}

std::optional<int> child_process::wait_for_exit(double seconds)
{
    const auto start = steady::now();
    while (!status) {
        int raw = 0;
        const pid_t done = waitpid(pid, &raw, WNOHANG);
        if (done == pid) {
            status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
            break;
        }
        if (seconds_since(start) > seconds)
            break;
        sleep_seconds(0.005);
    }
    return status;
}

bool child_process::running()
{
    return !wait_for_exit(0.0);
}

void child_process::send_signal(int signal_number)
{
    if (!status)
        kill(pid, signal_number);
}

std::string child_process::error_output() const
{
    std::ifstream in(error_file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

x_client::x_client(const std::string& display_name)
{
    display = XOpenDisplay(display_name.c_str());
}

x_client::~x_client()
{
    if (display)
        XCloseDisplay(display);
}

Window x_client::create_window(int x, int y, int width, int height)
{
    const int screen = DefaultScreen(display);
    const Window window = XCreateSimpleWindow(display, RootWindow(display, screen), x, y, static_cast<unsigned>(width),
                                              static_cast<unsigned>(height), 0, 0, 0x808080);
    XMapWindow(display, window);
    XSync(display, False);
    return window;
}

std::optional<Window> x_client::find_window(const std::string& title, double seconds)
{
    const auto start = steady::now();
    do {
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
        std::optional<Window> found;
        for (unsigned i = 0; i < count && !found; ++i) {
            char* name = nullptr;
            if (XFetchName(display, children[i], &name) && name) {
                XWindowAttributes attributes;
                if (title == name && XGetWindowAttributes(display, children[i], &attributes) &&
                    attributes.map_state == IsViewable)
                    found = children[i];
                XFree(name);
            }
        }
        if (children)
            XFree(children);
        if (found)
            return found;
        sleep_seconds(0.05);
    } while (seconds_since(start) < seconds);
    return std::nullopt;
}

std::pair<int, int> x_client::window_size(Window window)
{
    XWindowAttributes attributes;
    XGetWindowAttributes(display, window, &attributes);
    return {attributes.width, attributes.height};
}

void x_client::resize(Window window, int width, int height)
{
    XResizeWindow(display, window, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XSync(display, False);
}

rgb_picture x_client::screenshot(Window window)
{
    const Window root = DefaultRootWindow(display);
    XWindowAttributes attributes;
    XGetWindowAttributes(display, window, &attributes);
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(display, window, root, 0, 0, &x, &y, &child);
    rgb_picture picture;
    XImage* image = XGetImage(display, root, x, y, static_cast<unsigned>(attributes.width),
                              static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (!image)
        return picture;
    picture.width = attributes.width;
    picture.height = attributes.height;
    picture.rgb.resize(static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height) * 3);
    const int red_shift = shift_of(image->red_mask);
    const int green_shift = shift_of(image->green_mask);
    const int blue_shift = shift_of(image->blue_mask);
    std::uint8_t* out = picture.rgb.data();
    for (int row = 0; row < picture.height; ++row)
        for (int column = 0; column < picture.width; ++column) {
            const unsigned long p = XGetPixel(image, column, row);
            *out++ = static_cast<std::uint8_t>((p & image->red_mask) >> red_shift);
            *out++ = static_cast<std::uint8_t>((p & image->green_mask) >> green_shift);
            *out++ = static_cast<std::uint8_t>((p & image->blue_mask) >> blue_shift);
        }
    XDestroyImage(image);
    return picture;
}

void x_client::request_close(Window window)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
}

bool wait_until_drawn(x_client& client, Window window, double seconds)
{
    const auto start = steady::now();
    do {
        const rgb_picture shot = client.screenshot(window);
        int saturated = 0;
        for (std::size_t i = 0; i + 2 < shot.rgb.size(); i += 3) {
            const int high = std::max({shot.rgb[i], shot.rgb[i + 1], shot.rgb[i + 2]});
            const int low = std::min({shot.rgb[i], shot.rgb[i + 1], shot.rgb[i + 2]});
            saturated += high - low > 40;
        }
        if (saturated > 100)
            return true;
        sleep_seconds(0.1);
    } while (seconds_since(start) < seconds);
    return false;
}

double mismatch(const rgb_picture& a, const rgb_picture& b, int tolerance)
{
    if (a.width != b.width || a.height != b.height || a.rgb.empty())
        return 1.0;
    std::size_t differing = 0;
    for (std::size_t i = 0; i < a.rgb.size(); i += 3) {
        bool differs = false;
        for (std::size_t k = 0; k < 3; ++k)
            differs = differs || std::abs(int{a.rgb[i + k]} - int{b.rgb[i + k]}) > tolerance;
        differing += differs;
    }
    return static_cast<double>(differing) / static_cast<double>(a.rgb.size() / 3);
}

namespace {

// The scene builds its disc display list once per process, so every
// reference frame is drawn in one context, big enough for any window here,
// into its bottom-left corner.
// Below this share of differing pixels a frame is the one on the display.
constexpr double exact_enough = 0.001;

egl_context* reference_context()
{
    static egl_context context;
    static bool created = false;
    if (!created) {
        std::string error;
        created = context.create(reference_width, reference_height, error);
        if (!created)
            std::fprintf(stderr, "headless context: %s\n", error.c_str());
    }
    return created ? &context : nullptr;
}

void read_corner(rgb_picture& frame)
{
    const std::size_t row_bytes = static_cast<std::size_t>(frame.width) * 3;
    std::vector<std::uint8_t> bottom_up(row_bytes * static_cast<std::size_t>(frame.height));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, frame.width, frame.height, GL_RGB, GL_UNSIGNED_BYTE, bottom_up.data());
    frame.rgb.resize(bottom_up.size());
    for (int row = 0; row < frame.height; ++row)
        std::copy_n(&bottom_up[static_cast<std::size_t>(frame.height - 1 - row) * row_bytes], row_bytes,
                    &frame.rgb[static_cast<std::size_t>(row) * row_bytes]);
}

}  // namespace

step_match closest_step(const rgb_picture& shot, std::uint32_t seed, std::int64_t min_steps, std::int64_t max_steps,
                        std::optional<std::pair<int, int>> first_size)
{
    step_match best;
    if (shot.width > reference_width || shot.height > reference_height || !reference_context())
        return best;
    seed_random_engine(seed);
    ball_camera scene(stepping::manual);
    if (first_size)
        reshape(first_size->first, first_size->second, scene);
    reshape(shot.width, shot.height, scene);
    rgb_picture frame;
    frame.width = shot.width;
    frame.height = shot.height;
    for (std::int64_t steps = 0; steps <= max_steps; ++steps) {
        if (steps > 0)
            scene.step();
        if (steps < min_steps)
            continue;
        render_frame(scene);
        glFinish();
        read_corner(frame);
        const double share = mismatch(shot, frame);
        if (share < best.mismatch) {
            best.steps = steps;
            best.mismatch = share;
        }
        // The same frame up to a few pixels: later steps only move away.
        if (best.mismatch < exact_enough)
            break;
    }
    return best;
}

double lit_share(const rgb_picture& picture)
{
    std::size_t lit = 0;
    for (std::size_t i = 0; i + 2 < picture.rgb.size(); i += 3)
        lit += picture.rgb[i] > 20 || picture.rgb[i + 1] > 20 || picture.rgb[i + 2] > 20;
    return picture.rgb.empty() ? 0.0 : static_cast<double>(lit) / static_cast<double>(picture.rgb.size() / 3);
}

int white_pixels(const rgb_picture& picture, int left, int top, int right, int bottom)
{
    int count = 0;
    for (int row = std::max(top, 0); row < std::min(bottom, picture.height); ++row)
        for (int column = std::max(left, 0); column < std::min(right, picture.width); ++column) {
            const std::uint8_t* p = picture.at(column, row);
            count += p[0] > 240 && p[1] > 240 && p[2] > 240;
        }
    return count;
}

bool signal_caught(pid_t pid, int signal_number)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("SigCgt:", 0) == 0) {
            const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
            return (mask >> (signal_number - 1)) & 1;
        }
    return false;
}
