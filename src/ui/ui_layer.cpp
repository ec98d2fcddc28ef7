#include "ui/ui_layer.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cstdint>
#include <memory>
#include <mutex>
#include <type_traits>
#include <utility>

#include "platform/files.h"
#include "text/font.h"
#include "ui/imgui_engine.h"

namespace zorvel {

namespace {

constexpr float kFontPixels = 14.0f;
constexpr float kDialogFontPixels = 12.0f;
constexpr float kButtonWidth = 60.0f;
constexpr float kButtonHeight = 20.0f;
constexpr float kMenuRowHeight = 20.0f;
constexpr float kMenuPadding = 2.0f;
constexpr float kMenuTextInset = 20.0f;
constexpr float kMenuMinWidth = 120.0f;
constexpr float kBoxButtonWidth = 80.0f;
constexpr float kBoxButtonHeight = 24.0f;
// One wheel notch as the platforms report it.
constexpr float kWheelNotch = 120.0f;

// Index of a key in io.KeysDown: the engine's key number, or past them for letters and digits.
constexpr int kCharacterKeys = 128;
int KeyIndex(Key key, char ch) {
  if (key == Key::kCharacter) {
    return kCharacterKeys + std::toupper(static_cast<unsigned char>(ch)) % 128;
  }
  return static_cast<int>(key);
}

// One font atlas for the process: every layer draws the same face at the same size, and
// rasterising the Japanese ranges costs more than the rest of an engine's start.
struct SharedAtlas {
  ImFontAtlas atlas;
  ImFont* font = nullptr;
  ImFont* dialogFont = nullptr;  // the dialogs' smaller size
  bool japanese = false;
  ImVector<ImWchar> ranges;
};

SharedAtlas& Atlas() {
  static std::once_flag once;
  static SharedAtlas* shared = nullptr;
  std::call_once(once, [] {
    shared = new SharedAtlas;
    ImFontAtlas& atlas = shared->atlas;
    atlas.FontBuilderIO = ImGuiFreeType::GetBuilderForFreeType();
    atlas.FontBuilderFlags = ImGuiFreeTypeBuilderFlags_LightHinting;
    ImFontGlyphRangesBuilder builder;
    builder.AddRanges(atlas.GetGlyphRangesJapanese());
    // Dashes, ellipses, quotes and the reference mark appear in messages and captions too.
    static const ImWchar kPunctuation[] = {0x2010, 0x206F, 0x2190, 0x21FF, 0x2200, 0x22FF, 0x2460,
                                           0x24FF, 0x2500, 0x25FF, 0x2600, 0x26FF, 0};
    builder.AddRanges(kPunctuation);
    builder.BuildRanges(&shared->ranges);
    // ＭＳ Ｐゴシック: the proportional Gothic a Windows dialog would show.
    const JapaneseFaceFile face = FindJapaneseFace("MS PGothic");
    if (!face.bytes.empty()) {
      ImFontConfig config;
      config.FontDataOwnedByAtlas = false;  // the mapping belongs to the process
      config.FontNo = face.index;
      config.OversampleH = 1;
      config.OversampleV = 1;
      config.PixelSnapH = true;
      // The atlas only reads the face's bytes.
      void* bytes = const_cast<uint8_t*>(face.bytes.data());
      shared->font = atlas.AddFontFromMemoryTTF(bytes, static_cast<int>(face.bytes.size()),
                                                kFontPixels, &config, shared->ranges.Data);
      // Rasterised at its own size: scaled down from the larger one, kanji lose their strokes.
      shared->dialogFont =
          atlas.AddFontFromMemoryTTF(bytes, static_cast<int>(face.bytes.size()), kDialogFontPixels,
                                     &config, shared->ranges.Data);
    }
    if (shared->font != nullptr && atlas.Build()) {
      shared->japanese = true;
      LogMessage("interface: " + face.family + ", " + face.file);
    } else {
      atlas.Clear();
      atlas.FontBuilderIO = ImGuiFreeType::GetBuilderForFreeType();
      ImFontConfig config;
      config.SizePixels = kFontPixels;
      shared->font = atlas.AddFontDefault(&config);
      shared->dialogFont = shared->font;
      atlas.Build();
      LogMessage(face.file.empty()
                     ? "interface: no installed face covers Japanese; labels may show as boxes "
                       "(install fonts-ipafont-gothic)"
                     : "interface: " + face.file +
                           " could not be rasterised; labels may show "
                           "as boxes");
    }
    unsigned char* pixels = nullptr;
    int width = 0;
    int height = 0;
    // Converted once here so that no platform pays for it in a frame.
    atlas.GetTexDataAsRGBA32(&pixels, &width, &height);
    // Draw data names the atlas by this token; a platform uploads the current context's
    // io.Fonts pixels under it (a real texture id is the platform's business, not the engine's).
    static std::atomic<intptr_t> nextToken{1};
    atlas.SetTexID(reinterpret_cast<ImTextureID>(nextToken++));
  });
  return *shared;
}

ImVec4 Rgb(int r, int g, int b) {
  return ImVec4(static_cast<float>(r) / 255.0f, static_cast<float>(g) / 255.0f,
                static_cast<float>(b) / 255.0f, 1.0f);
}

// Plain and light, as a desktop's own dialogs look.
void ApplyStyle(ImGuiStyle& style) {
  style.WindowRounding = 0.0f;
  style.WindowMinSize = ImVec2(1.0f, 1.0f);  // the strip is 24 rows high, not ImGui's 32
  style.FrameRounding = 0.0f;
  style.PopupRounding = 0.0f;
  style.WindowBorderSize = 1.0f;
  style.FrameBorderSize = 1.0f;
  style.WindowPadding = ImVec2(8.0f, 8.0f);
  style.FramePadding = ImVec2(4.0f, 3.0f);
  style.ItemSpacing = ImVec2(4.0f, 4.0f);
  style.WindowTitleAlign = ImVec2(0.0f, 0.5f);
  style.SelectableTextAlign = ImVec2(0.0f, 0.5f);
  style.ButtonTextAlign = ImVec2(0.5f, 0.5f);
  style.DisabledAlpha = 1.0f;  // disabled items are greyed by their text colour instead
  style.AntiAliasedLines = false;
  style.AntiAliasedFill = false;
  ImVec4* c = style.Colors;
  c[ImGuiCol_Text] = Rgb(0, 0, 0);
  c[ImGuiCol_TextDisabled] = Rgb(160, 160, 160);
  c[ImGuiCol_WindowBg] = Rgb(240, 240, 240);
  c[ImGuiCol_PopupBg] = Rgb(242, 242, 242);
  c[ImGuiCol_Border] = Rgb(130, 135, 144);
  c[ImGuiCol_BorderShadow] = ImVec4(0, 0, 0, 0);
  c[ImGuiCol_TitleBg] = Rgb(255, 255, 255);
  c[ImGuiCol_TitleBgActive] = Rgb(255, 255, 255);
  c[ImGuiCol_TitleBgCollapsed] = Rgb(255, 255, 255);
  c[ImGuiCol_Button] = Rgb(225, 225, 225);
  c[ImGuiCol_ButtonHovered] = Rgb(229, 241, 251);
  c[ImGuiCol_ButtonActive] = Rgb(204, 228, 247);
  c[ImGuiCol_Header] = Rgb(145, 201, 247);
  c[ImGuiCol_HeaderHovered] = Rgb(145, 201, 247);
  c[ImGuiCol_HeaderActive] = Rgb(204, 228, 247);
  c[ImGuiCol_FrameBg] = Rgb(255, 255, 255);
  c[ImGuiCol_FrameBgHovered] = Rgb(255, 255, 255);
  c[ImGuiCol_FrameBgActive] = Rgb(255, 255, 255);
  c[ImGuiCol_NavHighlight] = Rgb(0, 120, 215);
  c[ImGuiCol_ModalWindowDimBg] = ImVec4(0, 0, 0, 0);
}

struct Rect {
  float x = 0;
  float y = 0;
  float w = 0;
  float h = 0;
  bool Contains(float px, float py) const { return px >= x && py >= y && px < x + w && py < y + h; }
};

}  // namespace

struct UiLayer::State {
  SharedAtlas* atlas = nullptr;

