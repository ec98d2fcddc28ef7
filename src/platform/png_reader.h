#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "graphics/surface.h"

namespace zorvel {

// Decodes a PNG of any colour type and depth into a 24-bit surface: palettes and grey are
// expanded, 16-bit channels cut to 8 and alpha dropped. False with `error` set on damage.
bool ReadPng(std::span<const uint8_t> bytes, Surface& out, std::string* error);

}  // namespace zorvel
