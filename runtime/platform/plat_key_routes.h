// Which physical keys set each scancode's bit in the keyboard snapshot, so that
// a player can move an action to another key while the game goes on reading
// the same scancodes. Every key sets its own bit until a route says otherwise.
// A backend reads the keys down and passes them through plat_keys_routed
// before it adds the keys its game pads stand for, which no route changes.
#pragma once

#include <cstdint>

// How many keys may set one scancode's bit.
const int PLAT_KEY_SOURCES = 4;

// From now on the bit of code (1-255) is set by the keys given (count 0 to
// PLAT_KEY_SOURCES, scancodes 1-255) instead of by its own key alone; 0, with
// nothing changed, when an argument is out of range.
int plat_key_route(int code, const int* keys, int count);
// The index-th key that sets code's bit (the key itself while it has no
// route); 0 when there is none.
int plat_key_source(int code, int index);
// Every key sets its own bit again.
void plat_key_routes_reset();
// Fills snapshot from the keys down in physical (both by scancode, bit 7 set
// for down): each bit set when a key routed to it is down.
void plat_keys_routed(const uint8_t physical[256], uint8_t snapshot[256]);
