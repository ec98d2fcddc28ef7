// WADY: the engine's compressed wave format. A 48-byte header, then 16-bit PCM in one of two
// codings: the byte coding (music, animation sounds) or the run coding (effects). Which one a
// file uses follows from the archive it is stored in, not from the header.
//
// Every decoder reads only inside the bytes it is given and writes only inside its output;
// headers that lie about sizes are refused with a reason instead.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "audio/wave.h"

namespace zorvel {

constexpr size_t kWadyHeaderSize = 48;
constexpr uint32_t kWadyMaxRate = 192000;

enum class WadyCoding { kByte, kRun };

struct WadyHeader {
  uint8_t multiplier = 0;      // byte coding
  uint16_t channels = 1;       // offset 6, read by the byte coding
  uint32_t samplesPerSec = 0;  // offset 8
  uint32_t codedLength = 0;    // offset 12
  uint32_t frames = 0;         // offset 16
  uint32_t pcmBytes = 0;       // offset 20
  uint32_t loopStart = 0;      // offset 24, from the start of the coded data
  int16_t loopPredictor1 = 0;  // offset 28
  int16_t loopPredictor2 = 0;  // offset 30
  WaveFormat format;           // offset 32
};

// Who reads a header. Each reads only some of its fields, and a field nobody reads may hold
// anything in the games' files (effects carry junk at offsets 6 to 15), so each checks only its
// own.
enum class WadyUse {
  kRunFile,   // an effect decoded whole: the wave format at 32 (its channels) and the size at 20
  kByteFile,  // a byte-coded sound decoded whole: also the channels at 6 and the frames at 16
  kStream,    // streamed music: also the rate at 8 and the loop; the coded length at 12 is the
              // caller's to check against the source, which need not be read yet
};
WadyUse WholeFileUse(WadyCoding coding);

// Reads the header and checks the magic and what `use` reads: a playable wave format (1 or 2
// channels, a rate from 1 to 192,000, 16-bit PCM) and, for the byte coding, that it agrees with
// the channels (and, streaming, the rate) the decoder goes by. False with the reason otherwise.
bool ParseWadyHeader(std::span<const uint8_t> bytes, WadyUse use, WadyHeader& header,
                     std::string& why);
std::array<uint8_t, kWadyHeaderSize> SerializeWadyHeader(const WadyHeader& header);

const std::array<int16_t, 128>& WadyStepA();
const std::array<int16_t, 64>& WadyStepB();

// Decodes up to `frames` frames of the byte coding; stops early where `coded` or `out` ends.
// The predictors are in and out, so a stream decodes in pieces. Returns the frames decoded.
size_t DecodeByteCoded(std::span<const uint8_t> coded, std::span<int16_t> out, int multiplier,
                       int channels, size_t frames, int16_t& predictor1, int16_t& predictor2);
// Decodes one channel block of the run coding into every `stride`-th sample of `out`, starting
// at out[0]. Returns the samples written for this channel.
size_t DecodeRunCoded(std::span<const uint8_t> block, std::span<int16_t> out, size_t stride);
// A whole entry, decoded into the buffer its header sizes (the size at 20, rounded down to an
// even number of bytes; what the codes do not fill stays silent); nothing (and the reason) when
// the magic or the header is wrong.
std::optional<Pcm> DecodeWadyFile(std::span<const uint8_t> entry, WadyCoding coding,
                                  std::string& why);

// Encoders for the tools. `loopStartFrame` is recorded (byte coding: offset and predictors).
std::vector<uint8_t> EncodeWady(const Pcm& pcm, WadyCoding coding, uint32_t loopStartFrame = 0);

}  // namespace zorvel
