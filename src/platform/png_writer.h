#pragma once

#include <string>

#include "graphics/surface.h"

namespace zorvel {

// Writes the surface as an RGB PNG (atomically); false with a message on failure.
bool WritePng(const std::string& path, const Surface& surface);

}  // namespace zorvel
