// The display list shared by every walker's disc.
#pragma once

#include <cstdint>

// The name of the unit-disc display list, built in the current context on
// the first call.
unsigned int marker_list();
// Radius of a walker's disc in pixels for the alpha of its pulse phase.
float marker_scale(std::uint8_t alpha);
