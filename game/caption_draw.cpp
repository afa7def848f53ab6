#include "game/captions.h"
#include "game/game_state.h"
#include "runtime/image/drawing.h"

void draw_caption() { draw_caption_box(game.caption, 0); }

void draw_caption_box(const std::string& caption, int bottom) {
  // The line height and widths come from the font the text layer selected.
  CaptionLayout c = caption_layout(caption, text_height("W"),
                                   [](const std::string& t) { return text_width(t.c_str()); });
  if (!c.visible) return;
  const int dy = bottom ? bottom - (c.frame.top + c.frame.height) : 0;
  for (const CaptionRect& r : {c.frame, c.panel})
    draw_box(r.left, r.top + dy, r.width, r.height, r.colour);
  for (const CaptionLine& line : c.lines)
    draw_text(line.x, line.y + dy, line.text.c_str(), line.colour);
}
