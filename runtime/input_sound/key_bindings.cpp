#include "runtime/input_sound/key_bindings.h"

#include "runtime/input_sound/keyboard.h"
#include "runtime/platform/plat_core.h"
#include "runtime/platform/plat_folders.h"

#include <algorithm>

namespace {
struct KeyName {
  int key;
  const char* name;
};

// The keys of a PC keyboard in the snapshot's numbering, by the names the file uses.
const KeyName key_names[] = {
    {1, "Esc"},
    {2, "1"},
    {3, "2"},
    {4, "3"},
    {5, "4"},
    {6, "5"},
    {7, "6"},
    {8, "7"},
    {9, "8"},
    {10, "9"},
    {11, "0"},
    {12, "Minus"},
    {13, "Equals"},
    {14, "Backspace"},
    {15, "Tab"},
    {16, "Q"},
    {17, "W"},
    {18, "E"},
    {19, "R"},
    {20, "T"},
    {21, "Y"},
    {22, "U"},
    {23, "I"},
    {24, "O"},
    {25, "P"},
    {26, "LeftBracket"},
    {27, "RightBracket"},
    {28, "Return"},
    {29, "LeftCtrl"},
    {30, "A"},
    {31, "S"},
    {32, "D"},
    {33, "F"},
    {34, "G"},
    {35, "H"},
    {36, "J"},
    {37, "K"},
    {38, "L"},
    {39, "Semicolon"},
    {40, "Apostrophe"},
    {41, "Grave"},
    {42, "LeftShift"},
    {43, "Backslash"},
    {44, "Z"},
    {45, "X"},
    {46, "C"},
    {47, "V"},
    {48, "B"},
    {49, "N"},
    {50, "M"},
    {51, "Comma"},
    {52, "Period"},
    {53, "Slash"},
    {54, "RightShift"},
    {55, "KeypadMultiply"},
    {56, "LeftAlt"},
    {57, "Space"},
    {58, "CapsLock"},
    {59, "F1"},
    {60, "F2"},
    {61, "F3"},
    {62, "F4"},
    {63, "F5"},
    {64, "F6"},
    {65, "F7"},
    {66, "F8"},
    {67, "F9"},
    {68, "F10"},
    {69, "NumLock"},
    {70, "ScrollLock"},
    {71, "Keypad7"},
    {72, "Keypad8"},
    {73, "Keypad9"},
    {74, "KeypadMinus"},
    {75, "Keypad4"},
    {76, "Keypad5"},
    {77, "Keypad6"},
    {78, "KeypadPlus"},
    {79, "Keypad1"},
    {80, "Keypad2"},
    {81, "Keypad3"},
    {82, "Keypad0"},
    {83, "KeypadPeriod"},
    {86, "LessThan"},
    {87, "F11"},
    {88, "F12"},
    {156, "KeypadEnter"},
    {157, "RightCtrl"},
    {181, "KeypadDivide"},
    {183, "PrintScreen"},
    {184, "RightAlt"},
    {197, "Pause"},
    {199, "Home"},
    {200, "Up"},
    {201, "PageUp"},
    {203, "Left"},
    {205, "Right"},
    {207, "End"},
    {208, "Down"},
    {209, "PageDown"},
    {210, "Insert"},
    {211, "Delete"},
    {219, "LeftSuper"},
    {220, "RightSuper"},
    {221, "Menu"},
};
const KeyName aliases[] = {{1, "Escape"}, {28, "Enter"}, {29, "Ctrl"}, {42, "Shift"}, {56, "Alt"}};

// No keys file comes near this; it keeps a wrong name from reading a huge file.
const size_t max_file_bytes = 64 << 10;

// The keys one action is bound to, and the keys held with them.
struct Binding {
  std::vector<int> keys, held;
};
} // namespace

static std::string lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
  return s;
}

static std::string trim(const std::string& s) {
  size_t begin = s.find_first_not_of(" \t\r"), end = s.find_last_not_of(" \t\r");
  return begin == std::string::npos ? "" : s.substr(begin, end - begin + 1);
}

// Text of the file as a message shows it: bytes outside printable ASCII as
// \x1b, so that nothing reaches a terminal raw or cuts the message short, and
// at most 32 of them.
static std::string shown(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size() && i < 32; i++) {
    const unsigned char c = (unsigned char)text[i];
    if (c >= 0x20 && c < 0x7f) {
      out += (char)c;
    } else {
      out += "\\x";
      out += "0123456789abcdef"[c >> 4];
      out += "0123456789abcdef"[c & 15];
    }
  }
  return text.size() > 32 ? out + "..." : out;
}

const char* key_name(int key) {
  for (const KeyName& k : key_names)
    if (k.key == key) return k.name;
  return "";
}

int key_named(const std::string& name) {
  const std::string wanted = lower(name);
  for (const KeyName& k : key_names)
    if (lower(k.name) == wanted) return k.key;
  for (const KeyName& k : aliases)
    if (lower(k.name) == wanted) return k.key;
  return 0;
}

// Adds key to a list unless it is there; 0 when the list would grow too long.
static int add_key(std::vector<int>* list, int key) {
  if (std::find(list->begin(), list->end(), key) != list->end()) return 1;
  if ((int)list->size() == KEY_BIND_MAX) return 0;
  list->push_back(key);
  return 1;
}

