// Player control: jumps, walking, the left limit, Space and the camera.
#include "tests/game/rules_fixture.h"

#include "runtime/core/strings.h"

#include <algorithm>

using PlayerTest = QuietRulesTest;

TEST_F(PlayerTest, JumpLasts36FramesRises238AndAHalfAndCovers216Units) {
  stand_right_edge_at(400.0f);
  const float x0 = player()->x;
  float top = 0.0f;
  int frames = 0;
  step({KEY_UP, KEY_RIGHT});
  frames++;
  while (player()->airborne && frames < 100) {
    top = std::max(top, player()->y);
    step({KEY_RIGHT});
    frames++;
  }
  EXPECT_EQ(frames, 36);
  EXPECT_FLOAT_EQ(top - game.ground_y, 238.5f);
  EXPECT_FLOAT_EQ(player()->x - x0, 216.0f);
  EXPECT_FLOAT_EQ(player()->y, game.ground_y);
  // The take-off's vx drifts on after landing, shrinking by 1.6 a frame.
  const float landed = player()->x;
  steps(40);
  EXPECT_NEAR(player()->x - landed, 4.0f / 0.6f, 0.01f);
}

TEST_F(PlayerTest, UpHeldJumpsAgainRightAfterLandingButNotInTheAir) {
  stand_right_edge_at(400.0f);
  step({KEY_UP});
  const float vy = player()->vy;
  step({KEY_UP});
  EXPECT_FLOAT_EQ(player()->vy, vy - 1.5f); // no second take-off in the air
  int landed_at = -1;
  for (int f = 2; f < 80 && landed_at < 0; f++) {
    step({KEY_UP});
    if (player()->vy == 26.0f - 1.5f && f > 2) landed_at = f;
  }
  // Landing in frame 36 (index 35), the next take-off in the following frame.
  EXPECT_EQ(landed_at, 36);
}

TEST_F(PlayerTest, WalksFiveOnTheGroundSixInTheAirAndRightWinsOverLeft) {
  stand_right_edge_at(400.0f);
  float x = player()->x;
  step({KEY_RIGHT});
  EXPECT_FLOAT_EQ(player()->x - x, 5.0f);
  x = player()->x;
  step({KEY_RIGHT, KEY_LEFT});
  EXPECT_FLOAT_EQ(player()->x - x, 5.0f);
  x = player()->x;
  step({KEY_LEFT});
  EXPECT_FLOAT_EQ(player()->x - x, -5.0f);
  step({KEY_UP});
  x = player()->x;
  step({KEY_LEFT});
  EXPECT_FLOAT_EQ(player()->x - x, -6.0f);
}

TEST_F(PlayerTest, LeftLimitAndCameraStayInsideTheWorld) {
  stand_right_edge_at(40.0f);
  steps(10, {KEY_LEFT});
  EXPECT_FLOAT_EQ(player()->x, 0.0f);
  EXPECT_FLOAT_EQ(game.camera_x, 0.0f);
  // Beyond the world's end the camera stops; the player does not.
  game.monster->barrier_x = 0;
  for (Entity* e = (Entity*)list_first(&game.entities); e; e = (Entity*)list_next(e))
    if (e != player()) e->solid = 0;
  stand_right_edge_at(6500.0f);
  steps(100, {KEY_RIGHT});
  EXPECT_GT(player()->x, game.world_width);
  EXPECT_FLOAT_EQ(game.camera_x, game.world_width - 640.0f);
}

TEST_F(PlayerTest, CameraKeepsThePlayerBetween128And512OnScreen) {
  // The whole screen x of the player's left edge is compared: 128 and 480 (512
  // less the width) still stand; one more moves the view to the exact edge.
  const struct {
    float on_screen, camera_after;
  } cases[] = {{128.5f, 1000.0f}, {127.5f, 999.5f}, {480.5f, 1000.0f}, {481.5f, 1001.5f}};
  for (const auto& c : cases) {
    game.camera_x = 1000.0f;
    player()->x = 1000.0f + c.on_screen;
    step({});
    EXPECT_FLOAT_EQ(game.camera_x, c.camera_after) << c.on_screen;
  }
  stand_right_edge_at(400.0f);
  for (int i = 0; i < 100; i++) {
    step({KEY_RIGHT});
    EXPECT_LE(trunc_int(player()->x - game.camera_x) + player()->width, 512.0f + 1.0f);
  }
  EXPECT_GT(game.camera_x, 0.0f);
  for (int i = 0; i < 100; i++) {
    step({KEY_LEFT});
    if (game.camera_x > 0.0f) {
      EXPECT_GE(trunc_int(player()->x - game.camera_x), 127);
    }
  }
}

TEST_F(PlayerTest, SpaceHeld20FramesActsOnceFlashesOnceAndShowsFrame3For7Frames) {
  load_sounds_numbered({1});
  game.progress = 2;
  stand_right_edge_at(at(E_ROCKS)->x);
  int use_frames = 0, flashes = 0;
  for (int i = 0; i < 20; i++) {
    game.flash = -1;
    step({KEY_SPACE});
    flashes += game.flash == 0x0040A0;
    use_frames += trunc_int(player()->phase) % 4 == 3;
  }
  EXPECT_EQ(plays(), 1);
  EXPECT_EQ(flashes, 1);
  EXPECT_EQ(use_frames, 7);
  EXPECT_EQ(at(E_ROCKS)->health, 30);
  EXPECT_EQ(game.space_count, 20);
  step({});
  EXPECT_EQ(game.space_count, 0);
  step({KEY_SPACE});
  EXPECT_EQ(at(E_ROCKS)->health, 25);
}

TEST_F(PlayerTest, SpaceSoundsAndFlashesByProgress) {
  struct Case {
    int progress, flash, sound, sound_ok, plays;
  };
  // Sounds 5 and 4 are asked for without the availability test, sound 6 with it.
  const Case cases[] = {{0, -1, 1, 1, 1},       {1, 0x80FFFF, 5, 0, 1}, {2, 0x0040A0, 1, 0, 0},
                        {3, 0xFFD000, 4, 0, 1}, {4, 0x0000C8, 6, 1, 1}, {6, 0x0000C8, 6, 0, 0},
                        {5, 0x0000C8, 6, 1, 1}};
  load_sounds_numbered({});
  write_file(scratch / "s.wav", tiny_wav());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.progress);
    for (int n = 0; n <= 10; n++) sound_free(n);
    ASSERT_TRUE(sound_load(c.sound, (scratch / "s.wav").c_str()));
    game.sound_ok = c.sound_ok;
    game.progress = c.progress;
    game.flash = -1;
    game.shake = 0;
    step({});
    const int before = plays();
    step({KEY_SPACE});
    EXPECT_EQ(game.flash, c.flash);
    EXPECT_EQ(plays() - before, c.plays);
    EXPECT_EQ(game.shake, 9); // 10, less this step's decay
  }
}

TEST_F(PlayerTest, AfterLoveSpaceDoesNothing) {
  game.progress = 7;
  stand_right_edge_at(400.0f);
  step({KEY_SPACE});
  EXPECT_EQ(game.space_count, 0);
  EXPECT_EQ(game.flash, -1);
  EXPECT_EQ(game.shake, 0);
  EXPECT_LT(player()->phase, 2.0f);
}

TEST_F(PlayerTest, ANarrowWorldNeverShowsBeforeItsLeftEnd) {
  game.world_width = 320.0f; // no landscape loaded, or a small one
  stand_right_edge_at(600.0f);
  step({KEY_RIGHT});
  EXPECT_FLOAT_EQ(game.camera_x, 0.0f);
}
