// Discoveries, the caption's dismissal, hint cards and the caption box layout.
#include "tests/game/rules_fixture.h"

#include "game/captions.h"

namespace {
using CaptionTest = RulesTest;

Discovery* discovery_with_id(int id) {
  for (Discovery* d = (Discovery*)list_first(&game.discoveries); d; d = (Discovery*)list_next(d))
    if (d->id == id) return d;
  return nullptr;
}

// Fires what is pending without moving the world.
void scan() { scan_discoveries(); }
} // namespace

TEST_F(CaptionTest, WalkingPastAPlaceFiresItsDiscoveryOnce) {
  load_sounds_numbered({3});
  stand_right_edge_at(2672.0f);
  scan();
  EXPECT_EQ(game.caption_on, 0);
  player()->x = 2672.0f;
  game.now = 5000;
  scan();
  EXPECT_EQ(game.progress, 1);
  EXPECT_EQ(game.caption_on, 1);
  EXPECT_EQ(game.caption, "|FFFFFF\\You have discovered|00FFFF\\SUNLIGHT");
  EXPECT_EQ(game.caption_time, 5000);
  EXPECT_EQ(plays(), 1);
  EXPECT_EQ(game.discoveries.count, 6);
  EXPECT_EQ(discovery_with_id(1), nullptr);
  scan();
  EXPECT_EQ(plays(), 1);
}

TEST_F(CaptionTest, APlaceOf0NeverFiresHoweverFarLeftThePlayerStands) {
  player()->x = 0.0f;
  scan();
  EXPECT_EQ(game.discoveries.count, 7);
  EXPECT_EQ(game.caption_on, 0);
}

TEST_F(CaptionTest, SeveralFiringTogetherShowTheLastCaptionAndAreAllRemoved) {
  load_sounds_numbered({3});
  discovery_with_id(2)->triggered = 1;
  discovery_with_id(3)->triggered = 1;
  scan();
  EXPECT_EQ(game.progress, 3);
  EXPECT_EQ(game.caption, "|FFFFFF\\You have discovered|FFFF00\\THE MAGNIFYING GLASS");
  EXPECT_EQ(plays(), 2);
  EXPECT_EQ(game.discoveries.count, 5);
}

TEST_F(CaptionTest, ALowerDiscoveryShowsItsCaptionButLeavesProgress) {
  game.progress = 5;
  discovery_with_id(2)->triggered = 1;
  scan();
  EXPECT_EQ(game.progress, 5);
  EXPECT_EQ(game.caption, "|FFFFFF\\You have discovered|00FF00\\TWIGS");
}

TEST_F(CaptionTest, ThePlayerCarriesFireFromProgress4To6) {
  const int expected[] = {KIND_PLAYER,      KIND_PLAYER,      KIND_PLAYER, KIND_PLAYER_FIRE,
                          KIND_PLAYER_FIRE, KIND_PLAYER_FIRE, KIND_PLAYER};
  for (int id = 1; id <= 7; id++) {
    discovery_with_id(id)->triggered = 1;
    scan();
    EXPECT_EQ(game.progress, id);
    EXPECT_EQ(player()->sprite, expected[id - 1]) << id;
  }
}

TEST_F(CaptionTest, TheWorldStandsStillWhileACaptionIsShown) {
  game.caption_on = 1;
  game.caption_time = game.now;
  game.shake = 12;
  const float x = player()->x;
  steps(30, {KEY_RIGHT});
  EXPECT_FLOAT_EQ(player()->x, x);
  EXPECT_EQ(game.shake, 12);
  EXPECT_EQ(game.caption_on, 1);
}

