// The object pass: damage and destruction, obstacles and barriers, chasers and
// knockback, pickups, heavy landings, the follower, and the westward rule.
#include "tests/game/rules_fixture.h"

#include "game/entities.h"
#include "runtime/core/clock_random.h"
#include "runtime/core/strings.h"

#include <algorithm>
#include <cstdlib>

using ObjectTest = QuietRulesTest;

namespace {
// Distinct fake handles for the frame table: kind * 10 + frame + 1, empty cells 0.
void fill_frame_table() {
  for (int k = 0; k < KIND_COUNT; k++)
    for (int f = 0; f < 4; f++) game.anim_frames[k][f] = k * 10 + f + 1;
  for (int k : {KIND_STANDING_TREE, KIND_FROZEN}) game.anim_frames[k][3] = 0;
  for (int k : {KIND_MAN, KIND_MONSTER, KIND_MONSTER_CHANGED})
    game.anim_frames[k][2] = game.anim_frames[k][3] = 0;
}

// Space pressed for one frame, then released.
void hit(RulesTest* t) {
  t->step({KEY_SPACE});
  t->step({});
}
} // namespace

TEST_F(ObjectTest, DamageFramesThenDestructionOnTheLastFrame) {
  fill_frame_table();
  Entity* rocks = at(E_ROCKS);
  stand_right_edge_at(rocks->x);
  std::vector<int> frames;
  for (int i = 0; i < 6; i++) {
    hit(this);
    frames.push_back(trunc_int(rocks->phase));
  }
  EXPECT_EQ(frames, (std::vector<int>{0, 0, 1, 1, 2, 2}));
  EXPECT_EQ(rocks->dead, 0);
  step({KEY_SPACE});
  EXPECT_EQ(rocks->dead, 1);
  EXPECT_EQ(rocks->health, 0);
  EXPECT_EQ(rocks->animated, 0);
  EXPECT_EQ(rocks->sprite, game.anim_frames[KIND_ROCKS][3]);
  EXPECT_FLOAT_EQ(rocks->phase, 3.0f);
  EXPECT_EQ(game.shake, 19); // 20, less this step's decay
  // No longer solid: the player walks through.
  steps(20, {KEY_RIGHT});
  EXPECT_GT(player()->x, rocks->x);
}

TEST_F(ObjectTest, TheTreesFallInTurnAndShowTheTwigs) {
  fill_frame_table();
  game.progress = 1;
  Entity* tree = at(E_STANDING_TREE);
  Entity* fallen = at(E_FALLEN_TREE);
  stand_right_edge_at(tree->x);
  hit(this);
  hit(this);
  EXPECT_EQ(trunc_int(tree->phase), 2);
  // The fallen tree is shown during the pass, after its place in the sequence:
  // the press that fells the tree does not hit it.
  hit(this);
  EXPECT_EQ(tree->dead, 1);
  EXPECT_EQ(tree->sprite, 0); // its last frame is empty: nothing is drawn
  EXPECT_EQ(fallen->health, 40);
  EXPECT_EQ(fallen->max_health, 40);
  std::vector<int> frames;
  for (int i = 0; i < 7; i++) {
    hit(this);
    frames.push_back(trunc_int(fallen->phase));
  }
  EXPECT_EQ(frames, (std::vector<int>{0, 0, 1, 1, 1, 2, 2}));
  hit(this);
  EXPECT_EQ(fallen->dead, 1);
  EXPECT_EQ(fallen->sprite, game.anim_frames[KIND_FALLEN_TREE][3]);
  EXPECT_EQ(at(E_TWIGS)->health, 10);
  EXPECT_EQ(at(E_TWIGS)->max_health, 10);
}

TEST_F(ObjectTest, SpaceNeedsTheProgressAndSceneryIsOutOfReach) {
  stand_right_edge_at(at(E_BRIDGE)->x);
  hit(this);
  EXPECT_EQ(at(E_BRIDGE)->health, 15); // needs progress 2
  game.progress = 2;
  hit(this);
  EXPECT_EQ(at(E_BRIDGE)->health, 10);
  game.progress = 6;
  stand_right_edge_at(at(E_BUSH)->x + 10.0f);
  hit(this);
  EXPECT_EQ(at(E_BUSH)->health, 100);
}

