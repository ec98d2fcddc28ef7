#include <algorithm>
#include <cstdint>
#include <cstring>

#include "core/json_writer.h"
#include "engine/engine.h"
#include "text/sjis.h"

namespace zorvel {

namespace {

std::string Text(const char* field, size_t size) {
  return SjisToUtf8(std::string(field, strnlen(field, size)));
}

template <size_t Bits>
void BitList(JsonWriter& j, const char* key, const BitSet<Bits>& bits) {
  j.BeginArray(key);
  // Clear words skipped whole: the read marks alone are 80,000 bits, nearly all clear.
  const size_t size = bits.bytes.size();
  for (size_t byte = 0; byte < size;) {
    uint64_t word = 0;
    const size_t take = std::min<size_t>(8, size - byte);
    std::memcpy(&word, bits.bytes.data() + byte, take);
    if (word != 0) {
      for (size_t i = byte * 8; i < (byte + take) * 8; ++i) {
        if (bits.Test(static_cast<int64_t>(i))) j.Number(static_cast<int64_t>(i));
      }
    }
    byte += take;
  }
  j.EndArray();
}

template <size_t N>
void NonZeroMap(JsonWriter& j, const char* key, const std::array<int32_t, N>& values) {
  j.BeginObject(key);
  for (size_t i = 0; i < N; ++i) {
    if (values[i] != 0) j.Number(std::to_string(i).c_str(), values[i]);
  }
  j.EndObject();
}

// Every key of a table of text and number members, by name.
template <typename Keys, typename Record>
void KeyedValues(JsonWriter& j, const char* key, const Keys& keys, const Record& record) {
  j.BeginObject(key);
  for (const auto& k : keys) {
    if (k.text) {
      j.String(k.name, SjisToUtf8(record.*k.text));
    } else {
      j.Number(k.name, record.*k.number);
    }
  }
  j.EndObject();
}

// The history view and the page ring, the recorded pages oldest first.
void DumpBacklog(JsonWriter& j, const Backlog& backlog, bool open) {
  const PageRing& ring = backlog.Ring();
  j.BeginObject("backlog")
      .Bool("open", open)
      .Number("scrollOffset", backlog.ScrollOffset())
      .Number("rewindDepth", backlog.RewindDepth())
      .String("replayedVoice", SjisToUtf8(backlog.ReplayedVoice()))
      .Number("pageCounter", ring.pageCounter)
      .BeginArray("pages");
  const int32_t pages = std::clamp(ring.pageCounter, 0, kPageRingSize);
  for (int32_t k = ring.pageCounter - pages; k < ring.pageCounter; ++k) {
    const PageRecord& r = ring.records[static_cast<size_t>(k % kPageRingSize)];
    j.BeginObject()
        .Number("page", k)
        .String("names", Text(r.names, sizeof r.names))
        .Number("overlay", r.overlay)
        .Number("novel", r.novel)
        .String("voices", Text(r.voices, sizeof r.voices))
        .BeginArray("text");
    for (const auto& row : r.text) {
      std::string cells;
      for (const char c : row) {
        if (c != 0) cells.push_back(c);
      }
      j.String(SjisToUtf8(cells));
    }
    j.EndArray().EndObject();
  }
  j.EndArray().EndObject();
}

// The running background animation (frames in use 0: none) with the names its slots hold,
// and the mark icon.
void DumpEffects(JsonWriter& j, const Effects& e, const EngineState& s) {
  j.BeginObject("effects").BeginObject("backgroundAnimation");
  j.Bool("running", e.BackgroundAnimationRunning())
      .Number("framesInUse", e.FramesInUse())
      .Number("createdSlots", e.CreatedSlots())
      .Number("speed", e.Speed())
      .Number("position", e.Position())
      .Number("shownFrame", e.ShownFrame());
  j.BeginArray("sequence");
  for (const int f : e.Sequence()) j.Number(f);
  j.EndArray().BeginArray("slots");
  for (int i = 0; i < e.CreatedSlots(); ++i) j.String(SjisToUtf8(e.SlotName(i)));
  j.EndArray().EndObject();
  j.BeginObject("mark")
      .Bool("shown", e.MarkShown())
      .Number("mode", e.MarkMode())
      .Number("x", s.vars.S[32])
      .Number("y", s.vars.S[33])
      .Number("width", e.MarkWidth())
      .Number("height", e.MarkHeight())
      .EndObject();
  j.EndObject();
}

// The last click map: its entries (the branch lines' names in force), the highlight, the timeout
// still to run, and the meter's shown image.
void DumpMap(JsonWriter& j, const ClickMap& map, const Cursors& cursors) {
  j.BeginObject("map")
      .Bool("waiting", map.Waiting())
      .Number("count", map.Count())
      .Number("highlighted", map.Highlighted())
      .Number("timeoutTicks", map.TimeoutTicks())
      .Number("timeoutEntry", map.TimeoutEntry())
      .Number("meterShown", cursors.MeterShown())
      .BeginArray("entries");
  for (int i = 0; i < map.Count(); ++i) {
    const MapEntry& e = map.Entry(i);
    j.BeginObject()
        .String("name", Text(e.name, sizeof e.name))
        .Bool("enabled", e.enabled)
        .Number("x1", e.x1)
        .Number("y1", e.y1)
        .Number("x2", e.x2)
        .Number("y2", e.y2)
        .Number("cursor", e.cursor)
        .Number("labelLeft", e.labelLeft)
        .Number("labelRight", e.labelRight)
        .Number("labelTop", e.labelTop)
        .Number("target", e.target)
        .EndObject();
  }
  j.EndArray().EndObject();
}

}  // namespace

std::string Engine::DumpState(int exitCode) const {
  const EngineState& s = s_;
  JsonWriter j;
  j.BeginObject();
  j.Number("exitCode", exitCode);
  j.BeginArray("messageBoxes");
  for (const ShownMessageBox& box : messageBoxes_) {
    j.BeginObject()
        .String("text", box.text)
        .String("caption", box.caption)
        .String("answer", box.ok ? "ok" : "cancel")
        .EndObject();
  }
  j.EndArray();

  const int depth = std::clamp(s.callDepth, 0, kMaxCallDepth);
  j.BeginObject("script")
      .String("name", Text(s.scriptName, kNameSize))
      .String("loaded", Text(s.loadedScriptName, kNameSize))
      .Number("pos", s.scriptPos)
      .Number("lineStart", s.lineStart)
      .Bool("needLine", s.needLine)
      .Bool("interpreterOn", s.interpreterOn)
      .Number("callDepth", s.callDepth);
  j.BeginArray("callNames");
  for (int i = 0; i < depth; ++i) j.String(Text(s.callNames[i], kNameSize));
  j.EndArray();
  j.BeginArray("callReturns");
  for (int i = 0; i < depth; ++i) j.Number(s.callReturns[i]);
  j.EndArray();
  j.EndObject();

  j.BeginObject("waits")
      .Number("waitKind", s.waitKind)
      .Number("waitTicks", s.waitTicks)
      .Number("sleepCount", s.sleepCount)
      .Number("autoWait", s.autoWait)
      .Number("charDelay", s.charDelay)
      .Bool("waitVoiceEnd", s.waitVoiceEnd)
      .Bool("finishPage", s.finishPage)
      .Number("clickGuard", s.clickGuard)
      .Number("closeRequest", s.closeRequest)
      .EndObject();

  j.BeginObject("modes")
      .Number("screenMode", s.screenMode)
      .Number("interactionMode", s.interactionMode)
      .Bool("backlogOpen", s.backlogOpen)
      .Number("questionKind", s.questionKind)
      .Number("skipMode", s.skipMode)
      .Bool("textWindowOn", s.textWindowOn)
      .Bool("busy", s.busy)
      .Bool("animating", s.animating)
      .Bool("panicActive", s.panicActive)
      .Number("replayOrigin", s.replayOrigin)
      .Number("autoLevel", s.vars.S[kAutoLevel])
      .Number("lastAutoLevel", s.vars.S[kLastAutoLevel])
      .Bool("lastMarkRead", s.lastMarkRead)
      .Bool("menuOpen", input_.MenuOpen())
      .Bool("fullScreen", input_.FullScreen())
      .Bool("toolbarLocked", s.toolbarLocked)
      .Number("hoverButton", quickBar_.HoverButton())
      .Number("questionAnswer", quickBar_.Answer())
      .String("dialog", ui_.DialogName())
      .Number("mapCursor", cursors_.MapCursor())
      .EndObject();
  j.BeginArray("mapCursors");
  for (const int n : cursors_.LoadedCursors()) j.Number(n);
  j.EndArray();
  DumpMap(j, clickMap_, cursors_);

  j.BeginObject("vars");
  BitList(j, "F", s.vars.F);
  BitList(j, "E", s.vars.E);
  BitList(j, "T", s.vars.T);
  BitList(j, "readMarks", s.vars.readMarks);
  BitList(j, "seen", s.vars.seen);
  BitList(j, "unlocked", s.vars.unlocked);
  NonZeroMap(j, "V", s.vars.V);
  NonZeroMap(j, "S", s.vars.S);
  j.BeginArray("G");
  for (const int32_t g : s.vars.G) j.Number(g);
  j.EndArray();
  j.BeginArray("strings");
  for (const auto& str : s.stringVars) j.String(Text(str, kStringVarSize));
  j.EndArray();
  j.EndObject();

  j.BeginObject("text");
  j.BeginArray("page");
  for (const auto& row : s.pageText) {
    std::string cells;
    for (const char c : row) {
      if (c != 0) cells.push_back(c);
    }
    j.String(SjisToUtf8(cells));
  }
  j.EndArray();
  j.Number("row", s.textRow)
      .Number("column", s.textColumn)
      .String("speaker", Text(s.speakerName, sizeof s.speakerName))
      .String("titleText", Text(s.titleText, sizeof s.titleText));
  j.EndObject();

  j.BeginArray("history");
  const int lines = std::clamp(s.historyLines, 0, kHistoryCommitted);
  for (int i = 0; i < lines; ++i) {
    j.String(Text(s.history + i * kHistorySlotSize, kHistorySlotSize));
  }
  j.EndArray();
  DumpBacklog(j, backlog_, s.backlogOpen);
  // The last choice list: its texts, the highlighted entry and the sound it asked for.
  j.BeginObject("choices")
      .Number("count", choices_.Count())
      .Number("highlighted", choices_.Current())
      .String("lastSound", SjisToUtf8(choices_.LastSound()))
      .BeginArray("texts");
  for (int i = 0; i < choices_.Count(); ++i) j.String(SjisToUtf8(choices_.Text(i)));
  j.EndArray().EndObject();

  // The staff roll: its rectangle and alignment, the text block, the time mark, and where the
  // scroll roll and the end roll have got to.
  const StaffRoll& roll = staffRoll_;
  j.BeginObject("roll").BeginArray("rect");
  for (const int v : {roll.Rect().x1, roll.Rect().y1, roll.Rect().x2, roll.Rect().y2}) j.Number(v);
  j.EndArray()
      .Number("align", roll.Alignment())
      .Bool("centreVertically", roll.VerticalCentring())
      .BeginArray("block");
  for (const std::string& line : roll.Block()) j.String(SjisToUtf8(line));
  j.EndArray()
      .Number("timeMark", roll.TimeMark())
      .Bool("paused", roll.Paused())
      .Bool("stopped", roll.Stopped())
      .Number("srollPosition", roll.ScrollPosition())
      .Number("srollLines", roll.ScrollLines())
      .Number("endRollPosition", roll.EndRollPosition())
      .EndObject();
  // The selection tree: the tree shown (-1 none), its rows and second column as node numbers
  // with their captions, and the target a click would call.
  const SelectionTree& tree = tree_;
  auto rows = [&](const char* key, const std::vector<int>& nodes) {
    j.BeginArray(key);
    for (const int n : nodes) {
      const TreeNode* node = tree.Node(n);
      j.BeginObject()
          .Number("node", n)
          .String("caption", node ? SjisToUtf8(node->caption) : std::string())
          .String("target", node ? SjisToUtf8(node->target) : std::string())
          .EndObject();
    }
    j.EndArray();
  };
  j.BeginObject("tree").Number("tree", tree.Current());
  rows("rows", tree.Rows());
  rows("subRows", tree.SubRows());
  j.Number("offset", tree.Offset()).String("pending", SjisToUtf8(tree.Pending())).EndObject();

  // The characters of the arrangement in position order; a position left empty shows as "".
  j.BeginObject("layers")
      .String("background", Text(s.backgroundName, sizeof s.backgroundName))
      .BeginArray("characters");
  for (int p = 0; p < std::min(layers_.CharacterCount(), 4); ++p) {
    j.String(Text(layers_.PositionName(p), kNameSize));
  }
  j.EndArray().String("overlay", Text(s.overlayName, sizeof s.overlayName)).EndObject();
  DumpEffects(j, effects_, s);
  j.BeginObject("sound")
      .Number("music", s.vars.S[5])
      .String("lastVoice", Text(s.lastVoice, sizeof s.lastVoice))
      .String("loop", SjisToUtf8(sound_.LoopEffect()))
      .BeginArray("slots");
  for (int slot = 0; slot < Mixer::kSlots; ++slot) {
    j.BeginObject()
        .String("name", SjisToUtf8(sound_.Device().Label(slot)))
        .Bool("playing", sound_.Device().Playing(slot))
        .EndObject();
  }
  j.EndArray().EndObject();

  // The gallery viewer: zero and empty values while it is closed.
  const bool viewerOpen = gallery_.Open();
  j.BeginObject("viewer")
      .String("name", viewerOpen ? SjisToUtf8(gallery_.Definition().name) : "")
      .Number("type", viewerOpen ? gallery_.Definition().type : 0)
      .Number("page", viewerOpen ? gallery_.Page() : 0)
      .Number("hover", viewerOpen ? gallery_.HoverCode() : 0)
      .String("fullView", viewerOpen ? SjisToUtf8(gallery_.FullViewPicture()) : "")
      .EndObject();
  // The loaded object slots and the back picture; the animation playing (or played last).
  j.BeginObject("objects").BeginArray("slots");
  for (int n = 0; n < kObjectSlots; ++n) {
    const ObjectSlot& slot = objects_.Slot(n);
    if (!slot.loaded) continue;
    j.BeginObject()
        .Number("n", n)
        .String("name", SjisToUtf8(slot.name))
        .Number("width", slot.work.Width())
        .Number("height", slot.work.Height())
        .EndObject();
  }
  j.EndArray().Bool("back", objects_.BackPictureExists()).EndObject();
  j.BeginObject("animation")
      .Bool("playing", animation_.Playing())
      .String("name", animation_.Name())
      .Bool("doubled", animation_.Doubled())
      .Number("frame", animation_.Frame())
      .Number("frames", animation_.FrameCount())
      .Number("drawn", animation_.FramesDrawn())
      .EndObject();
  recollection_.Dump(j);

  KeyedValues(j, "config", ConfigKeys(), config_);
  j.BeginArray("speakers");
  for (int n = 0; n < kSpeakerEntries; ++n) {
    const SpeakerColour& sp = config_.speakers[n];
    if (!sp.defined) continue;
    j.BeginObject()
        .Number("n", n)
        .String("name", SjisToUtf8(sp.name))
        .Number("r", sp.r)
        .Number("g", sp.g)
        .Number("b", sp.b)
        .EndObject();
  }
  j.EndArray();
  KeyedValues(j, "settings", SettingKeys(), settings_);
  j.EndObject();
  return j.Text() + "\n";
}

}  // namespace zorvel
