// The version card, the ending trigger and the credit cards.
#include "tests/game/rules_fixture.h"

#include "game/captions.h"
#include "game/ending.h"
#include "runtime/core/strings.h"

// Every discovery made: the monster is dead and the girl follows.
struct EndingTest : RulesTest {
  void SetUp() override {
    RulesTest::SetUp();
    list_clear(&game.discoveries);
    game.monster->dead = 1;
    game.girl->follow_state = 2;
    game.girl->discovery = nullptr;
  }
};

namespace {
// Both beyond the world's right end, after LOVE.
void walk_off_the_end(float player_beyond, float girl_beyond) {
  game.progress = 7;
  game.player->x = game.world_width + game.player->width + player_beyond;
  game.girl->x = game.world_width + game.girl->width + girl_beyond;
}
} // namespace

TEST_F(EndingTest, TheVersionCardNamesTheFixedDateInSixLines) {
  queue_version_card();
  step({});
  ASSERT_EQ(game.caption_on, 1);
  EXPECT_EQ(game.caption, "|0000FF\\Quillmoor|FF6000\\Version 1.01|00FF00\\by Orrelwick|0\\ "
                          "|00FFFF\\for Vantorel 19|FFFF00\\12-21-2010");
  EXPECT_EQ(count_of(game.caption, '|'), 6);
  EXPECT_EQ(game.progress, 0);
}

TEST_F(EndingTest, TheEndingNeedsLoveAndThePlayerAndTheGirlBeyondTheEnd) {
  struct Case {
    int progress;
    float player_beyond, girl_beyond;
    int ends;
  };
  const Case cases[] = {{7, 1, 1, 1}, {6, 1, 1, 0}, {7, 0, 1, 0}, {7, 500, 0, 0}, {7, 500, -40, 0}};
  for (const Case& c : cases) {
    walk_off_the_end(c.player_beyond, c.girl_beyond);
    game.progress = c.progress;
    game.ending = 0;
    check_ending();
    EXPECT_EQ(game.ending, c.ends) << c.progress << " " << c.player_beyond << " " << c.girl_beyond;
  }
}

TEST_F(EndingTest, EndingCardsFollowEachAcceptedSpaceReleaseThenTheGameQuits) {
  load_sounds_numbered({2, 10}, 0);    // only the unguarded requests play
  game.caption_time = game.now - 5000; // LOVE was dismissed long ago
  walk_off_the_end(1, 1);
  step({});
  ASSERT_EQ(game.ending, 1);
  EXPECT_EQ(game.caption_on, 1);
  EXPECT_EQ(game.caption, "|FFFFFF\\YOU HAVE DISCOVERED|0000FF\\QUILLMOOR");
  EXPECT_EQ(plays(), 0); // the trigger's sound 10 is guarded

  // The guard counts from the last caption event: the first release is taken.
  step({KEY_SPACE});
  step({});
  EXPECT_EQ(game.ending, 2);
  EXPECT_EQ(game.caption, "|FFFFFF\\A GAME BY|FFFF00\\ORRELWICK|FFFFFF\\AND|00FFFF\\MOLLIVAN");
  EXPECT_EQ(plays(), 1);
  // Too soon after the last card: used up.
  step({KEY_SPACE});
  step({});
  EXPECT_EQ(game.ending, 2);
  steps(25);
  step({KEY_SPACE});
  step({});
  EXPECT_EQ(game.ending, 3);
  EXPECT_EQ(game.caption,
            "|FFFFFF\\CREATED WITH|00FF00\\KESTRAL|00FF00\\SFXR|00FF00\\GIMP|00FF00\\MS PAINT");
  EXPECT_EQ(plays(), 2);
  steps(25);
  step({KEY_SPACE});
  const int released_at = game.now;
  step({});
  EXPECT_EQ(game.ending, 4);
  EXPECT_EQ(game.caption, "|FFFFFF\\VANTOREL 19");
  EXPECT_EQ(game.caption_time, released_at);
  EXPECT_EQ(plays(), 3);
  EXPECT_EQ(game.quit_requested, 0);
  steps(25);
  step({KEY_SPACE});
  step({});
  EXPECT_EQ(game.quit_requested, 1);
  EXPECT_EQ(game.caption_on, 1);
}

TEST_F(EndingTest, SpaceHeldThroughTheEndingCardGoesStraightToTheAuthorCard) {
  game.caption_time = game.now - 5000;
  walk_off_the_end(1, 1);
  game.progress = 7;
  step({KEY_SPACE}); // held as the ending starts
  ASSERT_EQ(game.ending, 1);
  steps(3, {KEY_SPACE});
  EXPECT_EQ(game.ending, 1);
  step({});
  EXPECT_EQ(game.ending, 2);
}

TEST_F(EndingTest, ACardQueuedJustBeforeTheEndingWaitsBehindIt) {
  game.caption_time = game.now - 5000;
  walk_off_the_end(1, 1);
  queue_version_card();
  step({});
  EXPECT_EQ(game.ending, 1);
  EXPECT_EQ(game.caption, "|FFFFFF\\YOU HAVE DISCOVERED|0000FF\\QUILLMOOR");
}