TEST_F(ObjectTest, SolidObstaclesBlockAtAnyHeightAndPullTheViewOn) {
  Entity* rocks = at(E_ROCKS);
  stand_right_edge_at(rocks->x - 300.0f);
  float highest = 0.0f;
  for (int i = 0; i < 80; i++) {
    step({KEY_RIGHT, KEY_UP});
    highest = std::max(highest, player()->y);
    ASSERT_LE(player()->x + player()->width, rocks->x + 6.0f);
  }
  EXPECT_GT(highest, 300.0f);
  EXPECT_FLOAT_EQ(player()->x, rocks->x - player()->width);
  // The player's right edge touches within 2 of either end, and is then put
  // back against the left end.
  for (float right : {rocks->x - 2.0f, rocks->x + rocks->width + 2.0f, rocks->x - 2.5f,
                      rocks->x + rocks->width + 2.5f}) {
    stand_right_edge_at(right);
    step({});
    const bool touched = right >= rocks->x - 2.0f && right <= rocks->x + rocks->width + 2.0f;
    EXPECT_FLOAT_EQ(player()->x + player()->width, touched ? rocks->x : right) << right;
  }
  // Against an obstacle wider than the view leaves room for, the view scrolls
  // on by 4 a frame until the obstacle is wholly shown.
  Entity* bridge = at(E_BRIDGE);
  stand_right_edge_at(bridge->x);
  step({KEY_RIGHT});
  const float cam = game.camera_x;
  step({KEY_RIGHT});
  EXPECT_FLOAT_EQ(game.camera_x, cam + 4.0f);
  steps(40, {KEY_RIGHT});
  EXPECT_GE(game.camera_x + 640.0f, bridge->x + bridge->width);
  EXPECT_LT(game.camera_x + 640.0f, bridge->x + bridge->width + 4.0f);
  EXPECT_FLOAT_EQ(player()->x + player()->width, bridge->x);
}

TEST_F(ObjectTest, TheMonstersBarrierHoldsWhileItIsHiddenAndLiftsWhenItDies) {
  Entity* monster = at(E_MONSTER);
  ASSERT_LT(monster->health, 0);
  stand_right_edge_at(5790.0f);
  steps(10, {KEY_RIGHT});
  EXPECT_FLOAT_EQ(player()->x + player()->width, 5800.0f);
  EXPECT_FLOAT_EQ(monster->y, game.ground_y); // a hidden waiting chaser hangs still
  monster->dead = 1;
  steps(10, {KEY_RIGHT});
  EXPECT_GT(player()->x + player()->width, 5800.0f);
}

TEST_F(ObjectTest, AWaitingChaserOffScreenDoesNotFallThenRisesThroughTheGround) {
  load_sounds_numbered({5});
  Entity* man = at(E_MAN);
  steps(30);
  EXPECT_EQ(man->chase_state, 1);
  EXPECT_FLOAT_EQ(man->y, -200.0f);
  EXPECT_EQ(plays(), 0);
  // Bring his right edge into view.
  game.camera_x = man->x + man->width - 639.0f;
  player()->x = game.camera_x + 200.0f;
  step({});
  EXPECT_EQ(man->chase_state, 2);
  EXPECT_EQ(plays(), 1); // his appear_sound
  bool crossed_the_ground_rising = false;
  for (int i = 0; i < 100 && man->airborne; i++) {
    step({});
    if (man->y > game.ground_y && man->vy > 0.0f) crossed_the_ground_rising = true;
  }
  EXPECT_TRUE(crossed_the_ground_rising);
  EXPECT_EQ(man->airborne, 0);
  EXPECT_FLOAT_EQ(man->y, game.ground_y);
}

namespace {
// A chaser standing on the ground, ready to attack the player at x 1000.
void chaser_at_the_player(RulesTest* t, Entity* e) {
  e->health = e->max_health = (int16_t)std::abs(e->health);
  e->chase_state = 2;
  e->airborne = 0;
  e->y = t->player()->y;
  e->x = 1000.0f;
  t->player()->x = 990.0f;
}
} // namespace

