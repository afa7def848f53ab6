// Keys a player binds to a program's actions in a text file, one action a line:
//
//   # a comment; blank lines are skipped too
//   jump = W
//   walk left = Left, A        several keys, split by commas
//   full screen = LeftCtrl+F   an action taken with a key held
//
// Key names are key_name's, in any case. Action names are the program's, in any
// case, with "-" or "_" standing for a space.
#pragma once

#include <string>
#include <vector>

struct KeyAction {
  const char* name; // as the file writes it: "walk left"
  int key;          // the scancode whose bit the action's keys set
  int held;         // the scancode whose bit the key held with them sets; 0 none
  const char* keys; // the default keys, as the file writes them: "Left, A"
};

// Binds every action's default keys, then the keys the file at path gives
// instead: the lines naming an action replace its defaults together. A key
// takes one action only: the actions the file leaves alone hold their
// defaults, then the lines hold their keys in order, and a line giving a key
// another action holds is refused (a key held with another is no key of its
// own). A line that cannot be used leaves its action at the defaults and adds
// "path:N: why" to *faults (the file's text in it escaped, \x1b), ten of them
// at most and then "path: and N more ...", as a file that is there but cannot
// be read adds a line. A byte-order mark at the start is skipped. Returns 0
// when a fault was found; no file at path is none.
int key_bindings_load(const char* path, const KeyAction* actions, int count,
                      std::vector<std::string>* faults);
// The file with every action at its defaults, one line each.
std::string key_bindings_defaults(const KeyAction* actions, int count);
// Where the player keeps the file: keys.conf in the player's folder for the
// game's settings; "" when there is none.
std::string key_bindings_file();
// The name a key goes by in the file ("Left", "F1", "LeftCtrl", "Esc"); "" for
// a scancode without one.
const char* key_name(int key);
// The scancode of a key name in any case, or of an alias ("Escape", "Enter",
// "Ctrl", "Shift", "Alt"); 0 for none.
int key_named(const std::string& name);
