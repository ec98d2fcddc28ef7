// Bodies of the fuzz targets, kept apart from the libFuzzer entry points so that the normal test
// build can replay the committed corpus and crash inputs through exactly the same code.
// Each function takes arbitrary bytes, must never crash on them, and aborts with a message when
// one of the parser's own promises is broken.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zorvel::fuzz {

// The bytes are a whole archive file, read as an index of layout A and of layout B.
void FuzzArchiveIndex(const uint8_t* data, size_t size);
// The bytes are decoded `_config` text.
void FuzzConfig(const uint8_t* data, size_t size);
// The bytes, split at 0 bytes, are expressions, assignment lists and conditions.
void FuzzExpressions(const uint8_t* data, size_t size);
// The bytes are the decoded text of the MAIN script of a small game, played headless for a
// bounded number of idle passes with clicks.
void FuzzScript(const uint8_t* data, size_t size);
// The bytes are a GRA picture entry; then, read as a small picture (two bytes of size, pixels
// repeating the rest), they must come back exactly from the packer.
void FuzzGraPicture(const uint8_t* data, size_t size);
// The bytes are a JPEG picture entry.
void FuzzJpeg(const uint8_t* data, size_t size);
// The bytes are a panic.bmp file.
void FuzzBmp(const uint8_t* data, size_t size);
// The bytes are an animated cursor file, then (from the second byte) one ICO/CUR file.
void FuzzAni(const uint8_t* data, size_t size);
// The bytes are the decoded "map" script; the first line names the map to read, and the
// entries' branch names are put through the derivation a replaced name gets.
void FuzzMapScript(const uint8_t* data, size_t size);

// The bytes are a settings file on disk, read through the INI store into the settings; then one
// value is changed as the settings dialog would, and the others must read back unchanged.
void FuzzSettingsStore(const uint8_t* data, size_t size);
// The bytes are a PO translation: read, written out and read back the same; built into a
// translation; and, as a script, walked for its translatable texts.
void FuzzPoFile(const uint8_t* data, size_t size);
// The bytes are a headless events file; what parses is replayed through the headless platform.
void FuzzEventsFile(const uint8_t* data, size_t size);
// The bytes are the decoded text of a story script (and, for odd lengths, of a second script and
// of the map and viewer definitions) that the lint walks.
void FuzzLintScript(const uint8_t* data, size_t size);
// The bytes are an archive file, indexed by the tool with its layout guessed and forced.
void FuzzToolArchive(const uint8_t* data, size_t size);
// The bytes are a stored script to decode, and UTF-8 script text to encode.
void FuzzScriptCodec(const uint8_t* data, size_t size);
// The bytes are the argument of `scroll` and of `shake` (placed at an offset into the command
// line that the first byte picks); both commands then run headless on a virtual clock.
void FuzzTransitionArgs(const uint8_t* data, size_t size);

// Register bytes, then selector bytes with 0-ended arguments for the layer commands, run over a
// small picture archive.
void FuzzLayerArgs(const uint8_t* data, size_t size);

// The first line names a block of the "effect" script that the rest holds; it is parsed and
// played on the virtual clock (in full screen for inputs of odd length).
void FuzzEffectScript(const uint8_t* data, size_t size);
// Window geometry, mark place, screen mode and memory-save bytes, then selector bytes with
// 0-ended arguments for bg_anim, manpu and sprmv, the idle pass's frame change and the timer.
void FuzzEffectArgs(const uint8_t* data, size_t size);

// The bytes are a WADY sound decoded whole in both codings; then the two decoders run over them
// into small guarded buffers; then, read as 16-bit samples, they go through both encoders and
// must decode back to as many samples.
void FuzzWady(const uint8_t* data, size_t size);
// The bytes are an Ogg Vorbis entry (a voice or Ogg music).
void FuzzOgg(const uint8_t* data, size_t size);

// The bytes are a saved game's slot file, loaded into a fresh state and written out again.
void FuzzSlotFile(const uint8_t* data, size_t size);
// The bytes are a "save0.dat" that the global data is synchronised with.
void FuzzGlobalFile(const uint8_t* data, size_t size);
// The bytes are the decoded "view" script: its viewers are parsed, then one is opened and played
// with the pointer.
void FuzzViewDefinition(const uint8_t* data, size_t size);

// The bytes are a roll script, played by `roll` on a virtual clock.
void FuzzRollScript(const uint8_t* data, size_t size);
// The bytes are the decoded "endroll" script, played by `special 5`.
void FuzzEndRoll(const uint8_t* data, size_t size);
// The bytes are the decoded "sroll" script, played by `sroll`.
void FuzzScrollRoll(const uint8_t* data, size_t size);
// The bytes are the decoded "sys_seltree" script; every tree is opened and pointed at.
void FuzzSelectionTree(const uint8_t* data, size_t size);

// The bytes are an animation entry: its header and tables read, its first frames decoded and
// drawn as `anim` and as `animq` would.
void FuzzAnimation(const uint8_t* data, size_t size);
// The bytes, cut at 0 bytes, are arguments of `obj_`.
void FuzzObjectArgs(const uint8_t* data, size_t size);

// The bytes are the decoded "sys_flashbak": read, every listed scene unlocked, and every
// category and sub-page of the menu drawn.
void FuzzFlashbackList(const uint8_t* data, size_t size);
// The bytes are a "kaiso.dat" read at start-up.
void FuzzKaisoFile(const uint8_t* data, size_t size);

}  // namespace zorvel::fuzz
