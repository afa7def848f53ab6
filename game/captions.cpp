#include "game/captions.h"

#include "game/controls.h"
#include "game/ending.h"
#include "game/game_sounds.h"
#include "game/game_state.h"
#include "runtime/core/strings.h"
#include "runtime/input_sound/keyboard.h"

#include <cstdint>

static bool fires(const Discovery* d) {
  // A card (no progress of its own) waits while a caption is up, so it never
  // covers a discovery fired in the same scan nor the ending's first card.
  if (d->id == 0 && game.caption_on) return false;
  const float px = game.player ? game.player->x : 0.0f;
  return (px >= d->x && d->x != 0.0f) || d->triggered;
}

static void fire(const Discovery* d) {
  if (d->id != 0 && game.progress < d->id) {
    game.progress = d->id;
    // The player carries fire from FIRE until LOVE.
    if (game.player)
      game.player->sprite =
          game.progress >= 4 && game.progress <= 6 ? KIND_PLAYER_FIRE : KIND_PLAYER;
  }
  if (d->caption && d->caption[0]) {
    game.caption_on = 1;
    game.caption = d->caption;
    game.caption_time = game.now;
    game_sound(3);
  }
}

void scan_discoveries() {
  List* list = &game.discoveries;
  list_rewind(list);
  // Deleting makes the previous record current, so list_each goes on with the next.
  while (Discovery* d = (Discovery*)list_each(list)) {
    if (!fires(d)) continue;
    fire(d);
    d->done = 1;
    list_delete_current(list);
  }
}

int caption_elapsed_ms() { return (int)((uint32_t)game.now - (uint32_t)game.caption_time); }

void caption_input() {
  // Asked every frame, so a press that began before the caption shows up when it ends.
  if (!key_released(KEY_SPACE)) return;
  // An early release is used up: the player has to press again.
  if (caption_elapsed_ms() <= 400) return;
  if (game.ending) ending_card_sounds();
  game.caption_time = game.now;
  if (game.ending)
    ending_next_card();
  else
    game.caption_on = 0;
}

void queue_card(const std::string& caption) {
  Discovery* d = (Discovery*)list_add(&game.discoveries);
  if (!d) return;
  // Behind the player, so the next scan fires it.
  d->x = (game.player ? game.player->x : 0.0f) + -1000.0050048828125f;
  // 0.0 would never fire by position.
  if (d->x == 0.0f) d->triggered = 1;
  str_assign(&d->caption, caption.c_str());
}

void queue_hint_card() {
  switch (game.progress) {
  case 1: queue_card("|FFFFFF\\If only you could build a bridge..."); break;
  case 2: queue_card("|FFFFFF\\Exactly what you needed!"); break;
  case 3: queue_card("|FFFFFF\\What can you do with that man's magnifying glass?"); break;
  case 4: queue_card("|FFFFFF\\How utterly convenient those items were."); break;
  case 5: queue_card("|FFFFFF\\That poor, frozen animal..."); break;
  case 6: queue_card("|FFFFFF\\That cursed, ungrateful monster!"); break;
  case 7: queue_card("|FFFFFF\\THE GREATEST DISCOVERY OF ALL"); break;
  default: queue_card(controls_start_card()); break;
  }
}

CaptionLayout caption_layout(const std::string& caption, int line_height,
                             const std::function<int(const std::string&)>& text_width) {
  CaptionLayout out{};
  const int n = count_of(caption, '|') ? count_of(caption, '|') : 1;
  const int L = line_height;
  int w = 213; // narrowest box text
  int total = 0;
  for (int i = 1; i <= n; i++) {
    std::string line = split_field(caption, i + 1, '|');
    std::string text = split_field(line, 2, '\\');
    int tw = text_width(text);
    if (tw > w) w = tw;
    total += L;
    out.lines.push_back({text, hex_value(split_field(line, 1, '\\')), (640 - tw) / 2 + 1, 0});
  }
  if (w <= 0 || total <= 0) {
    out.lines.clear();
    return out;
  }
  out.visible = 1;
  const int top = 240 - (total + 22) / 2;
  out.frame = {320 - (w + 22) / 2, top, w + 22, total + 22, 0};
  out.panel = {320 - (w + 14) / 2, 240 - (total + 14) / 2, w + 14, total + 14, 0x400000};
  for (int i = 1; i <= n; i++) out.lines[i - 1].y = top + i * L - L / 2;
  return out;
}
