// What the EGL contexts of the headless renderer and of velmora on Wayland
// share: the choice of a configuration.
#pragma once

#include <EGL/egl.h>

// A configuration for desktop OpenGL on surfaces of the type (EGL_PBUFFER_BIT,
// EGL_WINDOW_BIT) with 24-bit colour, as the saver asks for, and no depth or
// stencil buffer asked: the first with 8 bits in each of red, green and blue
// and alpha_bits of alpha (any when negative) where there is one, as EGL
// lists deeper colour first and Mesa offers 10 bits a channel, whose
// blending rounds otherwise than the saver's 8 bits. False when none
// matches.
bool choose_egl_config(EGLDisplay display, EGLint surface_type, EGLint alpha_bits, EGLConfig& chosen);
