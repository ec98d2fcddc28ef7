// Objects: the command `obj_` places small masked pictures over the window without touching the
// layers (show, freeze into the screen, erase), and builds whole frames in a back picture before
// showing them at once. With the waits of `set`, `fix` and `era`, scripts make simple
// frame-by-frame animations out of them.
//
// Touches: ScreenSurface (read; written by `fix` and read by `b_reset`), the window through the
// platform's presents, the FrameClock for the waits, and the picture loader. Nothing here is
// saved with the game.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "core/hook.h"
#include "graphics/frame_clock.h"
#include "graphics/picture.h"
#include "graphics/screen.h"
#include "platform/platform.h"
#include "script/commands.h"

namespace zorvel {

constexpr int kObjectSlots = 32;

struct ObjectSlot {
  bool loaded = false;
  std::string name;  // Shift-JIS, as the script gave it
  // Colour above mask; the work picture is the colour part's size.
  Surface picture;
  Surface work;
};

enum class ObjectVerb {
  kNone,
  kLoad,
  kDel,
  kSet,
  kEra,
  kBMake,
  kBEnd,
  kBReset,
  kBSet,
  kBShow,
  kFix
};

// One `obj_` argument: the sub-command word (compared without case, the first of the list
// that matches) and its numbers, each an expression, in turn after the word and after each ",".
struct ObjectCommand {
  ObjectVerb verb = ObjectVerb::kNone;
  int32_t n = 0;
  int32_t x = 0;
  int32_t y = 0;
  std::optional<int32_t> wait;
  std::string name;  // "load": the text after the first ","
};
ObjectCommand ParseObjectCommand(const char* arg, const Hook<int32_t(const char*)>& evaluate);

struct ObjectHooks {
  Hook<int32_t(const char*)> evaluate;
};

class Objects {
 public:
  // Waits of more than this are damage, not timing: the window must not sit unanswerable.
  static constexpr int32_t kLongestWait = 10 * 60 * 1000;

  Objects(Screen& screen, PictureLoader& pictures, FrameClock& clock, Platform& platform,
          ObjectHooks hooks);

  void Register(CommandTable& table);
  // Start-up: every slot unloaded, no back picture.
  void InitObjects();

  // `obj_` with the text after "obj_". Never ends the interpreter step.
  int ObjCommand(const char* arg);

  const ObjectSlot& Slot(int n) const { return slots_[static_cast<size_t>(n)]; }
  bool BackPictureExists() const { return backExists_; }
  const Surface& BackPicture() const { return back_; }

 private:
  void Run(const ObjectCommand& c);
  // The object over `under` at (x, y), into its work picture.
  void Compose(ObjectSlot& slot, const Surface& under, int32_t x, int32_t y);
  // The work picture onto the window at (x, y).
  void ShowWork(const ObjectSlot& slot, int32_t x, int32_t y);
  // Until `wait` ms after `start`, with the window alive.
  void WaitFrom(uint32_t start, std::optional<int32_t> wait);
  ObjectSlot* LoadedSlot(int32_t n);

  Screen& screen_;
  PictureLoader& pictures_;
  FrameClock& clock_;
  Platform& platform_;
  ObjectHooks hooks_;

  std::array<ObjectSlot, kObjectSlots> slots_;
  Surface back_;
  bool backExists_ = false;
};

}  // namespace zorvel
