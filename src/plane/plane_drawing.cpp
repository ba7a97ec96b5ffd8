// The GL side of the plane texture: the texture object, the upload after a
// recolour and the textured quad.
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

void plane_texture::draw()
{
    glBindTexture(GL_TEXTURE_2D, texture_name);
    // The caller holds the hand-over lock that recolour publishes under.
    if (pixels_changed)
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, region->columns, region->rows, GL_RGBA, GL_UNSIGNED_BYTE,
                        pixels.data());
    pixels_changed = false;
    glEnable(GL_TEXTURE_2D);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glTexCoord2f(s_extent, 0.0f);
    glVertex3f(static_cast<float>(width), 0.0f, 0.0f);
    glTexCoord2f(s_extent, t_extent);
    glVertex3f(static_cast<float>(width), static_cast<float>(height), 0.0f);
    glTexCoord2f(0.0f, t_extent);
    glVertex3f(0.0f, static_cast<float>(height), 0.0f);
    glEnd();
    glDisable(GL_TEXTURE_2D);
}
