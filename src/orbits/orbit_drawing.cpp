// The GL side of the orbit objects: paths and trails as client-array line
// strips, and the walker's disc from one display list; also the frame's copy
// of them.
#include "orbits/orbit_drawing.h"

#include <cmath>

#include "gl.h"
#include "orbits/orbit_path.h"
#include "orbits/orbit_picture.h"
#include "orbits/orbit_walker.h"

namespace {

GLuint marker_name = 0;

void draw_strip(const vertex2f* vertices, const colour_rgba* colours, GLsizei count)
{
    glColorPointer(4, GL_UNSIGNED_BYTE, 4, colours);
    glVertexPointer(2, GL_FLOAT, 8, vertices);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glDrawArrays(GL_LINE_STRIP, 0, count);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
}

}  // namespace

unsigned int marker_list()
{
    // velmora on Wayland draws a scene per output, each in a context of its
    // own, and display lists are not shared between them: a context where
    // the name is no list gets one of its own (most often the same name).
    if (marker_name != 0 && glIsList(marker_name))
        return marker_name;
    marker_name = glGenLists(1);
    glNewList(marker_name, GL_COMPILE);
    glBegin(GL_TRIANGLE_FAN);
    glVertex2f(0.0f, 0.0f);
    for (int i = 0; i <= 254; i += 2) {
        const double theta = i * 3.141592653589793 * 0.0078125;
        glVertex2f(static_cast<float>(std::cos(theta)), static_cast<float>(std::sin(theta)));
    }
    glVertex2f(1.0f, 0.0f);
    glEnd();
    glEndList();
    return marker_name;
}

float marker_scale(std::uint8_t alpha)
{
    return 1.0f + 2.0f * alpha / 256.0f;
}

void orbit_path::draw(const strip_window& drawn) const
{
    glLineWidth(2.0f);
    draw_strip(&vertices[static_cast<std::size_t>(drawn.first)], &colours[static_cast<std::size_t>(drawn.colour_first)],
               drawn.shown);
}

void draw_walker(vertex2f at, colour_rgba pulse, const vertex2f* trail, const colour_rgba* trail_colours,
                 std::size_t trail_count)
{
    glColor4ub(pulse.r, pulse.g, pulse.b, pulse.a);
    const float scale = marker_scale(pulse.a);
    glPushMatrix();
    glTranslatef(at.x, at.y, 0.0f);
    glScalef(scale, scale, 1.0f);
    glCallList(marker_list());
    glPopMatrix();
    draw_strip(trail, trail_colours, static_cast<GLsizei>(trail_count));
}

void orbit_walker::draw() const
{
    draw_walker(pixel_position(point.start), pulse(), trail.data(), trail_colours.data(), trail.size());
}

void orbit_picture::draw(const std::vector<std::unique_ptr<orbit_path>>& paths) const
{
    for (std::size_t i = 0; i < paths.size() && i < path_windows.size(); ++i)
        paths[i]->draw(path_windows[i]);
    for (const walker_mark& walker : walkers)
        draw_walker(walker.at, walker.pulse, trail.data() + walker.trail_first,
                    trail_colours.data() + walker.trail_first, walker.trail_count);
}