namespace {
// An attack starts, lands one frame later, and the ground slide carries the
// player back knockback / 0.6 units.
void check_knockback(RulesTest* t, Entity* e) {
  t->load_sounds_numbered({1});
  chaser_at_the_player(t, e);
  t->step({});
  EXPECT_EQ(e->attack_timer, 29);
  EXPECT_FLOAT_EQ(e->phase, 1.0f);
  EXPECT_EQ(t->plays(), 0);
  t->step({});
  EXPECT_FLOAT_EQ(t->player()->vx, -e->knockback);
  EXPECT_EQ(t->plays(), 1);
  const float x = t->player()->x;
  int attack_frames = 2; // the attack frame is shown for 11 frames
  for (int i = 0; i < 25; i++) {
    t->step({});
    attack_frames += e->phase == 1.0f;
  }
  EXPECT_EQ(attack_frames, 11);
  EXPECT_NEAR(x - t->player()->x, e->knockback / 0.6f, 0.01f);
}
} // namespace

// By where the man stands against the player (32 wide): beyond two widths he
// runs at 4; from half a width to two widths he walks at 3, now and then hopping
// at 2; behind the player he leaps back to the right; over the player he stops
// and attacks.
TEST_F(ObjectTest, AChaserRunsWalksLeapsOrAttacksByWhereItStands) {
  const struct {
    float ahead;
    float vx;
  } cases[] = {{64.5f, -4.0f}, {64.0f, -3.0f}, {16.5f, -3.0f}, {16.0f, 0.0f}, {-0.5f, 7.0f}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ahead);
    Entity* man = at(E_MAN);
    chaser_at_the_player(this, man);
    man->x = player()->x + c.ahead;
    man->attack_timer = 0;
    step({});
    if (c.vx == -3.0f && man->airborne) {
      EXPECT_FLOAT_EQ(man->vx, -2.0f); // the hop
    } else {
      EXPECT_FLOAT_EQ(man->vx, c.vx);
    }
    EXPECT_EQ(man->airborne, c.vx == 7.0f || (c.vx == -3.0f && man->airborne));
    EXPECT_EQ(man->attack_timer, c.vx == 0.0f ? 29 : 0);
  }
}

TEST_F(ObjectTest, TheMansKnockbackCarriesThePlayer83Units) {
  check_knockback(this, at(E_MAN));
  EXPECT_NEAR(at(E_MAN)->knockback / 0.6f, 83.3f, 0.1f);
}

TEST_F(ObjectTest, TheMonstersKnockbackCarriesThePlayer150Units) {
  check_knockback(this, at(E_MONSTER));
  EXPECT_NEAR(at(E_MONSTER)->knockback / 0.6f, 150.0f, 0.1f);
}

TEST_F(ObjectTest, TheMansDefeatReleasesTheGlassWhichCannotBeCollectedInTheAir) {
  fill_frame_table();
  Entity* man = at(E_MAN);
  Entity* glass = at(E_GLASS);
  chaser_at_the_player(this, man);
  man->health = 5;
  man->attack_timer = 5; // no knockback in the way
  step({KEY_SPACE});
  EXPECT_EQ(man->dead, 1);
  EXPECT_EQ(man->sprite, 0); // his last frame is empty
  EXPECT_EQ(glass->health, 10);
  EXPECT_EQ(glass->airborne, 1);
  EXPECT_FLOAT_EQ(glass->x, man->x);
  // The player's right edge stays on the glass while it flies and falls.
  int air_frames = 0;
  for (int i = 0; i < 200 && glass->airborne; i++) {
    ASSERT_EQ(glass->health, 10);
    stand_right_edge_at(glass->x + 4.0f);
    step({});
    air_frames++;
  }
  // Up at 10 a frame, down a fifth of gravity each frame: 68 frames in the air.
  EXPECT_EQ(air_frames, 68);
  EXPECT_EQ(glass->health, -5); // collected in the frame it landed
  EXPECT_EQ(game.progress, 3);
  EXPECT_NE(game.caption.find("THE MAGNIFYING GLASS"), std::string::npos);
}

TEST_F(ObjectTest, AJumpingPlayerCannotCollect) {
  Entity* glass = at(E_GLASS);
  glass->health = 10;
  glass->x = 1000.0f;
  glass->y = game.ground_y;
  stand_right_edge_at(glass->x + 4.0f);
  step({KEY_UP});
  for (int i = 0; i < 100 && player()->airborne; i++) {
    EXPECT_EQ(glass->health, 10);
    step({});
  }
  step({});
  EXPECT_EQ(glass->health, -5);
}

