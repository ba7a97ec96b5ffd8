// The GL side of the plane texture: the texture object, the upload after a
// recolour and the textured quad.
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

struct projector {
    GLdouble model[16];
    GLdouble projection[16];
    GLint viewport[4];

    // Window coordinates of the scene point (x, y, 0); false if not finite.
    bool project(double x, double y, double& window_x, double& window_y) const
    {
        GLdouble wz = 0.0;
        return gluProject(x, y, 0.0, model, projection, viewport, &window_x, &window_y, &wz) == GL_TRUE &&
               std::isfinite(window_x) && std::isfinite(window_y);
    }
};

}  // namespace

void plane_texture::draw()
{
    glBindTexture(GL_TEXTURE_2D, texture_name);
    if (upload_pending)
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, region->columns, region->rows, GL_RGBA, GL_UNSIGNED_BYTE,
                        upload_pixels.data());
    upload_pending = false;
    glEnable(GL_TEXTURE_2D);
    // The quad's colour is opaque white, so modulating gives the texel
    // itself: replacing gives the same bytes without the products.
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    if (!scissored || !draw_in_boxes())
        draw_quad(static_cast<float>(width), static_cast<float>(height), s_extent, t_extent);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glDisable(GL_TEXTURE_2D);
}

bool plane_texture::draw_in_boxes()
{
    if (width <= 0 || height <= 0 || box_reach < 0)
        return false;
    projector p{};
    glGetDoublev(GL_MODELVIEW_MATRIX, p.model);
    glGetDoublev(GL_PROJECTION_MATRIX, p.projection);
    glGetIntegerv(GL_VIEWPORT, p.viewport);
    const double columns = region->columns;
    const double rows = region->rows;
    const double w = width;
    const double h = height;

    // The boxes split the quad's height at the bands' edges, rounded to
    // whole pixels, so that they neither overlap (a pixel blended twice)
    // nor leave a gap. Grid row j is image row rows - 1 - j, drawn from
    // y = (rows - 1 - j) / rows * h.
    long edges[box_count + 1];
    double centre_x = 0.0;
    double left_y = 0.0;
    for (int b = 0; b <= box_count; ++b) {
        const double grid_row = b * box_rows < region->rows ? b * box_rows : rows;
        const double y = (rows - grid_row) / rows * h;
        double window_x = 0.0;
        double window_y = 0.0;
        double other_x = 0.0;
        double other_y = 0.0;
        // The plane must lie square to the window: a band's edge projects to
        // one window row across the whole quad.
        if (!p.project(0.5 * w, y, centre_x, window_y) || !p.project(0.0, y, window_x, left_y) ||
            !p.project(w, y, other_x, other_y) || std::fabs(left_y - window_y) > 1e-3 ||
            std::fabs(other_y - window_y) > 1e-3 || !(std::fabs(window_y) < 1e9))
            return false;
        edges[b] = std::lround(window_y);
    }
    for (int b = 0; b < box_count; ++b)
        // A band of a few pixels or less: the rounding of its edges could
        // move it past the reach of its neighbours' spans.
        if (std::labs(edges[b + 1] - edges[b]) < 4)
            return false;

    glEnable(GL_SCISSOR_TEST);
    for (int b = 0; b < box_count; ++b) {
        int first = region->columns;
        int end = 0;
        const int from = box_reach > 0 && b > 0 ? b - 1 : b;
        const int to = box_reach > 0 && b + 1 < box_count ? b + 1 : b;
        for (int n = from; n <= to; ++n) {
            const texel_span& span = drawn_spans[static_cast<std::size_t>(n)];
            if (span.first < span.end) {
                first = span.first < first ? span.first : first;
                end = span.end > end ? span.end : end;
            }
        }
        if (first >= end)
            continue;
        double x0 = 0.0;
        double x1 = 0.0;
        double unused = 0.0;
        if (!p.project((first - box_reach) / columns * w, 0.0, x0, unused) ||
            !p.project((end + box_reach) / columns * w, 0.0, x1, unused) || !(std::fabs(x0) < 1e9) ||
            !(std::fabs(x1) < 1e9)) {
            glDisable(GL_SCISSOR_TEST);
            return false;
        }
        const long left = static_cast<long>(std::floor(x0 < x1 ? x0 : x1));
        const long right = static_cast<long>(std::ceil(x0 < x1 ? x1 : x0));
        long bottom = edges[b] < edges[b + 1] ? edges[b] : edges[b + 1];
        long top = edges[b] < edges[b + 1] ? edges[b + 1] : edges[b];
        // The outermost boxes reach past the quad's edges, where a pixel on
        // the rounded edge may still be the quad's; the rasteriser clips.
        const long outer_bottom = edges[0] < edges[box_count] ? edges[0] : edges[box_count];
        const long outer_top = edges[0] < edges[box_count] ? edges[box_count] : edges[0];
        if (bottom == outer_bottom)
            bottom -= 2;
        if (top == outer_top)
            top += 2;
        glScissor(static_cast<GLint>(left), static_cast<GLint>(bottom), static_cast<GLsizei>(right - left),
                  static_cast<GLsizei>(top - bottom));
        draw_quad(static_cast<float>(width), static_cast<float>(height), s_extent, t_extent);
    }
    glDisable(GL_SCISSOR_TEST);
    return true;
}