  std::vector<MenuItem> toolbar;
  int toolbarClick = -1;

  bool menuOpen = false;
  std::vector<MenuItem> menu;
  Rect menuRect;
  std::optional<int> menuResult;

  bool boxOpen = false;
  std::string boxText;
  std::string boxCaption;
  MessageBoxKind boxKind = MessageBoxKind::kOk;
  Rect boxRect;
  float boxTextWidth = 0;
  std::optional<MessageBoxAnswer> boxAnswer;

  std::function<bool()> dialog;
  std::function<std::string()> describeDialog;
  std::string composition;
  std::array<int, 4> textInputRect{-1, -1, -1, -1};

  // Keys held when a menu, box or dialog last opened, until they are let go: their press
  // belongs to what came before, so neither their repeats nor their release reach the widgets.
  std::array<bool, std::extent_v<decltype(ImGuiIO::KeysDown)>> staleKeys{};
  // No key has gone down since the opening but stale ones repeating: text arriving now is
  // their auto-repeat typing again.
  bool staleTyping = false;

  bool dirty = true;   // a frame must be drawn
  int framesLeft = 0;  // frames still to draw after input, so hover highlights settle
  bool building = false;
  uint32_t lastMs = 0;
  bool clockStarted = false;
  bool presentedNothing = false;
  bool pointerOnStrip = false;
};

UiLayer::UiLayer(Platform& platform) : platform_(platform), state_(new State) {
  state_->atlas = &Atlas();
  context_ = ImGui::CreateContext(&state_->atlas->atlas);
  ContextScope scope(context_);
  ImGuiIO& io = ImGui::GetIO();
  io.IniFilename = nullptr;
  io.LogFilename = nullptr;
  io.BackendFlags |= ImGuiBackendFlags_RendererHasVtxOffset;
  io.FontDefault = state_->atlas->font;
  io.DisplaySize = ImVec2(static_cast<float>(kFrameWidth), static_cast<float>(gameTop_ + 600));
  io.MousePos = ImVec2(-1.0f, -1.0f);
  static constexpr std::pair<ImGuiKey, Key> kKeys[] = {
      {ImGuiKey_Tab, Key::kTab},          {ImGuiKey_LeftArrow, Key::kLeft},
      {ImGuiKey_RightArrow, Key::kRight}, {ImGuiKey_UpArrow, Key::kUp},
      {ImGuiKey_DownArrow, Key::kDown},   {ImGuiKey_Backspace, Key::kBackspace},
      {ImGuiKey_Space, Key::kSpace},      {ImGuiKey_Enter, Key::kEnter},
      {ImGuiKey_Escape, Key::kEscape},    {ImGuiKey_KeyPadEnter, Key::kEnter},
  };
  for (const auto& [imguiKey, key] : kKeys) io.KeyMap[imguiKey] = KeyIndex(key, 0);
  io.KeyMap[ImGuiKey_A] = KeyIndex(Key::kCharacter, 'A');
  io.KeyMap[ImGuiKey_C] = KeyIndex(Key::kCharacter, 'C');
  io.KeyMap[ImGuiKey_V] = KeyIndex(Key::kCharacter, 'V');
  io.KeyMap[ImGuiKey_X] = KeyIndex(Key::kCharacter, 'X');
  io.KeyMap[ImGuiKey_Y] = KeyIndex(Key::kCharacter, 'Y');
  io.KeyMap[ImGuiKey_Z] = KeyIndex(Key::kCharacter, 'Z');
  ApplyStyle(ImGui::GetStyle());
}

UiLayer::~UiLayer() {
  ImGui::DestroyContext(context_);
  delete state_;
}

ImFont* UiLayer::DialogFont() const {
  return state_->atlas->dialogFont;
}

bool UiLayer::HasJapaneseFace() const {
  return state_->atlas->japanese;
}

void UiLayer::SetLayout(int gameTop, bool toolbarShown) {
  gameTop = std::clamp(gameTop, 0, kStripHeight);
  if (gameTop == gameTop_ && toolbarShown == toolbarShown_) return;
  gameTop_ = gameTop;
  toolbarShown_ = toolbarShown;
  state_->dirty = true;
  // The frame moved under an open box; it stays centred over the game area.
  if (state_->boxOpen) {
    state_->boxRect.y = static_cast<float>(gameTop_) + (600.0f - state_->boxRect.h) / 2.0f;
  }
}

void UiLayer::SetToolbar(const std::vector<MenuItem>& buttons) {
  const auto same = [](const MenuItem& a, const MenuItem& b) {
    return a.label == b.label && a.enabled == b.enabled && a.visible == b.visible;
  };
  if (std::equal(buttons.begin(), buttons.end(), state_->toolbar.begin(), state_->toolbar.end(),
                 same)) {
    return;
  }
  state_->toolbar = buttons;
  state_->dirty = true;
}

const std::vector<MenuItem>& UiLayer::Toolbar() const {
  return state_->toolbar;
}

int UiLayer::TakeToolbarClick() {
  return std::exchange(state_->toolbarClick, -1);
}

void UiLayer::OpenMenu(const std::vector<MenuItem>& items, int frameX, int frameY) {
  ContextScope scope(context_);
  State& s = *state_;
  ForgetHeldInput();
  s.menu = items;
  s.menuOpen = true;
  s.menuResult.reset();
  float width = kMenuMinWidth;
  int rows = 0;
  for (const MenuItem& item : items) {
    if (!item.visible) continue;
    ++rows;
    const ImVec2 size = s.atlas->font->CalcTextSizeA(kFontPixels, 1e6f, 0.0f, item.label.c_str());
    width = std::max(width, size.x + 2 * kMenuTextInset);
  }
  const float frameWidth = static_cast<float>(kFrameWidth);
  const float frameHeight = static_cast<float>(gameTop_ + 600);
  Rect& r = s.menuRect;
  r.w = std::min(width + 2 * kMenuPadding, frameWidth);
  r.h = std::min(static_cast<float>(rows) * kMenuRowHeight + 2 * kMenuPadding, frameHeight);
  // Kept on the frame: a menu that would run off the right or the bottom opens to the other
  // side of the point, as a desktop menu does.
  r.x = static_cast<float>(frameX);
  r.y = static_cast<float>(frameY);
  if (r.x + r.w > frameWidth) r.x = r.x - r.w >= 0 ? r.x - r.w : frameWidth - r.w;
  if (r.y + r.h > frameHeight) r.y = r.y - r.h >= 0 ? r.y - r.h : frameHeight - r.h;
  r.x = std::max(r.x, 0.0f);
  r.y = std::max(r.y, 0.0f);
  s.dirty = true;
}

bool UiLayer::MenuOpen() const {
  return state_->menuOpen;
}

std::optional<int> UiLayer::TakeMenuResult() {
  if (state_->menuOpen) return std::nullopt;
  return std::exchange(state_->menuResult, std::nullopt);
}

void UiLayer::OpenMessageBox(const std::string& utf8Text, const std::string& utf8Caption,
                             MessageBoxKind kind) {
  ContextScope scope(context_);
  State& s = *state_;
  ForgetHeldInput();
  s.boxOpen = true;
  s.boxText = utf8Text;
  s.boxCaption = utf8Caption;
  s.boxKind = kind;
  s.boxAnswer.reset();
  ImFont* font = s.atlas->font;
  const float wrap = 520.0f;
  const ImVec2 text = font->CalcTextSizeA(kFontPixels, 1e6f, wrap, utf8Text.c_str());
  const ImVec2 caption = font->CalcTextSizeA(kFontPixels, 1e6f, 0.0f, utf8Caption.c_str());
  s.boxTextWidth = wrap;
  const float buttons =
      kind == MessageBoxKind::kOkCancel ? 2 * kBoxButtonWidth + 8 : kBoxButtonWidth;
  const float titleBar = kFontPixels + 2 * 3.0f;
  Rect& r = s.boxRect;
  r.w = std::clamp(std::max({text.x, caption.x + 16, buttons}) + 2 * 24.0f, 240.0f, 600.0f);
  r.h = std::min(titleBar + 20 + text.y + 20 + kBoxButtonHeight + 12, 580.0f);
  r.x = (static_cast<float>(kFrameWidth) - r.w) / 2.0f;
  r.y = static_cast<float>(gameTop_) + (600.0f - r.h) / 2.0f;
  s.dirty = true;
}

void UiLayer::OpenDialog(std::function<bool()> build, std::function<std::string()> describe) {
  {
    ContextScope scope(context_);
    ForgetHeldInput();
  }
  state_->dialog = std::move(build);
  state_->describeDialog = std::move(describe);
  state_->composition.clear();
  state_->dirty = true;
  state_->framesLeft = std::max(state_->framesLeft, 2);
}

void UiLayer::CloseDialog() {
  if (!state_->dialog) return;
  state_->dialog = nullptr;
  state_->dirty = true;
}

bool UiLayer::DialogOpen() const {
  return static_cast<bool>(state_->dialog);
}

std::string UiLayer::DialogName() const {
  if (!state_->dialog) return {};
  return state_->describeDialog ? state_->describeDialog() : std::string("dialog");
}

const std::string& UiLayer::Composition() const {
  return state_->composition;
}

void UiLayer::SetTextInputRect(float x, float y, float w, float h) {
  const std::array<int, 4> r{static_cast<int>(x), static_cast<int>(y), static_cast<int>(w),
                             static_cast<int>(h)};
  if (r == state_->textInputRect) return;
  state_->textInputRect = r;
  platform_.SetTextInputRect(r[0], r[1], r[2], r[3]);
}

void UiLayer::RenderNow() {
  Render(platform_.Ticks(), true);
}

bool UiLayer::MessageBoxOpen() const {
  return state_->boxOpen;
}

std::optional<MessageBoxAnswer> UiLayer::TakeMessageBoxAnswer() {
  if (state_->boxOpen) return std::nullopt;
  return std::exchange(state_->boxAnswer, std::nullopt);
}

void UiLayer::ForgetHeldInput() {
  State& s = *state_;
  ImGuiIO& io = ImGui::GetIO();
  // Let go without ImGui seeing a release: a duration of -1 is "up since before the last
  // frame", so the next frame reports neither a release nor a click.
  for (size_t i = 0; i < s.staleKeys.size(); ++i) {
    if (!io.KeysDown[i]) continue;
    io.KeysDown[i] = false;
    io.KeysDownDuration[i] = -1.0f;
    io.KeysDownDurationPrev[i] = -1.0f;
    s.staleKeys[i] = true;
    s.staleTyping = true;
  }
  io.KeyShift = io.KeyCtrl = io.KeyAlt = false;
  // Only presses on the strip reach ImGui outside a menu, box or dialog; a press on the game
  // area is not in io.MouseDown, and its release is dropped as one that ImGui never saw go down.
  for (int b = 0; b < 3; ++b) {
    if (!io.MouseDown[b]) continue;
    io.MouseDown[b] = false;
    io.MouseDownDuration[b] = -1.0f;
    io.MouseDownDurationPrev[b] = -1.0f;
  }
  // Text typed before the opening was for the game.
  io.ClearInputCharacters();
}

void UiLayer::CloseMenu(std::optional<int> result) {
  state_->menuOpen = false;
  state_->menuResult = result.value_or(-1);
  state_->dirty = true;
}

void UiLayer::AnswerBox(MessageBoxAnswer answer) {
  state_->boxOpen = false;
  state_->boxAnswer = answer;
  state_->dirty = true;
}

bool UiLayer::Feed(const InputEvent& event) {
  ContextScope scope(context_);
  State& s = *state_;
  ImGuiIO& io = ImGui::GetIO();
  const float fx = static_cast<float>(event.x);
  const float fy = static_cast<float>(event.y + gameTop_);
  const bool onStrip = toolbarShown_ && fy >= 0 && fy < kStripHeight;
  const bool dialog = static_cast<bool>(s.dialog);
  const bool modal = s.boxOpen || s.menuOpen || dialog;
  const MessageBoxAnswer escapeAnswer =
      s.boxKind == MessageBoxKind::kOkCancel ? MessageBoxAnswer::kCancel : MessageBoxAnswer::kOk;

  switch (event.kind) {
    case InputEvent::Kind::kMouseMove: {
      io.MousePos = ImVec2(fx, fy);
      // Hover highlights need frames only where something can be hovered.
      if (modal || onStrip || s.pointerOnStrip) s.framesLeft = std::max(s.framesLeft, 2);
      s.pointerOnStrip = onStrip;
      return false;
    }
    case InputEvent::Kind::kMouseDown: {
      io.MousePos = ImVec2(fx, fy);
      s.pointerOnStrip = onStrip;
      const int button = static_cast<int>(event.button);
      bool toImGui = true;
      if (s.boxOpen) {
        toImGui = s.boxRect.Contains(fx, fy);
      } else if (dialog) {
        toImGui = true;
      } else if (s.menuOpen) {
        if (event.button == MouseButton::kRight ||
            (event.button == MouseButton::kLeft && !s.menuRect.Contains(fx, fy))) {
          CloseMenu(std::nullopt);
          toImGui = false;
        }
      } else if (!onStrip) {
        return false;
      }
      if (toImGui) SetMouseButton(button, true);
      s.framesLeft = std::max(s.framesLeft, 2);
      return true;
    }
    case InputEvent::Kind::kMouseUp: {
      io.MousePos = ImVec2(fx, fy);
      const int button = static_cast<int>(event.button);
      if (io.MouseDown[button]) SetMouseButton(button, false);
      s.framesLeft = std::max(s.framesLeft, 2);
      return false;
    }
    case InputEvent::Kind::kWheel:
      if (!modal && !onStrip) return false;
      io.MouseWheel += static_cast<float>(event.delta) / kWheelNotch;
      s.framesLeft = std::max(s.framesLeft, 2);
      return true;
    case InputEvent::Kind::kKeyDown:
    case InputEvent::Kind::kKeyUp: {
      const bool down = event.kind == InputEvent::Kind::kKeyDown;
      const int index = KeyIndex(event.key, event.ch);
      if (s.staleKeys[index]) {
        if (down) {
          s.staleTyping = true;
        } else {
          s.staleKeys[index] = false;
        }
        return modal && down;
      }
      if (down) s.staleTyping = false;
      if (event.key == Key::kShift) io.KeyShift = down;
      if (event.key == Key::kCtrl) io.KeyCtrl = down;
      io.KeyAlt = down && event.alt;
      const bool changed = io.KeysDown[index] != down;
      io.KeysDown[index] = down;
      if (!modal) return false;
      if (down && !event.repeat) {
        if (s.boxOpen && event.key == Key::kEnter) {
          AnswerBox(MessageBoxAnswer::kOk);
        } else if (s.boxOpen && event.key == Key::kEscape) {
          AnswerBox(escapeAnswer);
        } else if (!s.boxOpen && event.key == Key::kEscape) {
          CloseMenu(std::nullopt);
        }
      }
      if (changed && modal) RunFrame(false);
      s.framesLeft = std::max(s.framesLeft, 2);
      return down;
    }
    case InputEvent::Kind::kKeyChar:
      return modal;
    case InputEvent::Kind::kTextInput:
      // A held key's auto-repeat types too; one held since before the opening types nothing.
      if (s.staleTyping &&
          std::find(s.staleKeys.begin(), s.staleKeys.end(), true) != s.staleKeys.end()) {
        return modal;
      }
      io.AddInputCharactersUTF8(event.text.c_str());
      // Committed text ends the composition it came from.
      s.composition.clear();
      s.framesLeft = std::max(s.framesLeft, 2);
      return modal;
    case InputEvent::Kind::kTextEditing:
      s.composition = event.text;
      s.framesLeft = std::max(s.framesLeft, 2);
      return modal;
    case InputEvent::Kind::kFocus:
      if (event.delta == 0) {
        // Nothing that was held while the window lost the keyboard is held any longer.
        for (bool& key : io.KeysDown) key = false;
        s.staleKeys.fill(false);
        s.staleTyping = false;
        io.KeyShift = io.KeyCtrl = io.KeyAlt = false;
        for (int b = 0; b < 3; ++b) {
          if (io.MouseDown[b]) SetMouseButton(b, false);
        }
      }
      s.dirty = true;
      return false;
    case InputEvent::Kind::kRepaint:
      s.dirty = true;
      return false;
    default:
      return false;
  }
}

void UiLayer::SetMouseButton(int button, bool down) {
  if (button < 0 || button >= 3) return;
  ImGuiIO& io = ImGui::GetIO();
  // ImGui 1.86 sees only the button state of each frame: a press and its release in one frame
  // would never be a click. So each change gets a frame of its own, after one that lets ImGui
  // find the window under the pointer (it hit-tests against the previous frame's windows).
  RunFrame(false);
  io.MouseDown[button] = down;
  RunFrame(false);
}

void UiLayer::RunFrame(bool present) {
  State& s = *state_;
  if (s.building) return;
  s.building = true;
  ImGuiIO& io = ImGui::GetIO();
  io.DisplaySize = ImVec2(static_cast<float>(kFrameWidth), static_cast<float>(gameTop_ + 600));
  if (io.DeltaTime <= 0.0f) io.DeltaTime = 1.0f / 60.0f;
  ImGui::NewFrame();
  BuildWidgets();
  if (present) {
    ImGui::Render();
  } else {
    ImGui::EndFrame();
  }
  // Input frames take no time on ImGui's clock; Render sets it from the caller's.
  io.DeltaTime = 0.001f;
  s.building = false;
}

void UiLayer::BuildWidgets() {
  State& s = *state_;
  constexpr ImGuiWindowFlags kPlain = ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove |
                                      ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoNav |
                                      ImGuiWindowFlags_NoScrollWithMouse;

  if (toolbarShown_) {
    ImGui::SetNextWindowPos(ImVec2(0, 0));
    ImGui::SetNextWindowSize(ImVec2(static_cast<float>(kFrameWidth), kStripHeight));
    ImGui::PushStyleVar(ImGuiStyleVar_WindowBorderSize, 0.0f);
    ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(2, 2));
    ImGui::PushStyleColor(ImGuiCol_WindowBg, Rgb(212, 208, 200));
    ImGuiWindowFlags flags =
        kPlain | ImGuiWindowFlags_NoBringToFrontOnFocus | ImGuiWindowFlags_NoFocusOnAppearing;
    // Under a box the strip keeps its look but answers nothing.
    if (s.boxOpen || s.menuOpen || s.dialog) flags |= ImGuiWindowFlags_NoInputs;
    ImGui::Begin("##toolbar", nullptr, flags);
    float x = 2.0f;
    for (size_t i = 0; i < s.toolbar.size(); ++i) {
      const MenuItem& b = s.toolbar[i];
      if (!b.visible) continue;
      const float width = std::max(kButtonWidth, ImGui::CalcTextSize(b.label.c_str()).x + 12.0f);
      ImGui::SetCursorScreenPos(ImVec2(x, (kStripHeight - kButtonHeight) / 2.0f));
      ImGui::PushID(static_cast<int>(i));
      ImGui::BeginDisabled(!b.enabled);
      if (!b.enabled)
        ImGui::PushStyleColor(ImGuiCol_Text, ImGui::GetStyleColorVec4(ImGuiCol_TextDisabled));
      if (ImGui::Button(b.label.c_str(), ImVec2(width, kButtonHeight)) && b.enabled) {
        s.toolbarClick = static_cast<int>(i);
      }
      if (!b.enabled) ImGui::PopStyleColor();
      ImGui::EndDisabled();
      ImGui::PopID();
      x += width + 2.0f;
    }
    ImGui::End();
    ImGui::PopStyleColor();
    ImGui::PopStyleVar(2);
  }

