// Pixel mixing shared by every drawing: characters over backgrounds, the message window over
// the scene, glyphs, buttons, fades and transitions.
//
// Row routines work on 24-bit BGR rows in groups of 8 bytes and share one arithmetic: a
// weighted sum of two bytes divided by 256, rounded down. Their byte results are fixed (old
// saves' thumbnails and recorded screenshots compare against them), whichever instruction set
// runs them. An output pointer may equal one of the input pointers; partial overlap is not
// supported. Row routines never allocate.
//
// Picture routines clip to every surface they touch, then walk rows. Blend levels run from 0
// (all u) to 256 (all v); a level outside that range is clamped.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "graphics/surface.h"

namespace zorvel {

// ---- Row routines --------------------------------------------------------------------------

// out = ⌊(u(255 − m) + v·m) / 256⌋ per byte, except that an 8-byte group whose mask bytes are
// all 0 copies u unchanged (so fully transparent areas come through bit-exact).
void BlendMasked(uint8_t* out, const uint8_t* u, const uint8_t* v, const uint8_t* m, int groups);
// out = ⌊(u(256 − a) + v·a) / 256⌋ per byte.
void BlendConstant(uint8_t* out, const uint8_t* u, const uint8_t* v, int a, int groups);
// Transitions set the level once per frame and blend many rows with it.
void SetBlendLevel(int a);
void BlendPreset(uint8_t* out, const uint8_t* u, const uint8_t* v, int groups);
// BlendConstant over the whole groups of `pixels` 24-bit pixels; the tail bytes are untouched.
void BlendRows(uint8_t* out, const uint8_t* u, const uint8_t* v, int pixels, int a);

// ---- Whole-picture routines ----------------------------------------------------------------
// Each works on the area common to all its surfaces (800 x 600 in the engine) and on every
// byte of each row.

// out = ⌊s·a / 256⌋.
void Darken(Surface& out, const Surface& s, int a);
// out = min(255, u + v).
void AddSaturate(Surface& out, const Surface& u, const Surface& v);
// out = BlendConstant(u = oldPicture, v = newPicture, a).
void CrossfadeFrame(const Surface& newPicture, const Surface& oldPicture, int a, Surface& out);

// ---- Masked drawing ------------------------------------------------------------------------

// Blends `colour` through `mask` onto `dest` with its top-left at (x, y). Whole blocks of 8
// pixels go through BlendMasked; the remaining pixels of a row blend byte by byte without the
// all-zero-group rule. A mask smaller than the colour picture limits the drawn area.
void DrawMasked(Surface& dest, const Surface& colour, const Surface& mask, int x, int y);
// The same with colour and mask side by side in one picture, split at width / 2.
void DrawMaskedPair(Surface& dest, int x, int y, const Surface& picture);

constexpr const char* kIllegalBmp = "ILLEGAL BMP";
constexpr int kIllegalBmpKind = 3;
// Receives kIllegalBmp and kIllegalBmpKind, the way script errors are reported.
using PixelErrorReport = std::function<void(const char* message, int kind)>;
// Colour above mask in one picture, split at height / 2. UI parts are laid out to fit, so a
// picture that would cross the destination's edge (or starts left of or above it) is a data
// error: it is reported, nothing is drawn, and the result is false. The tail bytes of each
// row, after its whole 8-byte groups, stay as they are.
bool DrawMaskedStacked(Surface& dest, int x, int y, const Surface& picture,
                       const PixelErrorReport& report = {});

// ---- Transition frames ---------------------------------------------------------------------
// The caller owns the screen surfaces and presents `work` afterwards.

constexpr int kCellWidth = 80;
constexpr int kCellHeight = 60;
// The 80 x 60 block at (x, y): work = BlendConstant(u = screen, v = previous, a), so level 256
// shows the old picture and 0 the new one.
void BlendCell(Surface& work, const Surface& screen, const Surface& previous, int x, int y, int a);
// work = BlendMasked(u = previous, v = screen, mask) over the whole picture.
void BlendThroughMask(Surface& work, const Surface& previous, const Surface& screen,
                      const Surface& mask);

// ---- Instruction set choice ----------------------------------------------------------------
// The fastest path the CPU supports is chosen on first use. Tests and benchmarks force each
// available path to check that they all give the same bytes.

enum class PixelPath { kPortable, kSse2, kAvx2 };

const char* PixelPathName(PixelPath path);
std::span<const PixelPath> AvailablePixelPaths();
// False (and no change) when the CPU lacks the path.
bool SetPixelPath(PixelPath path);
PixelPath CurrentPixelPath();

}  // namespace zorvel
