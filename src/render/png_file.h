#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes 8-bit RGB rows (top row first) as a PNG file. On failure returns
// false with a message in error.
bool write_png(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgb,
               std::string& error);
