#include "platform/controller.h"

#include <cctype>

namespace zorvel {

namespace {

InputEvent Mouse(InputEvent::Kind kind, MouseButton button, int x, int y) {
  InputEvent e;
  e.kind = kind;
  e.button = button;
  e.x = x;
  e.y = y;
  return e;
}

InputEvent KeyEvent(InputEvent::Kind kind, Key key, char ch) {
  InputEvent e;
  e.kind = kind;
  e.key = key;
  e.ch = ch;
  return e;
}

// A key pressed and let go at once, with its character when it has one.
void Tap(std::vector<InputEvent>& out, Key key, char ch) {
  out.push_back(KeyEvent(InputEvent::Kind::kKeyDown, key, ch));
  if (ch != 0) out.push_back(KeyEvent(InputEvent::Kind::kKeyChar, key, ch));
  out.push_back(KeyEvent(InputEvent::Kind::kKeyUp, key, ch));
}

}  // namespace

std::vector<InputEvent> PadEvents(PadButton button, bool down, int x, int y) {
  std::vector<InputEvent> out;
  const InputEvent::Kind mouse = down ? InputEvent::Kind::kMouseDown : InputEvent::Kind::kMouseUp;
  switch (button) {
    case PadButton::kA:
      out.push_back(Mouse(mouse, MouseButton::kLeft, x, y));
      break;
    case PadButton::kB:
      out.push_back(Mouse(mouse, MouseButton::kRight, x, y));
      break;
    case PadButton::kRightTrigger:
      out.push_back(
          KeyEvent(down ? InputEvent::Kind::kKeyDown : InputEvent::Kind::kKeyUp, Key::kCtrl, 0));
      break;
    default:
      if (!down) break;  // the other buttons act when pressed
      switch (button) {
        case PadButton::kX:
          Tap(out, Key::kCharacter, 'w');
          break;
        case PadButton::kY:
          Tap(out, Key::kBackspace, '\b');
          break;
        case PadButton::kUp:
          Tap(out, Key::kUp, 0);
          break;
        case PadButton::kDown:
          Tap(out, Key::kDown, 0);
          break;
        case PadButton::kLeftShoulder:
          Tap(out, Key::kLeft, 0);
          break;
        case PadButton::kStart: {
          InputEvent e;
          e.kind = InputEvent::Kind::kOpenMenu;
          e.x = x;
          e.y = y;
          out.push_back(e);
          break;
        }
        default:
          break;
      }
      break;
  }
  return out;
}

bool ParsePadButton(const std::string& name, PadButton& button) {
  std::string lower;
  for (char c : name) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  static const struct {
    const char* name;
    PadButton button;
  } kNames[] = {{"a", PadButton::kA},
                {"b", PadButton::kB},
                {"x", PadButton::kX},
                {"y", PadButton::kY},
                {"up", PadButton::kUp},
                {"down", PadButton::kDown},
                {"lb", PadButton::kLeftShoulder},
                {"rt", PadButton::kRightTrigger},
                {"start", PadButton::kStart}};
  for (const auto& n : kNames) {
    if (lower == n.name) {
      button = n.button;
      return true;
    }
  }
  return false;
}

}  // namespace zorvel
