// The camera classes that place the eye. Angles are in degrees; positions in
// the scene's pixel units.
#pragma once

class camera_gl {
public:
    // Loads the model-view matrix with the view from (x, y, z) along the
    // direction given by pitch and yaw.
    void apply() const;

    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float pitch = 0.0f;  // -90 looks along -z
    float yaw = 0.0f;    // from +x toward +y
};

class inertial_camera_gl : public camera_gl {
public:
    // Places the camera for a window size; the base camera stays where it is.
    virtual void update_view(int width, int height);

protected:
    // Not deleted through a base pointer: the scene is the one camera.
    ~inertial_camera_gl() = default;
};

// Degrees to radians with the constant the camera has always used.
inline double camera_radians(double degrees)
{
    return degrees * 3.141592653589793 / 180.0;
}

// The arguments apply() hands to gluLookAt: eye, centre = eye + d, and an up
// vector perpendicular to d that leans toward +z.
struct look_at {
    double eye[3];
    double centre[3];
    double up[3];
};
look_at camera_look_at(const camera_gl& camera);