TEST_F(ObjectTest, HeavyLandingsShakeAlwaysAndLeaveFootprintsSixTimesInTen) {
  load_sounds_numbered({2}, 0); // the landing's sound is not guarded
  random_seed(7);
  Entity* monster = at(E_MONSTER);
  monster->chase_state = 0; // just falling, nothing else
  const int landings = 400;
  for (int i = 0; i < landings; i++) {
    monster->airborne = 1;
    monster->y = game.ground_y + 0.5f;
    monster->vy = -1.0f;
    game.shake = 0;
    step({});
    ASSERT_EQ(game.shake, 19);
    ASSERT_EQ(monster->airborne, 0);
  }
  EXPECT_EQ(plays(), landings);
  const int prints = game.entities.count - 15;
  EXPECT_GT(prints, landings * 6 / 10 - 40);
  EXPECT_LT(prints, landings * 6 / 10 + 40);
  // Each footprint went in front: drawn behind everything, inert.
  Entity* first = (Entity*)list_first(&game.entities);
  EXPECT_FLOAT_EQ(first->depth, -7.0f);
  EXPECT_EQ(first->health, 0);
  EXPECT_EQ(first->steady, 1);
  EXPECT_FLOAT_EQ(first->x, monster->x);
  EXPECT_GE(first->y, 98.0f);
  EXPECT_LE(first->y, 102.0f);
}

TEST_F(ObjectTest, TheGirlWakesFollowsAndAnnouncesLoveOnce) {
  load_sounds_numbered({9, 3});
  Entity* girl = at(E_GIRL);
  game.monster->dead = 1;
  // LOVE is announced by the girl herself.
  stand_right_edge_at(5900.0f);
  step({});
  EXPECT_EQ(girl->follow_state, 1);
  stand_right_edge_at(5990.0f);
  step({});
  EXPECT_EQ(girl->follow_state, 2);
  EXPECT_EQ(plays(), 1);
  const float x = girl->x;
  step({});
  EXPECT_FLOAT_EQ(girl->x, x - 4.0f);
  // Each caption is dismissed at once, so that the world goes on.
  int loves = 0;
  for (int i = 0; i < 100; i++) {
    step({});
    loves += game.caption_on && game.caption.find("LOVE") != std::string::npos;
    game.caption_on = 0;
  }
  EXPECT_EQ(loves, 1);
  EXPECT_EQ(plays(), 2); // and the caption's sound once
  EXPECT_EQ(game.progress, 7);
  EXPECT_EQ(girl->discovery, nullptr);
  // Walking on, she follows at 4 units a frame, behind the player.
  steps(50, {KEY_RIGHT});
  EXPECT_LT(girl->x + girl->width, player()->x);
  EXPECT_FLOAT_EQ(girl->vx, 4.0f);
}

TEST_F(ObjectTest, OnlyTheMonsterChangesItsLookWestOf2600AndOnlyOnce) {
  load_sounds_numbered({10});
  Entity* man = at(E_MAN);
  man->health = 25;
  man->x = 2000.0f;
  Entity* monster = at(E_MONSTER);
  monster_westward_rule();
  EXPECT_EQ(monster->sprite, KIND_MONSTER); // hidden still
  monster->x = 2600.0f;
  monster->health = 65;
  monster_westward_rule();
  EXPECT_EQ(monster->sprite, KIND_MONSTER); // west of 2600 only
  monster->x = 2599.0f;
  monster_westward_rule();
  monster_westward_rule();
  EXPECT_EQ(monster->sprite, KIND_MONSTER_CHANGED);
  EXPECT_EQ(man->sprite, KIND_MAN);
  EXPECT_EQ(plays(), 1);
}

TEST_F(ObjectTest, DestroyingAStillPictureKeepsIt) {
  Entity* bush = at(E_BUSH);
  const int sprite = bush->sprite = -3; // a handle, never a row of the frame table
  entity_destroy(bush);
  EXPECT_EQ(bush->sprite, sprite);
  EXPECT_EQ(bush->health, 0);
}
