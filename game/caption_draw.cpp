#include "game/captions.h"
#include "game/game_state.h"
#include "runtime/image/drawing.h"

void draw_caption() {
  // The line height and widths come from the font the text layer selected.
  CaptionLayout c = caption_layout(game.caption, text_height("W"),
                                   [](const std::string& t) { return text_width(t.c_str()); });
  if (!c.visible) return;
  for (const CaptionRect& r : {c.frame, c.panel})
    draw_box(r.left, r.top, r.width, r.height, r.colour);
  for (const CaptionLine& line : c.lines) draw_text(line.x, line.y, line.text.c_str(), line.colour);
}