// Adds the keys of a line's value to b; "" when all of them could be read, else
// what is wrong.
static std::string read_keys(const std::string& value, const KeyAction& action, Binding* b) {
  if (trim(value).empty()) return "no key given";
  size_t from = 0;
  while (from <= value.size()) {
    size_t comma = std::min(value.find(',', from), value.size());
    std::string key = trim(value.substr(from, comma - from));
    from = comma + 1;
    if (key.empty()) return "no key given";
    if (action.held) {
      size_t plus = key.find('+');
      if (plus == std::string::npos)
        return std::string(action.name) + " takes a key held with another, as LeftCtrl+F";
      std::string held = trim(key.substr(0, plus));
      key = trim(key.substr(plus + 1));
      if (!key_named(held)) return "no key named '" + shown(held) + "'";
      if (!add_key(&b->held, key_named(held))) return "more than 4 keys to hold";
    }
    if (!key_named(key)) return "no key named '" + shown(key) + "'";
    if (!add_key(&b->keys, key_named(key))) return "more than 4 keys";
  }
  return "";
}

static void bind(const KeyAction& action, const Binding& b) {
  keyboard_bind(action.key, b.keys.data(), (int)b.keys.size());
  if (action.held) keyboard_bind(action.held, b.held.data(), (int)b.held.size());
}

// An action's name as the file may write it: any case, "-" or "_" for a space,
// spaces collapsed.
static std::string action_key(const std::string& name) {
  std::string out;
  for (char c : lower(trim(name))) {
    if (c == '-' || c == '_' || c == '\t') c = ' ';
    if (c != ' ' || (!out.empty() && out.back() != ' ')) out += c;
  }
  return out;
}

// The faults the file has, in the order of its lines, at most 10 of them named.
static void name_faults(const char* path, std::vector<std::pair<int, std::string>> found,
                        std::vector<std::string>* faults) {
  std::stable_sort(found.begin(), found.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  const size_t named = 10;
  for (size_t f = 0; f < found.size() && f < named; f++) faults->push_back(found[f].second);
  if (found.size() > named)
    faults->push_back(std::string(path) + ": and " + std::to_string(found.size() - named) +
                      " more lines that cannot be used");
}

int key_bindings_load(const char* path, const KeyAction* actions, int count,
                      std::vector<std::string>* faults) {
  std::vector<Binding> defaults(count);
  for (int i = 0; i < count; i++) {
    read_keys(actions[i].keys, actions[i], &defaults[i]);
    bind(actions[i], defaults[i]);
  }
  if (plat_file_kind(path, nullptr) == PLAT_MISSING) return 1;
  std::vector<uint8_t> bytes;
  if (!plat_read_file(path, &bytes, max_file_bytes)) {
    faults->push_back(std::string(path) +
                      ": not a readable file of at most 64 KiB; every action keeps its keys");
    return 0;
  }
  struct Line {
    int number, action;
    std::vector<int> keys; // the keys this line gives
  };
  std::vector<Line> lines;
  std::vector<std::pair<int, std::string>> found; // line number and fault
  std::vector<Binding> chosen(count);
  std::vector<int> named(count), refused(count);
  std::string text(bytes.begin(), bytes.end());
  // The byte-order mark Windows' Notepad writes.
  if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
  int number = 0;
  for (size_t from = 0; from < text.size();) {
    size_t end = std::min(text.find('\n', from), text.size());
    std::string line = text.substr(from, end - from);
    from = end + 1;
    number++;
    line = trim(line.substr(0, line.find('#')));
    if (line.empty()) continue;
    const std::string at = std::string(path) + ":" + std::to_string(number) + ": ";
    size_t equals = line.find('=');
    if (equals == std::string::npos) {
      found.push_back({number, at + "not 'action = key'"});
      continue;
    }
    const std::string name = action_key(line.substr(0, equals));
    int i = 0;
    while (i < count && action_key(actions[i].name) != name) i++;
    if (i == count) {
      found.push_back(
          {number, at + "no action named '" + shown(trim(line.substr(0, equals))) + "'"});
      continue;
    }
    Binding b = chosen[i], alone;
    std::string why = read_keys(line.substr(equals + 1), actions[i], &b);
    if (why.empty()) why = read_keys(line.substr(equals + 1), actions[i], &alone);
    if (!why.empty()) {
      found.push_back({number, at + why + "; " + actions[i].name + " keeps " + actions[i].keys});
      refused[i] = 1;
      continue;
    }
    chosen[i] = b;
    named[i] = 1;
    lines.push_back({number, i, alone.keys});
  }
  // A key takes one action only. The actions the file leaves at their defaults
  // hold their keys first (an action the file binds gives up its defaults,
  // wherever its lines are), then the lines in order; a line giving a key
  // that another action holds is refused, and its action keeps its defaults,
  // which may in turn refuse a line that took them: so round again.
  for (bool again = true; again;) {
    again = false;
    std::vector<int> holder(256, -1);
    for (int i = 0; i < count; i++)
      if (!named[i] || refused[i])
        for (int k : defaults[i].keys) holder[k] = i;
    for (const Line& line : lines) {
      if (refused[line.action]) continue;
      for (int k : line.keys) {
        const int other = holder[k];
        if (other < 0 || other == line.action) {
          holder[k] = line.action;
          continue;
        }
        const KeyAction& a = actions[line.action];
        found.push_back({line.number, std::string(path) + ":" + std::to_string(line.number) + ": " +
                                          key_name(k) + " is taken by " + actions[other].name +
                                          "; " + a.name + " keeps " + a.keys});
        refused[line.action] = 1;
        again = true;
        break;
      }
      if (again) break;
    }
  }
  for (int i = 0; i < count; i++)
    if (named[i] && !refused[i]) bind(actions[i], chosen[i]);
  name_faults(path, found, faults);
  return found.empty();
}

std::string key_bindings_defaults(const KeyAction* actions, int count) {
  std::string text;
  for (int i = 0; i < count; i++)
    text += std::string(actions[i].name) + " = " + actions[i].keys + "\n";
  return text;
}

std::string key_bindings_file() {
  std::string folder = plat_user_config_folder();
  return folder.empty() ? "" : folder + "/keys.conf";
}