TEST_F(CaptionTest, AnEarlySpaceReleaseIsUsedUpAndALaterOneDismisses) {
  game.caption_on = 1;
  game.caption_time = game.now;
  step({KEY_SPACE});
  step({}); // released 40 ms after the caption appeared
  steps(30);
  EXPECT_EQ(game.caption_on, 1);
  const int before = game.caption_time;
  step({KEY_SPACE});
  step({});
  EXPECT_EQ(game.caption_on, 0);
  EXPECT_GT(game.caption_time, before);
  // The world moves again from the next step.
  const float x = player()->x;
  step({KEY_RIGHT});
  EXPECT_FLOAT_EQ(player()->x, x + 5.0f);
  // The boundary itself: a release 400 ms after is used up, 401 ms after dismisses.
  for (int elapsed : {400, 401}) {
    game.caption_on = 1;
    step({KEY_SPACE});
    game.caption_time = game.now - elapsed;
    step({});
    EXPECT_EQ(game.caption_on, elapsed == 400 ? 1 : 0) << elapsed;
  }
}

TEST_F(CaptionTest, ASpacePressFromBeforeTheCaptionDismissesItWhenLetGo) {
  stand_right_edge_at(2600.0f);
  for (int i = 0; i < 60 && !game.caption_on; i++) step({KEY_RIGHT, KEY_SPACE});
  ASSERT_EQ(game.caption_on, 1);
  steps(25, {KEY_SPACE}); // 500 ms
  EXPECT_EQ(game.caption_on, 1);
  step({});
  EXPECT_EQ(game.caption_on, 0);
}

TEST_F(CaptionTest, TheGuardCountsAcrossTheClocksWrap) {
  game.caption_on = 1;
  game.now = 0x100;
  game.caption_time = (int)0xFFFFFF00u; // 512 ms before, across the wrap
  EXPECT_EQ(caption_elapsed_ms(), 512);
  step({KEY_SPACE});
  game.now = 0x110;
  step({});
  EXPECT_EQ(game.caption_on, 0);

  game.caption_on = 1;
  game.caption_time = 0x7FFFFFF0; // 32 ms before, across the sign change
  game.now = (int)0x80000010u;
  EXPECT_EQ(caption_elapsed_ms(), 32);
  step({KEY_SPACE});
  game.now = (int)0x80000020u;
  step({});
  EXPECT_EQ(game.caption_on, 1);
}

TEST_F(CaptionTest, HintCardsByProgressFireInTheNextScanWithoutProgress) {
  const char* hints[] = {
      "|FFFFFF\\Use the arrow keys to move around and jump.|FFFFFF\\Press space to interact.",
      "|FFFFFF\\If only you could build a bridge...",
      "|FFFFFF\\Exactly what you needed!",
      "|FFFFFF\\What can you do with that man's magnifying glass?",
      "|FFFFFF\\How utterly convenient those items were.",
      "|FFFFFF\\That poor, frozen animal...",
      "|FFFFFF\\That cursed, ungrateful monster!",
      "|FFFFFF\\THE GREATEST DISCOVERY OF ALL"};
  list_clear(&game.discoveries);
  player()->x = 1234.5f;
  for (int p = 0; p <= 8; p++) {
    SCOPED_TRACE(p);
    game.progress = p;
    game.caption_on = 0;
    queue_hint_card();
    Discovery* d = (Discovery*)list_last(&game.discoveries);
    EXPECT_FLOAT_EQ(d->x, 1234.5f - 1000.0050048828125f);
    EXPECT_EQ(d->id, 0);
    scan();
    EXPECT_EQ(game.caption, hints[p == 8 ? 0 : p]);
    EXPECT_EQ(game.progress, p);
    EXPECT_EQ(game.discoveries.count, 0);
  }
}

TEST_F(CaptionTest, AHintQueuedWhereItsPlaceWouldBe0StillFires) {
  player()->x = 1000.0050048828125f;
  queue_hint_card();
  scan();
  EXPECT_EQ(game.caption_on, 1);
  EXPECT_NE(game.caption.find("arrow keys"), std::string::npos);
}

TEST_F(CaptionTest, AHintFiringWithADiscoveryWaitsUntilThatCaptionIsDismissed) {
  stand_right_edge_at(2600.0f);
  queue_hint_card(); // at progress 0: the instructions
  player()->x = 2672.0f;
  scan();
  EXPECT_EQ(game.caption, "|FFFFFF\\You have discovered|00FFFF\\SUNLIGHT");
  EXPECT_EQ(game.progress, 1);
  steps(25);
  step({KEY_SPACE});
  step({});
  ASSERT_EQ(game.caption_on, 0);
  step({});
  EXPECT_EQ(game.caption_on, 1);
  EXPECT_NE(game.caption.find("arrow keys"), std::string::npos);
}

