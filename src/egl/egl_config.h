// What the EGL contexts of the headless renderer and of velmora on Wayland
// share: the choice of a configuration.
#pragma once

#include <EGL/egl.h>

// A configuration matching the attributes (an EGL_NONE-ended list), the
// first with 8 bits in each of red, green and blue and alpha_bits of alpha
// (any when negative) where there is one: EGL lists deeper colour first,
// and Mesa offers 10 bits a channel, whose blending rounds otherwise than
// the saver's 8 bits. False when none matches.
bool choose_egl_config(EGLDisplay display, const EGLint* attributes, EGLint alpha_bits, EGLConfig& chosen);
