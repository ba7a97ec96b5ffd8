#include "hack/fps_overlay.h"

#include <array>
#include <cstdio>

#include "gl.h"

void frame_rate_meter::frame_presented(double now_seconds)
{
    if (!started) {
        started = true;
        window_start = now_seconds;
        frames_in_window = 0;
        return;
    }
    ++frames_in_window;
    const double elapsed = now_seconds - window_start;
    if (elapsed >= 1.0) {
        rate = frames_in_window / elapsed;
        window_start = now_seconds;
        frames_in_window = 0;
    }
}

std::string fps_overlay_text(double frames_per_second, std::int32_t step_us)
{
    char text[64];
    std::snprintf(text, sizeof text, "FPS %.1f  STEP %.2f MS", frames_per_second, step_us / 1000.0);
    return text;
}

namespace {

constexpr int glyph_columns = 5;
constexpr int glyph_rows = 7;
constexpr int zoom = 2;  // each font pixel becomes 2 x 2 screen pixels
constexpr int advance = (glyph_columns + 1) * zoom;
constexpr int line_height = (glyph_rows + 2) * zoom;

struct glyph {
    char character;
    // Top row first; bit 4 is the leftmost column.
    std::array<std::uint8_t, glyph_rows> rows;
};

constexpr glyph font[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}}, {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}}, {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}}, {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}}, {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}}, {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}}, {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}}, {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
};

// A glyph as glBitmap takes it: bottom row first, each row two bytes with
// the most significant bit leftmost, every font pixel zoomed.
using zoomed_bitmap = std::array<std::uint8_t, glyph_rows * zoom * 2>;

zoomed_bitmap zoom_glyph(const glyph& g)
{
    zoomed_bitmap bitmap{};
    for (int row = 0; row < glyph_rows * zoom; ++row) {
        const std::uint8_t source = g.rows[static_cast<std::size_t>(glyph_rows - 1 - row / zoom)];
        std::uint16_t bits = 0;
        for (int column = 0; column < glyph_columns * zoom; ++column)
            if (source & (0x10 >> (column / zoom)))
                bits |= static_cast<std::uint16_t>(0x8000 >> column);
        bitmap[static_cast<std::size_t>(row * 2)] = static_cast<std::uint8_t>(bits >> 8);
        bitmap[static_cast<std::size_t>(row * 2 + 1)] = static_cast<std::uint8_t>(bits & 0xFF);
    }
    return bitmap;
}

const glyph* find_glyph(char c)
{
    for (const glyph& g : font)
        if (g.character == c)
            return &g;
    return nullptr;
}

}  // namespace

namespace {

constexpr int margin = 8;
constexpr int band = 4;  // the black band's border around the text

int text_baseline(int height)
{
    return height - margin - glyph_rows * zoom;
}

}  // namespace

pixel_box fps_overlay_box(std::size_t characters, int width, int height)
{
    const long right = margin + static_cast<long>(characters) * advance + band;
    const pixel_box box{margin - band, text_baseline(height) - band, right, text_baseline(height) + line_height};
    return box.clipped({0, 0, width, height});
}

void draw_fps_overlay(const std::string& text, int width, int height)
{
    const int left = margin;
    const int baseline = text_baseline(height);

    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, width, 0.0, height, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glDisable(GL_POLYGON_SMOOTH);

    // A black band behind the text keeps it legible over the picture.
    glColor3f(0.0f, 0.0f, 0.0f);
    const pixel_box box = fps_overlay_box(text.size(), width, height);
    glRecti(static_cast<GLint>(box.left), static_cast<GLint>(box.bottom), static_cast<GLint>(box.right),
            static_cast<GLint>(box.top));

    glColor3f(1.0f, 1.0f, 1.0f);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glRasterPos2i(left, baseline);
    for (char c : text) {
        const glyph* g = find_glyph(c);
        if (g) {
            const zoomed_bitmap bitmap = zoom_glyph(*g);
            glBitmap(glyph_columns * zoom, glyph_rows * zoom, 0.0f, 0.0f, advance, 0.0f, bitmap.data());
        } else {
            glBitmap(0, 0, 0.0f, 0.0f, advance, 0.0f, nullptr);
        }
    }

    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopClientAttrib();
    glPopAttrib();
}
