// A headless OpenGL context: EGL on Mesa's surfaceless platform with an
// off-screen pbuffer of the requested size, no window and no display server.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class egl_context {
public:
    egl_context() = default;
    ~egl_context();
    egl_context(const egl_context&) = delete;
    egl_context& operator=(const egl_context&) = delete;

    // Creates the context and makes it current on this thread. On failure
    // returns false with a message in error.
    bool create(int width, int height, std::string& error);

    // Makes the context current on this thread again, after another's.
    void make_current() const;

    // Reads the drawn frame back as RGB rows from the top of the picture down.
    std::vector<std::uint8_t> read_rgb() const { return read_rows(false); }
    // The same as RGBA.
    std::vector<std::uint8_t> read_rgba() const { return read_rows(true); }

    int width() const { return width_; }
    int height() const { return height_; }

private:
    std::vector<std::uint8_t> read_rows(bool alpha) const;

    void* display_ = nullptr;
    void* surface_ = nullptr;
    void* context_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};