  if (s.menuOpen) {
    const Rect& r = s.menuRect;
    ImGui::SetNextWindowPos(ImVec2(r.x, r.y));
    ImGui::SetNextWindowSize(ImVec2(r.w, r.h));
    ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(kMenuPadding, kMenuPadding));
    ImGui::PushStyleVar(ImGuiStyleVar_ItemSpacing, ImVec2(0, 0));
    ImGui::PushStyleColor(ImGuiCol_WindowBg, ImGui::GetStyleColorVec4(ImGuiCol_PopupBg));
    ImGui::Begin("##menu", nullptr, kPlain | ImGuiWindowFlags_NoScrollbar);
    float y = r.y + kMenuPadding;
    for (size_t i = 0; i < s.menu.size(); ++i) {
      const MenuItem& item = s.menu[i];
      if (!item.visible) continue;
      ImGui::SetCursorScreenPos(ImVec2(r.x + kMenuPadding, y));
      ImGui::PushID(static_cast<int>(i));
      // The highlight spans the row; the label sits in from its left edge.
      const ImVec2 at = ImGui::GetCursorScreenPos();
      const bool chosen =
          ImGui::Selectable("##item", false, item.enabled ? 0 : ImGuiSelectableFlags_Disabled,
                            ImVec2(r.w - 2 * kMenuPadding, kMenuRowHeight));
      ImGui::GetWindowDrawList()->AddText(
          ImVec2(at.x + kMenuTextInset, at.y + (kMenuRowHeight - kFontPixels) / 2.0f),
          ImGui::GetColorU32(item.enabled ? ImGuiCol_Text : ImGuiCol_TextDisabled),
          item.label.c_str());
      ImGui::PopID();
      y += kMenuRowHeight;
      if (chosen && item.enabled) CloseMenu(static_cast<int>(i));
    }
    ImGui::End();
    ImGui::PopStyleColor();
    ImGui::PopStyleVar(2);
  }

  if (s.dialog && !s.dialog()) {
    s.dialog = nullptr;
    s.dirty = true;
  }

  if (s.boxOpen) {
    const Rect& r = s.boxRect;
    ImGui::SetNextWindowPos(ImVec2(r.x, r.y));
    ImGui::SetNextWindowSize(ImVec2(r.w, r.h));
    ImGui::SetNextWindowFocus();
    const std::string title = s.boxCaption + "###messagebox";
    ImGui::Begin(title.c_str(), nullptr,
                 ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoCollapse |
                     ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoScrollbar |
                     ImGuiWindowFlags_NoScrollWithMouse | ImGuiWindowFlags_NoNav);
    const float titleBar = ImGui::GetFrameHeight();
    // The text on white, the buttons on the grey band below, as desktop boxes have them.
    const float band = kBoxButtonHeight + 2 * 10.0f;
    ImDrawList* draw = ImGui::GetWindowDrawList();
    draw->AddRectFilled(ImVec2(r.x + 1, r.y + titleBar), ImVec2(r.x + r.w - 1, r.y + r.h - band),
                        IM_COL32_WHITE);
    ImGui::SetCursorScreenPos(ImVec2(r.x + 24, r.y + titleBar + 18));
    ImGui::PushTextWrapPos(r.w - 24);
    ImGui::TextUnformatted(s.boxText.c_str());
    ImGui::PopTextWrapPos();
    const bool cancel = s.boxKind == MessageBoxKind::kOkCancel;
    float x = r.x + r.w - 12 - kBoxButtonWidth * (cancel ? 2 : 1) - (cancel ? 8 : 0);
    const float y = r.y + r.h - band + 10;
    ImGui::SetCursorScreenPos(ImVec2(x, y));
    if (ImGui::Button("OK", ImVec2(kBoxButtonWidth, kBoxButtonHeight))) {
      AnswerBox(MessageBoxAnswer::kOk);
    }
    if (cancel) {
      x += kBoxButtonWidth + 8;
      ImGui::SetCursorScreenPos(ImVec2(x, y));
      // キャンセル
      if (ImGui::Button("\xE3\x82\xAD\xE3\x83\xA3\xE3\x83\xB3\xE3\x82\xBB\xE3\x83\xAB",
                        ImVec2(kBoxButtonWidth, kBoxButtonHeight))) {
        AnswerBox(MessageBoxAnswer::kCancel);
      }
    }
    ImGui::End();
  }
}

