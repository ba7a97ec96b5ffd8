#include "scene/frame_backdrop.h"

#include "gl.h"
#include "plane/plane_texture.h"

namespace {

// Errors left by earlier calls are not the copy's. Bounded: without a
// context, or after a lost one, the error may never clear.
void clear_gl_errors()
{
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

// The texture keeps 8 bits a channel: deeper colour would come back rounded.
bool deeper_than_8_bits()
{
    for (const GLenum channel : {GL_RED_BITS, GL_GREEN_BITS, GL_BLUE_BITS}) {
        GLint bits = 0;
        glGetIntegerv(channel, &bits);
        if (bits > 8)
            return true;
    }
    return false;
}

}  // namespace

frame_backdrop::~frame_backdrop()
{
    if (texture_name != 0)
        glDeleteTextures(1, &texture_name);
}

bool frame_backdrop::holds(const pixel_box& viewport, const double (&matrices)[32], std::uint32_t plane_image) const
{
    return captured && plane_image == image && viewport.left == window.left && viewport.bottom == window.bottom &&
           viewport.right == window.right && viewport.top == window.top &&
           std::equal(std::begin(matrices), std::end(matrices), std::begin(drawn_with));
}

void frame_backdrop::allocate(int width, int height)
{
    if (texture_name == 0)
        glGenTextures(1, &texture_name);
    glBindTexture(GL_TEXTURE_2D, texture_name);
    if (width == texture_width && height == texture_height)
        return;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
    texture_width = width;
    texture_height = height;
}

bool frame_backdrop::capture(const pixel_box& viewport, const double (&matrices)[32], std::uint32_t plane_image)
{
    captured = false;
    const long width = viewport.right - viewport.left;
    const long height = viewport.bottom >= viewport.top ? 0 : viewport.top - viewport.bottom;
    if (width == failed_width && height == failed_height)
        return false;
    GLint most = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &most);
    if (width <= 0 || height <= 0 || width > most || height > most || deeper_than_8_bits())
        return false;
    clear_gl_errors();
    // Both sides are at most GL_MAX_TEXTURE_SIZE, so they fit an int.
    allocate(texture_size(static_cast<int>(width)), texture_size(static_cast<int>(height)));
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, static_cast<GLint>(viewport.left), static_cast<GLint>(viewport.bottom),
                        static_cast<GLsizei>(width), static_cast<GLsizei>(height));
    glBindTexture(GL_TEXTURE_2D, 0);
    if (glGetError() != GL_NO_ERROR) {
        // A span of 7680 x 2160 needs 8192 x 4096 texels (128 MB), which may
        // not be had: not asked for again on every frame at this size.
        texture_width = texture_height = 0;
        failed_width = width;
        failed_height = height;
        return false;
    }
    failed_width = failed_height = 0;
    captured = true;
    window = viewport;
    std::copy(std::begin(matrices), std::end(matrices), std::begin(drawn_with));
    image = plane_image;
    return true;
}

void frame_backdrop::draw() const
{
    if (!captured)
        return;
    glPushAttrib(GL_ENABLE_BIT | GL_TEXTURE_BIT | GL_CURRENT_BIT);
    glDisable(GL_BLEND);
    glDisable(GL_POLYGON_SMOOTH);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture_name);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    const double width = static_cast<double>(window.right - window.left);
    const double height = static_cast<double>(window.top - window.bottom);
    // One texel to one pixel: the quad's corners on pixel corners, so every
    // pixel centre samples the centre of the texel copied from it.
    glOrtho(0.0, width, 0.0, height, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    const float s = static_cast<float>(width / texture_width);
    const float t = static_cast<float>(height / texture_height);
    // Window sizes are far below 2^24: exact as floats.
    const float right = static_cast<float>(width);
    const float top = static_cast<float>(height);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(0.0f, 0.0f);
    glTexCoord2f(s, 0.0f);
    glVertex2f(right, 0.0f);
    glTexCoord2f(s, t);
    glVertex2f(right, top);
    glTexCoord2f(0.0f, t);
    glVertex2f(0.0f, top);
    glEnd();
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopAttrib();
}
