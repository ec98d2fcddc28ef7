// Hooks for a subsystem tested or measured on its own, with no engine around it: every need is
// met by a call that does nothing and answers zero, false or empty. Each struct is spelled out
// member by member, so a hook added to a subsystem fails to compile here until it is decided.
#pragma once

#include "audio/music.h"
#include "extras/gallery.h"
#include "extras/recollection.h"
#include "extras/selection_tree.h"
#include "extras/staff_roll.h"
#include "graphics/effects.h"
#include "graphics/layers.h"
#include "graphics/message_window.h"
#include "graphics/transitions.h"
#include "text/message_text.h"
#include "ui/backlog.h"

namespace zorvel::test {

// Any answer a hook may give, as its zero value.
struct Zero {
  template <class T>
  operator T() const {  // NOLINT(google-explicit-constructor)
    return T{};
  }
};

struct Inert {
  template <class... A>
  Zero operator()(A&&...) const {
    return {};
  }
};

inline LayerHooks InertLayerHooks() {
  return LayerHooks{.runTransition = Inert{},
                    .backgroundAnimationRunning = Inert{},
                    .removeMarkIcon = Inert{},
                    .buildWindowPicture = Inert{},
                    .drawWindowAndText = Inert{},
                    .galleryIndex = [](const std::string&) { return -1; },
                    .galleryCount = Inert{},
                    .countCharacterChange = Inert{},
                    .pumpEvents = [] { return true; },
                    .skipping = Inert{},
                    .evaluate = Inert{}};
}

inline TransitionHooks InertTransitionHooks() {
  return TransitionHooks{
      .updateToolbar = Inert{}, .drawWindowAndText = Inert{}, .loadPicture = Inert{}};
}

inline MessageWindowHooks InertMessageWindowHooks() {
  return MessageWindowHooks{.redrawText = Inert{},
                            .drawQuickBar = Inert{},
                            .drawMeter = Inert{},
                            .backgroundAnimationRunning = Inert{},
                            .backgroundFrames = Inert{}};
}

inline MessageTextHooks InertMessageTextHooks() {
  return MessageTextHooks{.drawWindowAndText = Inert{},
                          .drawQuickBar = Inert{},
                          .crossfadeByType = Inert{},
                          .backgroundAnimationRunning = Inert{},
                          .backgroundFrames = Inert{},
                          .skipping = Inert{},
                          .closeBacklogLine = Inert{}};
}

inline EffectHooks InertEffectHooks() {
  return EffectHooks{
      .loadConfigScript = [](const char*) -> const std::vector<uint8_t>* { return nullptr; },
      .loadPicture = Inert{},
      .buildWindowPicture = Inert{},
      .buildScreen = Inert{},
      .openTextPage = Inert{},
      .updateToolbar = Inert{},
      .composeScene = Inert{},
      .loadCharacters = Inert{},
      .resetPositions = Inert{},
      .closeMessageWindow = Inert{},
      .reportError = Inert{}};
}

inline MusicHooks InertMusicHooks() {
  return MusicHooks{.soundReady = [] { return true; },
                    .windowActive = [] { return true; },
                    .refreshMasterVolume = Inert{}};
}

inline BacklogHooks InertBacklogHooks() {
  return BacklogHooks{.playSystemSound = Inert{},
                      .updateToolbar = Inert{},
                      .drawQuickBar = Inert{},
                      .buildWindowPicture = Inert{},
                      .drawSpeakerName = Inert{},
                      .updateScreen = Inert{}};
}

inline StaffRollHooks InertStaffRollHooks() {
  return StaffRollHooks{
      .processMessages = [] { return true; },
      .loadConfigScript = [](const char*) -> const std::vector<uint8_t>* { return nullptr; },
      .loadPicture = Inert{},
      .music = Inert{},
      .updateToolbar = Inert{},
      .sepiaFade = Inert{}};
}

inline SelectionTreeHooks InertSelectionTreeHooks() {
  return SelectionTreeHooks{
      .loadConfigScript = [](const char*) -> const std::vector<uint8_t>* { return nullptr; },
      .loadPicture = Inert{},
      .closeMessageWindow = Inert{},
      .loadScript = Inert{},
      .gotoLabel = Inert{},
      .resetWaits = Inert{},
      .restoreTextColour = Inert{}};
}

inline GalleryHooks InertGalleryHooks() {
  return GalleryHooks{.music = Inert{},
                      .updateToolbar = Inert{},
                      .enableSaveItems = Inert{},
                      .enableSaveEdit = Inert{},
                      .resetWaits = Inert{},
                      .gotoLabel = Inert{},
                      .stopLoop = Inert{},
                      .running = [] { return true; }};
}

inline RecollectionHooks InertRecollectionHooks() {
  return RecollectionHooks{.resetWaits = Inert{},
                           .updateToolbar = Inert{},
                           .music = Inert{},
                           .stopLoopingEffect = Inert{},
                           .showReplayItems = Inert{},
                           .enableSaveItems = Inert{},
                           .askPlaylistName = Inert{}};
}

}  // namespace zorvel::test
