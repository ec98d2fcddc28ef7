// Ogg Vorbis sounds (voices, Ogg music) decoded whole from an archive entry in memory.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "audio/wave.h"

namespace zorvel {

// Decodes every frame, then trims trailing silence from long sounds (never below half).
// Nothing, with the reason, when the library cannot open or read the bytes.
std::optional<Pcm> DecodeOggSound(std::span<const uint8_t> entry, std::string& why);

}  // namespace zorvel
