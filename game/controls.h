// The game's actions and the keys that take them: the defaults, and the
// player's own in the keys file.
#pragma once

#include "runtime/input_sound/key_bindings.h"

#include <string>

// Every action the keys file may name, with its default keys.
extern const KeyAction game_actions[];
extern const int game_action_count;

// Binds the default keys, then the keys of the player's keys file
// (key_bindings_file()); one line to *report for each line of it
// that could not be used.
void controls_load(std::string* report);
// The window's title, naming the full-screen keys as bound: "Quillmoor:
// Ctrl+F for full screen." with the defaults.
std::string controls_window_title();
// The hint card at the start (caption markup): its words with the default
// keys, else the walk, jump and act keys as bound.
std::string controls_start_card();
// The first hint's text, "F1 hint · Space act · arrows walk and jump · Esc quit"
// (the dots in the text's own code page), with the keys as bound.
std::string controls_hint_text();