void UiLayer::Render(uint32_t nowMs, bool force) {
  State& s = *state_;
  if (!force && !s.dirty && s.framesLeft == 0) return;
  // A platform that shows nothing would only throw the frame away.
  if (!platform_.ShowsPictures()) return;
  ContextScope scope(context_);
  ImGuiIO& io = ImGui::GetIO();
  io.DeltaTime = s.clockStarted && nowMs != s.lastMs
                     ? static_cast<float>(nowMs - s.lastMs) / 1000.0f
                     : 1.0f / 60.0f;
  // A wrapped clock or a long pause must not look like a huge step to ImGui's timers.
  io.DeltaTime = std::clamp(io.DeltaTime, 0.001f, 1.0f);
  s.lastMs = nowMs;
  s.clockStarted = true;
  s.dirty = false;
  s.framesLeft = std::max(0, s.framesLeft - 1);
  RunFrame(true);
  const bool nothing = !toolbarShown_ && !s.menuOpen && !s.boxOpen && !s.dialog;
  if (nothing) {
    if (!s.presentedNothing || force) platform_.PresentUi(nullptr, gameTop_);
    s.presentedNothing = true;
    return;
  }
  s.presentedNothing = false;
  platform_.PresentUi(ImGui::GetDrawData(), gameTop_);
}

}  // namespace zorvel
