#include "game/controls.h"

#include "runtime/input_sound/keyboard.h"

// WASD beside the arrows: the layout most players' hands already know.
const KeyAction game_actions[] = {
    {"walk left", KEY_LEFT, 0, "Left, A"},
    {"walk right", KEY_RIGHT, 0, "Right, D"},
    {"jump", KEY_UP, 0, "Up, W"},
    {"crouch", KEY_DOWN, 0, "Down, S"},
    {"act", KEY_SPACE, 0, "Space"},
    {"hint", KEY_F1, 0, "F1"},
    {"version card", KEY_F5, 0, "F5"},
    {"screenshot", KEY_TAB, 0, "Tab"},
    {"full screen", KEY_F, KEY_LCONTROL, "LeftCtrl+F"},
    {"quit", KEY_ESCAPE, 0, "Esc"},
    {"mute", KEY_M, 0, "M"},
};
const int game_action_count = sizeof game_actions / sizeof game_actions[0];

void controls_load(std::string* report) {
  const std::string file = key_bindings_file();
  std::vector<std::string> faults;
  key_bindings_load(file.c_str(), game_actions, game_action_count, &faults);
  for (const std::string& f : faults) *report += "quillmoor: " + f + "\n";
}

std::string controls_hint_text() {
  auto first = [](int key) { return std::string(key_name(key_bound(key, 0))); };
  std::string walk = first(KEY_LEFT) + "/" + first(KEY_RIGHT) + "/" + first(KEY_UP);
  if (walk == "Left/Right/Up") walk = "arrows";
  const std::string dot = " \xB7 ";
  return first(KEY_F1) + " hint" + dot + first(KEY_SPACE) + " act" + dot + walk + " walk and jump" +
         dot + first(KEY_ESCAPE) + " quit";
}

// A key as the player is told of it: its name in the keys file, and Ctrl for
// the left Ctrl key, as the file takes it too.
static std::string told(int code) {
  const int key = key_bound(code, 0);
  return key == KEY_LCONTROL ? "Ctrl" : key_name(key);
}

std::string controls_window_title() {
  return "Quillmoor: " + told(KEY_LCONTROL) + "+" + told(KEY_F) + " for full screen.";
}

std::string controls_start_card() {
  std::string walk = "|FFFFFF\\Use the arrow keys to move around and jump.";
  if (told(KEY_LEFT) + told(KEY_RIGHT) + told(KEY_UP) != "LeftRightUp")
    walk = "|FFFFFF\\Use " + told(KEY_LEFT) + " and " + told(KEY_RIGHT) + " to move around and " +
           told(KEY_UP) + " to jump.";
  const std::string act = told(KEY_SPACE) == "Space" ? "space" : told(KEY_SPACE);
  return walk + "|FFFFFF\\Press " + act + " to interact.";
}
