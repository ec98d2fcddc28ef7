#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "graphics/surface.h"

namespace zorvel {

// Decodes a PNG of any colour type and depth into a 24-bit surface: palettes and grey are
// expanded, 16-bit channels cut to 8 and alpha dropped. False with `error` set on damage.
bool ReadPng(std::span<const uint8_t> bytes, Surface& out, std::string* error);
// The same with its opacity: straight 0xAARRGGBB pixels, rows top to bottom (opaque where the
// PNG has no alpha).
bool ReadPngArgb(std::span<const uint8_t> bytes, int& width, int& height,
                 std::vector<uint32_t>& argb, std::string* error);

}  // namespace zorvel
