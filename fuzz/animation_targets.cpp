// Fuzz target bodies for animations and objects: the animation entry (header, tables and
// frames, drawn plain and doubled) and the argument of `obj_`.
#include <cstring>
#include <string>

#include "fuzz_check.h"
#include "graphics/animation.h"
#include "graphics/objects.h"
#include "script/decimal.h"
#include "targets.h"

namespace zorvel::fuzz {

void FuzzAnimation(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  AnimationEntry entry;
  std::string why;
  const bool read = ReadAnimationEntry(bytes, entry, why);
  if (read) {
    FUZZ_CHECK(entry.frameCount > 0 && entry.period > 0);
    FUZZ_CHECK(entry.frames.size() == static_cast<size_t>(entry.frameCount));
    FUZZ_CHECK(AnimationTablesEnd(entry.frameCount) <= size);
    FUZZ_CHECK(entry.soundSize == 0 || uint64_t{entry.soundOffset} + entry.soundSize <= size);
    for (const AnimationFrame& f : entry.frames) {
      FUZZ_CHECK(uint64_t{f.offset} + f.size <= size);
    }
  } else {
    FUZZ_CHECK(!why.empty());
  }
  // A handful of frames is enough to reach every path; a thousand references to one large
  // JPEG would only measure the decoder.
  constexpr int32_t kFrames = 12;
  for (const bool doubled : {false, true}) {
    Surface window(800, 600);
    std::string playWhy;
    const bool played = Animation::PlayFromMemory(bytes, doubled, window, kFrames, playWhy);
    if (!doubled) FUZZ_CHECK(played == read);
    FUZZ_CHECK(window.Width() == 800 && window.Height() == 600);
  }
}

void FuzzObjectArgs(const uint8_t* data, size_t size) {
  // The bytes, cut at 0 bytes, are `obj_` arguments.
  const std::string text(reinterpret_cast<const char*>(data), size);
  const Hook<int32_t(const char*)> evaluate = [](const char* t) { return ReadDecimal(t); };
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\0', start);
    if (end == std::string::npos) end = text.size();
    const std::string arg = text.substr(start, end - start);
    const ObjectCommand c = ParseObjectCommand(arg.c_str(), evaluate);
    if (c.verb != ObjectVerb::kLoad) FUZZ_CHECK(c.name.empty());
    if (c.verb == ObjectVerb::kNone) FUZZ_CHECK(c.n == 0 && c.x == 0 && c.y == 0 && !c.wait);
    FUZZ_CHECK(c.name.size() <= arg.size());
    start = end + 1;
  }
}

}  // namespace zorvel::fuzz
