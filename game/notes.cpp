#include "game/notes.h"

#include "game/captions.h"
#include "game/game_state.h"
#include "runtime/image/drawing.h"

#include <cstdint>

void note_show(const std::string& text) {
  game.note = text;
  game.note_time = game.now;
}

void note_draw() {
  if (game.note.empty() || (int)((uint32_t)game.now - (uint32_t)game.note_time) >= 2000) return;
  const std::string note = "|FFFFFF\\" + game.note;
  auto width = [](const std::string& t) { return text_width(t.c_str()); };
  const int line = text_height("W"), bottom = 470;
  // A caption is centred: one that reaches down to the note's place reaches
  // as far up too, so the note is left out while it shows.
  if (game.caption_on) {
    const CaptionLayout c = caption_layout(game.caption, line, width);
    if (c.visible &&
        c.frame.top + c.frame.height > bottom - caption_layout(note, line, width).frame.height)
      return;
  }
  draw_caption_box(note, bottom);
}
