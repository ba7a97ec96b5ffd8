// The GL side of the plane texture: the texture object, the upload after a
// recolour and the textured quad.
#include <algorithm>
#include <cmath>

#include "gl.h"
#include "plane/plane_texture.h"

void plane_texture::create_gl_texture()
{
    glGenTextures(1, &texture_name);
    glBindTexture(GL_TEXTURE_2D, texture_name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, texture_size(region->columns), texture_size(region->rows), 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, nullptr);
}

namespace {

void draw_quad(float width, float height, float s_extent, float t_extent)
{
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glTexCoord2f(s_extent, 0.0f);
    glVertex3f(width, 0.0f, 0.0f);
    glTexCoord2f(s_extent, t_extent);
    glVertex3f(width, height, 0.0f);
    glTexCoord2f(0.0f, t_extent);
    glVertex3f(0.0f, height, 0.0f);
    glEnd();
}

// The frame's matrices, read once per draw.
struct projector {
    GLdouble model[16];
    GLdouble projection[16];
    GLint viewport[4];

    bool project(double x, double y, double& window_x, double& window_y) const
    {
        GLdouble wz = 0.0;
        return gluProject(x, y, 0.0, model, projection, viewport, &window_x, &window_y, &wz) == GL_TRUE &&
               std::isfinite(window_x) && std::isfinite(window_y);
    }
};

}  // namespace

void plane_texture::upload()
{
    glBindTexture(GL_TEXTURE_2D, texture_name);
    if (upload_pending)
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, region->columns, region->rows, GL_RGBA, GL_UNSIGNED_BYTE,
                        upload_pixels.data());
    upload_pending = false;
}

namespace {

void begin_textured()
{
    glEnable(GL_TEXTURE_2D);
    // The quad's colour is opaque white, so modulating gives the texel
    // itself: replacing gives the same bytes without the products.
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}

void end_textured()
{
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glDisable(GL_TEXTURE_2D);
}

scene_projection frame_projection(const projector& p)
{
    return [&p](double x, double y, double& window_x, double& window_y) { return p.project(x, y, window_x, window_y); };
}

void scissor(const scissor_box& box)
{
    glScissor(static_cast<GLint>(box.left), static_cast<GLint>(box.bottom), static_cast<GLsizei>(box.width),
              static_cast<GLsizei>(box.height));
}

}  // namespace

void plane_texture::draw()
{
    upload();
    begin_textured();
    projector p{};
    glGetDoublev(GL_MODELVIEW_MATRIX, p.model);
    glGetDoublev(GL_PROJECTION_MATRIX, p.projection);
    glGetIntegerv(GL_VIEWPORT, p.viewport);
    scissor_box boxes[box_count];
    const int placed = place_boxes(frame_projection(p), boxes);
    if (placed < 0) {
        draw_quad(static_cast<float>(width), static_cast<float>(height), s_extent, t_extent);
    } else {
        glEnable(GL_SCISSOR_TEST);
        for (int b = 0; b < placed; ++b) {
            scissor(boxes[b]);
            draw_quad(static_cast<float>(width), static_cast<float>(height), s_extent, t_extent);
        }
        glDisable(GL_SCISSOR_TEST);
    }
    end_textured();
}
