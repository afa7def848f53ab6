#include "game/first_hint.h"

#include "game/captions.h"
#include "game/controls.h"
#include "game/game_state.h"
#include "game/options.h"
#include "game/work_folder.h"
#include "runtime/core/dates.h"
#include "runtime/input_sound/keyboard.h"

#include <cstdint>

// Written when the hint first shows, so a start that never got as far as a
// frame still counts as none. In the working folder when it is the game's,
// else beside the keys file.
static const char* const mark = "played";

void first_hint_start() {
  const std::string where = work_folder_own_file(mark);
  game.first_hint = options.first_hint && (where.empty() || file_size(where.c_str()) == -1);
}

void first_hint_step() {
  if (game.first_hint == 1) {
    game.first_hint = 2;
    game.first_hint_time = game.now;
    const std::string note =
        "Quillmoor's first hint has been shown; while this file is here, it is not shown again.\n";
    work_folder_keep(mark, note);
  } else if (game.first_hint == 2) {
    int shown = (int)((uint32_t)game.now - (uint32_t)game.first_hint_time);
    if (key_down(KEY_ANY) || shown >= 8000) game.first_hint = 0;
  }
}

void first_hint_draw() {
  if (game.first_hint == 2) draw_caption_box("|FFFFFF\\" + controls_hint_text(), 470);
}
