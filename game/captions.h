// Discoveries and captions: the scan that fires pending announcements, the
// caption's Space dismissal, the hint card, and the caption box's layout.
//
// A caption is a series of lines, each "|" + a colour in hexadecimal digits
// (0x00BBGGRR) + "\" + the line's text.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct CaptionRect {
  int left, top, width, height;
  int colour;
};

struct CaptionLine {
  std::string text;
  int colour;
  int x, y; // top-left corner on the 640 x 480 screen
};

struct CaptionLayout {
  int visible;       // 0: nothing to draw (no line height)
  CaptionRect frame; // black, 4 pixels beyond the panel on every side
  CaptionRect panel; // dark blue
  std::vector<CaptionLine> lines;
};

// Fires every pending discovery the player has walked to or an entity has
// triggered, in order: raises progress, shows its caption, removes it.
void scan_discoveries();
// While a caption is shown: a Space release more than 400 ms after the last
// caption event dismisses it, or during the ending shows the next card.
void caption_input();
// Queues the hint card for the current progress; it fires in the next world step.
void queue_hint_card();
// Queues a discovery with no progress that shows caption in the next world step.
void queue_card(const std::string& caption);
// Milliseconds since the last caption event, correct across the clock's wrap.
int caption_elapsed_ms();
// Draws the caption box of game.caption in the current drawing output and font.
void draw_caption();
// Draws a caption's box the same way, with its bottom edge at bottom (0: centred).
void draw_caption_box(const std::string& caption, int bottom);
// The centred box and lines of a caption, given the font's line height (the
// height of "W") and its text widths; visible is 0 when there is no line height.
CaptionLayout caption_layout(const std::string& caption, int line_height,
                             const std::function<int(const std::string&)>& text_width);
