// The initial world with sizes of plausible art, run one world step at a time
// with keys held, and a sound device that counts what is played.
#pragma once

#include "game/frame_loop.h"
#include "game/game_state.h"
#include "runtime/input_sound/keyboard.h"
#include "runtime/input_sound/sound.h"
#include "runtime/platform/null/null_platform.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>
#include <initializer_list>

// Entities by their place in the initial world, before the sort.
enum WorldEntity {
  E_PLAYER = 0,
  E_ROCKS = 1,
  E_LIGHT = 2,
  E_TWIGS = 3,
  E_FALLEN_TREE = 4,
  E_STANDING_TREE = 5,
  E_BRIDGE = 6,
  E_BUSH = 7,
  E_GLASS = 8,
  E_MAN = 9,
  E_FIRE_PIT = 10,
  E_BUSH2 = 11,
  E_MONSTER = 12,
  E_FROZEN = 13,
  E_GIRL = 14,
};

// A mono 8-bit WAV of four samples.
inline std::vector<uint8_t> tiny_wav() {
  std::vector<uint8_t> w = {'R', 'I', 'F', 'F', 40, 0,  0, 0, 'W', 'A', 'V', 'E',
                            'f', 'm', 't', ' ', 16, 0,  0, 0, 1,   0,   1,   0,
                            64,  31,  0,   0,   64, 31, 0, 0, 1,   0,   8,   0,
                            'd', 'a', 't', 'a', 4,  0,  0, 0, 128, 128, 128, 128};
  return w;
}

struct RulesTest : ::testing::Test {
  Entity* by_index[15] = {};
  ScratchDir scratch;
  int plays_before = 0;

  void SetUp() override {
    null_reset();
    game_state_reset();
    ASSERT_TRUE(keyboard_init());
    game.flash = -1;
    game.now = 1000;
    build_world();
    game.world_width = 6720.0f;
    index_world();
    const float sizes[15][2] = {{32, 48},  {80, 60},  {40, 300}, {40, 16}, {160, 60},
                                {96, 220}, {200, 40}, {60, 40},  {24, 24}, {36, 60},
                                {60, 40},  {60, 40},  {80, 100}, {70, 60}, {28, 44}};
    for (int i = 0; i < 15; i++) {
      by_index[i]->width = sizes[i][0];
      by_index[i]->height = sizes[i][1];
    }
  }
  void TearDown() override {
    keyboard_shutdown();
    sound_shutdown();
    game_state_reset();
  }

  // The creation index of each entity, from its start position and depth.
  void index_world() {
    const float xs[] = {100, 1580, 2480, 3600, 3550, 3550, 4020, 3100,
                        0,   4830, 4800, 5100, 5618, 5600, 6100};
    for (Entity* e = (Entity*)list_first(&game.entities); e; e = (Entity*)list_next(e))
      for (int i = 0; i < 15; i++)
        if (e->x == xs[i] && (i != 4 && i != 5 ? true : (i == 4) == (e->depth < 0)))
          by_index[i] = e;
  }
  Entity* at(int i) { return by_index[i]; }
  Entity* player() { return game.player; }

  // One frame's keyboard snapshot and world step; the clock moves on by 20 ms.
  void step(std::initializer_list<int> held = {}) {
    for (int k : {KEY_UP, KEY_LEFT, KEY_RIGHT, KEY_DOWN, KEY_SPACE}) null_key_set(k, 0);
    for (int k : held) null_key_set(k, 1);
    keyboard_sample();
    world_step();
    game.now += 20;
  }
  void steps(int n, std::initializer_list<int> held = {}) {
    for (int i = 0; i < n; i++) step(held);
  }

  // Loads a sound under each number given; plays are then counted by null_audio_plays.
  void load_sounds_numbered(std::initializer_list<int> numbers, int sound_ok = 1) {
    null_audio_present(1);
    ASSERT_TRUE(sound_init());
    write_file(scratch / "s.wav", tiny_wav());
    for (int n : numbers) ASSERT_TRUE(sound_load(n, (scratch / "s.wav").c_str()));
    game.sound_ok = sound_ok;
    plays_before = null_audio_plays();
  }
  // Sounds played since load_sounds_numbered.
  int plays() const { return null_audio_plays() - plays_before; }

  // Discoveries that fire by position would freeze the world under their captions.
  void silence_positional_discoveries() {
    for (Discovery* d = (Discovery*)list_first(&game.discoveries); d; d = (Discovery*)list_next(d))
      d->x = 0.0f;
  }

  // Puts the player on the ground with its right edge at x.
  void stand_right_edge_at(float x) {
    player()->x = x - player()->width;
    player()->y = game.ground_y;
    player()->airborne = 0;
    player()->vx = 0.0f;
  }
};

// Rules away from the discoveries that fire by position.
struct QuietRulesTest : RulesTest {
  void SetUp() override {
    RulesTest::SetUp();
    silence_positional_discoveries();
  }
};