namespace {
// Text widths of a fixed-pitch font: 7 pixels a character.
int width7(const std::string& s) { return 7 * (int)s.size(); }
} // namespace

TEST(CaptionLayout, AShortLineGetsTheNarrowestBoxCentredOnTheScreen) {
  CaptionLayout c = caption_layout("|FFFFFF\\Hi", 16, width7);
  ASSERT_EQ(c.visible, 1);
  EXPECT_EQ(c.frame.width, 235);
  EXPECT_EQ(c.frame.height, 16 + 22);
  EXPECT_EQ(c.frame.left, 320 - 235 / 2);
  EXPECT_EQ(c.frame.top, 240 - 38 / 2);
  EXPECT_EQ(c.frame.colour, 0);
  // A 4-pixel black frame around the dark blue panel.
  EXPECT_EQ(c.panel.left, c.frame.left + 4);
  EXPECT_EQ(c.panel.top, c.frame.top + 4);
  EXPECT_EQ(c.panel.width, 213 + 14);
  EXPECT_EQ(c.panel.height, 16 + 14);
  EXPECT_EQ(c.panel.colour, 0x400000);
  ASSERT_EQ(c.lines.size(), 1u);
  EXPECT_EQ(c.lines[0].text, "Hi");
  EXPECT_EQ(c.lines[0].colour, 0xFFFFFF);
  EXPECT_EQ(c.lines[0].x, (640 - 14) / 2 + 1);
  EXPECT_EQ(c.lines[0].y, c.frame.top + 16 - 8);
}

TEST(CaptionLayout, TheInstructionsCardIsAsWideAsItsLongerLine) {
  const std::string card =
      "|FFFFFF\\Use the arrow keys to move around and jump.|FFFFFF\\Press space to interact.";
  CaptionLayout c = caption_layout(card, 15, width7);
  ASSERT_EQ(c.lines.size(), 2u);
  const int longer = width7("Use the arrow keys to move around and jump.");
  EXPECT_EQ(c.frame.width, longer + 22);
  EXPECT_EQ(c.frame.height, 2 * 15 + 22);
  // Lines are L apart from half a line below the frame's top; odd sizes truncate.
  EXPECT_EQ(c.frame.top, 240 - 52 / 2);
  EXPECT_EQ(c.lines[0].y, c.frame.top + 15 - 7);
  EXPECT_EQ(c.lines[1].y, c.frame.top + 30 - 7);
  EXPECT_EQ(c.lines[1].x, (640 - width7("Press space to interact.")) / 2 + 1);
  EXPECT_EQ(c.panel.left, 320 - (longer + 14) / 2);
}

TEST(CaptionLayout, ColoursAreReadAsBlueGreenRedAndMayBeShort) {
  CaptionLayout c = caption_layout(
      "|0000FF\\Quillmoor|FF6000\\Version 1.01|0\\ |00FFFF\\for Vantorel 19", 10, width7);
  ASSERT_EQ(c.lines.size(), 4u);
  EXPECT_EQ(c.lines[0].colour, 0x0000FF);
  EXPECT_EQ(c.lines[1].colour, 0xFF6000);
  EXPECT_EQ(c.lines[2].colour, 0);
  EXPECT_EQ(c.lines[2].text, " ");
  EXPECT_EQ(c.lines[3].colour, 0x00FFFF);
}

TEST(CaptionLayout, NoMarkupOrNoLineHeight) {
  // Text without a bar counts as one line, whose text is empty.
  CaptionLayout c = caption_layout("plain", 12, width7);
  ASSERT_EQ(c.visible, 1);
  ASSERT_EQ(c.lines.size(), 1u);
  EXPECT_EQ(c.lines[0].text, "");
  EXPECT_EQ(c.frame.width, 235);
  EXPECT_EQ(caption_layout("|FFFFFF\\Hi", 0, width7).visible, 0);
  EXPECT_TRUE(caption_layout("|FFFFFF\\Hi", 0, width7).lines.empty());
}
