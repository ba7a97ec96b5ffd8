#include "camera/camera.h"

#include <cmath>

#include "gl.h"

look_at camera_look_at(const camera_gl& camera)
{
    const double p = camera_radians(camera.pitch);
    const double q = camera_radians(camera.yaw);
    // At pitch -90 the cosines are about 6.1e-17, not 0: the up vector stays
    // non-zero and the view keeps +y up.
    const double d[3] = {std::cos(q) * std::cos(p), std::sin(q) * std::cos(p), std::sin(p)};
    look_at view{};
    view.eye[0] = camera.x;
    view.eye[1] = camera.y;
    view.eye[2] = camera.z;
    for (int i = 0; i < 3; ++i)
        view.centre[i] = view.eye[i] + d[i];
    view.up[0] = -d[0] * d[2];
    view.up[1] = -d[1] * d[2];
    view.up[2] = d[0] * d[0] + d[1] * d[1];
    return view;
}

void camera_gl::apply() const
{
    const look_at view = camera_look_at(*this);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(view.eye[0], view.eye[1], view.eye[2], view.centre[0], view.centre[1], view.centre[2], view.up[0],
              view.up[1], view.up[2]);
}

void inertial_camera_gl::update_view(int, int)
{}
