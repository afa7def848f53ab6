#include "game/first_hint.h"

#include "game/captions.h"
#include "game/controls.h"
#include "game/game_state.h"
#include "game/options.h"
#include "runtime/core/dates.h"
#include "runtime/core/folders.h"
#include "runtime/input_sound/keyboard.h"

#include <cstdint>

// Written when the hint first shows, so a start that never got as far as a
// frame still counts as none.
static const char* const mark = ".\\played";

void first_hint_start() { game.first_hint = options.first_hint && file_size(mark) == -1 ? 1 : 0; }

void first_hint_step() {
  if (game.first_hint == 1) {
    game.first_hint = 2;
    game.first_hint_time = game.now;
    const std::string note =
        "Quillmoor was started in this folder; its first hint is not shown again.\n";
    file_write_all(mark, std::vector<uint8_t>(note.begin(), note.end()));
  } else if (game.first_hint == 2) {
    int shown = (int)((uint32_t)game.now - (uint32_t)game.first_hint_time);
    if (key_down(KEY_ANY) || shown >= 8000) game.first_hint = 0;
  }
}

void first_hint_draw() {
  if (game.first_hint == 2) draw_caption_box("|FFFFFF\\" + controls_hint_text(), 470);
}
