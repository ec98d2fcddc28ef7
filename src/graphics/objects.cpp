#include "graphics/objects.h"

#include <algorithm>
#include <cstring>

#include "graphics/pixel_ops.h"

namespace zorvel {

namespace {

struct VerbWord {
  const char* word;
  ObjectVerb verb;
};

// In the order they are tried: the first whose letters begin the argument wins.
constexpr VerbWord kVerbs[] = {
    {"load ", ObjectVerb::kLoad},     {"del ", ObjectVerb::kDel},
    {"set ", ObjectVerb::kSet},       {"era ", ObjectVerb::kEra},
    {"b_make", ObjectVerb::kBMake},   {"b_end", ObjectVerb::kBEnd},
    {"b_reset", ObjectVerb::kBReset}, {"b_set ", ObjectVerb::kBSet},
    {"b_show", ObjectVerb::kBShow},   {"fix", ObjectVerb::kFix},
};

char Fold(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

bool StartsWithFolded(const char* text, const char* word) {
  for (; *word; ++word, ++text) {
    if (*text == 0 || Fold(*text) != Fold(*word)) return false;
  }
  return true;
}

bool ValidSlot(int32_t n) {
  return n >= 0 && n < kObjectSlots;
}

}  // namespace

ObjectCommand ParseObjectCommand(const char* arg, const Hook<int32_t(const char*)>& evaluate) {
  ObjectCommand c;
  const char* p = nullptr;
  for (const VerbWord& v : kVerbs) {
    if (StartsWithFolded(arg, v.word)) {
      c.verb = v.verb;
      p = arg + std::strlen(v.word);
      break;
    }
  }
  if (c.verb == ObjectVerb::kNone) return c;
  if (c.verb == ObjectVerb::kFix && *p != 0) ++p;
  switch (c.verb) {
    case ObjectVerb::kLoad: {
      c.n = evaluate(p);
      if (const char* comma = std::strchr(p, ',')) {
        const char* start = comma + 1;
        const char* end = start + std::strlen(start);
        // A blank after the name is the script's layout, not part of the name.
        while (end > start && (end[-1] == ' ' || end[-1] == '\t')) --end;
        c.name.assign(start, end);
      }
      return c;
    }
    case ObjectVerb::kDel:
      c.n = evaluate(p);
      return c;
    case ObjectVerb::kSet:
    case ObjectVerb::kEra:
    case ObjectVerb::kFix:
    case ObjectVerb::kBSet: {
      int32_t* fields[] = {&c.n, &c.x, &c.y};
      const char* at = p;
      for (int i = 0; i < 3 && at != nullptr; ++i) {
        *fields[i] = evaluate(at);
        at = std::strchr(at, ',');
        if (at != nullptr) ++at;
      }
      if (at != nullptr && c.verb != ObjectVerb::kBSet) c.wait = evaluate(at);
      return c;
    }
    default:
      return c;
  }
}

Objects::Objects(Screen& screen, PictureLoader& pictures, FrameClock& clock, Platform& platform,
                 ObjectHooks hooks)
    : screen_(screen),
      pictures_(pictures),
      clock_(clock),
      platform_(platform),
      hooks_(std::move(hooks)) {}

void Objects::Register(CommandTable& table) {
  table.Register(kObj, [this](const char* arg) { return ObjCommand(arg); });
}

void Objects::InitObjects() {
  for (ObjectSlot& slot : slots_) slot = ObjectSlot{};
  back_ = Surface();
  backExists_ = false;
}

int Objects::ObjCommand(const char* arg) {
  Run(ParseObjectCommand(arg, hooks_.evaluate));
  return 0;
}

ObjectSlot* Objects::LoadedSlot(int32_t n) {
  if (!ValidSlot(n) || !slots_[static_cast<size_t>(n)].loaded) return nullptr;
  return &slots_[static_cast<size_t>(n)];
}

void Objects::Compose(ObjectSlot& slot, const Surface& under, int32_t x, int32_t y) {
  Surface& work = slot.work;
  if (work.Empty()) return;
  CopyView(work, under, x, y);
  const int h = work.Height();
  // Whole 8-byte groups only: the bytes of a row past the last group keep what lay beneath.
  const int groups = work.Width() * 3 / 8;
  if (slot.picture.Height() < 2 * h || slot.picture.Width() < work.Width()) return;
  for (int r = 0; r < h; ++r) {
    uint8_t* row = work.Row(r);
    BlendMasked(row, row, slot.picture.Row(r), slot.picture.Row(h + r), groups);
  }
}

void Objects::ShowWork(const ObjectSlot& slot, int32_t x, int32_t y) {
  const Surface& work = slot.work;
  if (work.Empty()) return;
  Surface shown;
  platform_.ShownGameArea(shown);
  const int64_t x0 = std::max<int64_t>(x, 0);
  const int64_t y0 = std::max<int64_t>(y, 0);
  const int64_t x1 = std::min<int64_t>(int64_t{x} + work.Width(), shown.Width());
  const int64_t y1 = std::min<int64_t>(int64_t{y} + work.Height(), shown.Height());
  if (x0 >= x1 || y0 >= y1) return;
  Paste(shown, work, x, y);
  platform_.PresentRect(shown, static_cast<int>(x0), static_cast<int>(y0),
                        static_cast<int>(x1 - x0), static_cast<int>(y1 - y0));
}

void Objects::WaitFrom(uint32_t start, std::optional<int32_t> wait) {
  if (!wait || *wait <= 0) return;
  const uint32_t deadline = start + static_cast<uint32_t>(std::min(*wait, kLongestWait));
  // In slices, so that a long wait keeps the window answering and a run that ends stops it.
  constexpr int32_t kSlice = 100;
  while (static_cast<int32_t>(deadline - clock_.Ticks()) > 0) {
    const uint32_t now = clock_.Ticks();
    clock_.WaitUntil(static_cast<int32_t>(deadline - now) > kSlice ? now + kSlice : deadline);
    if (platform_.ShouldStop() || platform_.TerminationRequested()) return;
  }
}

void Objects::Run(const ObjectCommand& c) {
  switch (c.verb) {
    case ObjectVerb::kNone:
      return;
    case ObjectVerb::kLoad: {
      if (!ValidSlot(c.n)) return;
      ObjectSlot& slot = slots_[static_cast<size_t>(c.n)];
      slot.loaded = true;
      if (pictures_.LoadPicture(c.name.c_str(), slot.picture)) slot.name = c.name;
      slot.work.Resize(slot.picture.Width(), slot.picture.Height() / 2);
      return;
    }
    case ObjectVerb::kDel:
      if (ObjectSlot* slot = LoadedSlot(c.n)) *slot = ObjectSlot{};
      return;
    case ObjectVerb::kSet:
    case ObjectVerb::kFix:
    case ObjectVerb::kEra: {
      if (!ValidSlot(c.n)) return;
      clock_.StartFrameClock();
      const uint32_t start = clock_.Ticks();
      if (ObjectSlot* slot = LoadedSlot(c.n)) {
        if (c.verb == ObjectVerb::kEra) {
          if (!slot->work.Empty()) CopyView(slot->work, screen_.screenSurface, c.x, c.y);
        } else {
          Compose(*slot, screen_.screenSurface, c.x, c.y);
        }
        ShowWork(*slot, c.x, c.y);
        if (c.verb == ObjectVerb::kFix && !slot->work.Empty()) {
          Paste(screen_.screenSurface, slot->work, c.x, c.y);
        }
      }
      WaitFrom(start, c.wait);
      return;
    }
    case ObjectVerb::kBMake:
      if (!backExists_) {
        back_.Resize(kScreenWidth, kScreenHeight);
        back_.Fill(0, 0, 0);
        backExists_ = true;
        clock_.StartFrameClock();
      }
      return;
    case ObjectVerb::kBEnd:
      back_ = Surface();
      backExists_ = false;
      return;
    case ObjectVerb::kBReset:
      if (backExists_) {
        clock_.StartFrameClock();
        CopyView(back_, screen_.screenSurface, 0, 0);
      }
      return;
    case ObjectVerb::kBSet:
      if (!backExists_) return;
      if (ObjectSlot* slot = LoadedSlot(c.n)) {
        Compose(*slot, back_, c.x, c.y);
        if (!slot->work.Empty()) Paste(back_, slot->work, c.x, c.y);
      }
      return;
    case ObjectVerb::kBShow:
      if (backExists_) platform_.Present(back_);
      return;
  }
}

}  // namespace zorvel
