#include "game/ending.h"

#include "game/captions.h"
#include "game/game_sounds.h"
#include "game/game_state.h"
#include "runtime/core/dates.h"

#include <cctype>
#include <string>

static const char* const game_name = "Quillmoor";
static const char* const author = "Orrelwick";

static std::string upper(const char* text) {
  std::string s = text;
  for (char& c : s) c = (char)std::toupper((unsigned char)c);
  return s;
}

void queue_version_card() {
  // The release date, fixed: the card never depends on the clock.
  const Date released = 1292896247;
  queue_card(std::string("|0000FF\\") + game_name + "|FF6000\\Version 1.01|00FF00\\by " + author +
             "|0\\ |00FFFF\\for Vantorel 19|FFFF00\\" + date_format("%mm-%dd-%yyyy", released));
}

void check_ending() {
  const Entity* p = game.player;
  const Entity* g = game.girl;
  if (game.ending != 0 || !p || !g || game.progress != 7) return;
  if (p->x <= game.world_width + p->width || g->x <= game.world_width + g->width) return;
  game.ending = 1;
  game.caption_on = 1;
  game.caption = std::string("|FFFFFF\\YOU HAVE DISCOVERED|0000FF\\") + upper(game_name);
  // caption_time stays: the first card's guard counts from the last caption event.
  game_sound(10);
}

void ending_card_sounds() {
  if (game.ending == 1 || game.ending == 2) sound_play(10);
  if (game.ending == 3) sound_play(2);
}

void ending_next_card() {
  switch (game.ending) {
  case 1:
    game.caption = std::string("|FFFFFF\\A GAME BY|FFFF00\\") + upper(author) +
                   "|FFFFFF\\AND|00FFFF\\MOLLIVAN";
    game.ending = 2;
    break;
  case 2:
    game.caption =
        "|FFFFFF\\CREATED WITH|00FF00\\KESTRAL|00FF00\\SFXR|00FF00\\GIMP|00FF00\\MS PAINT";
    game.ending = 3;
    break;
  case 3:
    game.caption = "|FFFFFF\\VANTOREL 19";
    game.ending = 4;
    game.caption_time = game.now; // the last card ends by itself 700 ms from now
    break;
  case 4: game.quit_requested = 1; break;
  default: break;
  }
}
