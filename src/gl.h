// OpenGL 1.1 and GLU for the portable drawing code.
#pragma once

#include <GL/gl.h>
#include <GL/glu.h>
