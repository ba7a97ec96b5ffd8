// The saver window's own procedure: the OpenGL context, the scene and the
// 50 ms frame timer. Declared with the host's hooks in host/win32_saver_hooks.h.
#pragma once

#include "host/win32_saver_hooks.h"
