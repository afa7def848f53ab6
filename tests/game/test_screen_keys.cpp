// The keys after the flip in the running game, with the game's own art: left
// Ctrl+F between a window and the full screen, Escape, and Tab screenshots.
#include "game/frame_loop.h"
#include "game/game_state.h"
#include "game/screen_modes.h"
#include "runtime/core/clock_random.h"
#include "runtime/display/screen.h"
#include "runtime/display/sprites.h"
#include "runtime/display/window.h"
#include "runtime/input_sound/keyboard.h"
#include "tests/assets/png_files.h"
#include "tests/game/game_folder.h"
#include "tests/game/replay_track.h"
#include "tests/support/null_game.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <malloc.h>
#include <vector>

namespace {
// A key held from frame `from` up to, not including, frame `to` (keyboard reads).
struct Hold {
  int key, from, to;
};

void hold_keys(const std::vector<Hold>& holds) {
  null_keyboard_script([holds](uint32_t read, uint8_t* keys) {
    for (const Hold& h : holds)
      if ((int)read >= h.from && (int)read < h.to) keys[h.key] = 0x80;
  });
}

// What the player sees: the last frame shown by the window that owns the screen.
uint64_t shown_picture_hash() {
  PlatRect where;
  const Surface* s = null_window_frame(screen_top_window(), &where);
  if (!s) return 0;
  uint64_t h = 1469598103934665603ull;
  for (int y = 0; y < s->height; y++)
    for (int x = 0; x < s->width; x++) {
      const uint8_t* p = s->pixels + (size_t)y * s->pitch + 4 * (size_t)x;
      for (int c = 0; c < 3; c++) h = (h ^ p[c]) * 1099511628211ull;
    }
  return h;
}

bool shown_picture_is_black() {
  PlatRect where;
  const Surface* s = null_window_frame(screen_top_window(), &where);
  if (!s) return false;
  for (int y = 0; y < s->height; y++)
    for (int x = 0; x < s->width; x++) {
      const uint8_t* p = s->pixels + (size_t)y * s->pitch + 4 * (size_t)x;
      if (p[0] | p[1] | p[2]) return false;
    }
  return true;
}

// Every entity shows a live picture: a static one a sprite that exists, an
// animated one or a follower a row of the frame table whose first frame exists.
testing::AssertionResult every_entity_has_its_picture() {
  int i = 0;
  for (Entity* e = (Entity*)list_first(&game.entities); e; e = (Entity*)list_next(e), i++) {
    bool row = e->animated || e->follow_state;
    if (row && (e->sprite < 0 || e->sprite >= KIND_COUNT ||
                !sprite_lookup(game.anim_frames[e->sprite][0])))
      return testing::AssertionFailure() << "entity " << i << " has no frames in row " << e->sprite;
    if (!row && !sprite_lookup(e->sprite))
      return testing::AssertionFailure()
             << "entity " << i << " shows no sprite (" << e->sprite << ")";
  }
  return testing::AssertionSuccess();
}

struct Frame {
  uint64_t world, picture;
  bool black;
  int windowed;
};

// One game from start-up for `frames` frames with these keys; the world and the
// picture after every frame.
std::vector<Frame> play(const std::vector<Hold>& holds, int frames) {
  std::vector<Frame> seen;
  null_reset();
  hold_keys(holds);
  random_seed(20101221);
  start_game_in_test();
  for (int i = 0; i < frames; i++) {
    game_frame();
    seen.push_back({world_hash(), shown_picture_hash(), shown_picture_is_black(), game.windowed});
  }
  return seen;
}

struct ScreenKeys : ::testing::Test {
  GameFolder folder{QUILL_DATA_DIR};
  void SetUp() override { ASSERT_TRUE(folder.ready) << "no art in " << QUILL_DATA_DIR; }
  void TearDown() override { end_game_in_test(); }
};
} // namespace

TEST_F(ScreenKeys, CtrlFTwiceReturnsToTheSameWindowWorldAndPicture) {
  const std::vector<Hold> walk = {{KEY_RIGHT, 0, 150}};
  std::vector<Hold> switching = walk;
  switching.insert(switching.end(), {{KEY_LCONTROL, 40, 50},
                                     {KEY_F, 42, 44}, // full screen at 44
                                     {KEY_LCONTROL, 80, 90},
                                     {KEY_F, 82, 84}}); // window at 84
  std::vector<Frame> plain = play(walk, 120);
  close_game_screen();
  shutdown_runtime();
  game_state_reset();
  std::vector<Frame> toggled = play(switching, 120);

  for (int i = 0; i < 120; i++) {
    SCOPED_TRACE(i);
    EXPECT_EQ(toggled[i].windowed, i >= 44 && i < 84 ? 0 : 1);
    EXPECT_EQ(toggled[i].world, plain[i].world);
    // The frame that switches ends with the new screen's first, black, picture.
    if (i == 44 || i == 84)
      EXPECT_TRUE(toggled[i].black);
    else
      EXPECT_EQ(toggled[i].picture, plain[i].picture);
    EXPECT_FALSE(plain[i].black);
  }
  EXPECT_STREQ(null_window_title(window_handle(0)), "Quillmoor: Ctrl+F for full screen.");
  EXPECT_EQ(null_window_full(screen_top_window()), 0);
  EXPECT_EQ(null_window_count(), 2); // the game's window and the hidden base window
  EXPECT_TRUE(every_entity_has_its_picture());
}

TEST_F(ScreenKeys, EscapeHeldWhileFIsReleasedQuitsWithoutSwitching) {
  std::vector<int> windowed;
  null_reset();
  null_keyboard_script([&](uint32_t read, uint8_t* keys) {
    windowed.push_back(game.windowed);
    if (read >= 5) keys[KEY_LCONTROL] = 0x80;
    if (read >= 5 && read < 10) keys[KEY_F] = 0x80;
    if (read >= 10) keys[KEY_ESCAPE] = 0x80; // down in the frame F comes up
  });
  EXPECT_EQ(run_game_to_exit(), 0);
  EXPECT_EQ(null_keyboard_reads(), 11u);
  EXPECT_EQ(windowed, std::vector<int>(11, 1));
  EXPECT_EQ(game.windowed, 1);
  EXPECT_EQ(null_messages(), "");
}

TEST_F(ScreenKeys, OnlyFReleasedWithLeftCtrlDownOrLetGoTogetherSwitches) {
  const int right_ctrl = 157;
  null_reset();
  hold_keys({{KEY_F, 5, 8},          // F alone
             {KEY_LCONTROL, 10, 20}, // Ctrl alone
             {KEY_F, 25, 28},        // F released (frame 28), then Ctrl
             {KEY_LCONTROL, 29, 35},
             {right_ctrl, 40, 45}, // the right Ctrl
             {KEY_F, 41, 43},
             {KEY_LCONTROL, 46, 48}, // Ctrl let go before F: that release is used up
             {KEY_F, 46, 49},
             {KEY_LCONTROL, 50, 60}, // F released with the left Ctrl down
             {KEY_F, 52, 54},
             {KEY_LCONTROL, 60, 63}, // both down and let go together
             {KEY_F, 60, 63}});
  game_startup();
  PlatWindow* window = window_handle(0);
  for (int i = 0; i < 54; i++) {
    game_frame();
    ASSERT_EQ(game.windowed, 1) << i;
    ASSERT_EQ(window_handle(0), window) << i;
    ASSERT_EQ(null_window_presents(window), i + 2) << i; // never opened afresh
  }
  game_frame();
  EXPECT_EQ(game.windowed, 0);
  EXPECT_EQ(window_handle(0), nullptr);
  EXPECT_EQ(null_window_full(base_window()), 1);
  while (null_keyboard_reads() < 63) game_frame();
  EXPECT_EQ(game.windowed, 0);
  game_frame();
  EXPECT_EQ(game.windowed, 1);
}

TEST_F(ScreenKeys, ASwitchThatFailsEndsWithScreenFail) {
  null_reset();
  hold_keys({{KEY_LCONTROL, 0, 100}, {KEY_F, 2, 4}, {KEY_F, 6, 8}});
  null_exit_hook([](int code) { throw GameExit{code}; });
  game_startup();
  for (int i = 0; i < 5; i++) game_frame();
  ASSERT_EQ(game.windowed, 0);
  null_windows_allowed(0); // the window to go back to cannot be made
  int code = -1;
  try {
    for (int i = 0; i < 5; i++) game_frame();
  } catch (const GameExit& e) {
    code = e.code;
  }
  EXPECT_EQ(code, 1);
  EXPECT_EQ(null_messages(), "Quillmoor - Error: Screen fail :(\n");
  EXPECT_EQ(game.windowed, 0); // still the mode that was left
  EXPECT_EQ(null_window_count(), 0);
}

namespace {
extern "C" size_t __sanitizer_get_current_allocated_bytes() __attribute__((weak));

// Bytes the program holds on the heap now (the sanitizer's allocator keeps its
// own count; the C library's is not told of it).
size_t heap_in_use() {
  if (__sanitizer_get_current_allocated_bytes) return __sanitizer_get_current_allocated_bytes();
  struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}
} // namespace

TEST_F(ScreenKeys, AThousandSwitchesLeaveMemoryFlatAndEveryPictureInPlace) {
  // The landscape's first panel alone: every switch cuts and encodes the panels
  // again, and ten of them would make this a matter of minutes.
  RgbPicture land = png_read_file("see/urth.png");
  ASSERT_GE(land.width, 160);
  RgbPicture first;
  first.width = 160;
  first.height = land.height;
  for (int y = 0; y < land.height; y++)
    for (int x = 0; x < 160; x++) first.pixels.push_back(land.at(x, y));
  ASSERT_TRUE(png_write_file("see/urth.png", first, 0));
  null_reset();
  // Left Ctrl held throughout; F goes down in every even frame and up in the next.
  null_keyboard_script([](uint32_t read, uint8_t* keys) {
    keys[KEY_LCONTROL] = 0x80;
    if (read % 2 == 0) keys[KEY_F] = 0x80;
  });
  game_startup();
  size_t settled = 0;
  for (int toggle = 1; toggle <= 1000; toggle++) {
    game_frame();
    game_frame();
    ASSERT_EQ(game.windowed, toggle % 2 == 0) << toggle;
    ASSERT_TRUE(every_entity_has_its_picture()) << toggle;
    ASSERT_EQ(game.panel_count, (int)game.panels.size());
    for (int panel : game.panels) ASSERT_NE(sprite_lookup(panel), nullptr) << toggle;
    if (toggle == 20) settled = heap_in_use(); // caches and tables have grown by now
  }
  size_t after = heap_in_use();
  // One lost panel or sprite per switch would be far above this (a panel is 1.2 MB).
  EXPECT_LT(after, settled + 64 * 1024) << "from " << settled << " to " << after << " bytes";
  EXPECT_EQ(null_window_count(), 2);
}

namespace {
// Screenshot files in see/, by name.
std::vector<std::string> screenshots() {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator("see")) {
    std::string n = e.path().filename().string();
    if (n.starts_with("screen") && n.ends_with(".bmp")) names.push_back(n);
  }
  std::sort(names.begin(), names.end());
  return names;
}

void set_time(int second) {
  PlatLocalTime t = {2010, 12, 21, 0, 0, second}; // 1292889600 + second
  null_local_time_set(&t);
}
} // namespace

TEST_F(ScreenKeys, TabSavesTheShownFrameOnceASecond) {
  null_reset();
  set_time(0);
  // The instructions card is up when the first picture is taken.
  hold_keys({{KEY_F1, 2, 3},
             {KEY_TAB, 10, 11},
             {KEY_SPACE, 40, 41},
             {KEY_RIGHT, 41, 80},
             {KEY_TAB, 60, 61},
             {KEY_TAB, 70, 71}});
  game_startup();
  for (int i = 0; i < 12; i++) game_frame();
  EXPECT_EQ(game.caption_on, 1);
  ASSERT_EQ(screenshots(), std::vector<std::string>{"screen1292889600.bmp"});
  std::vector<uint8_t> bytes = read_file("see/screen1292889600.bmp");
  ASSERT_EQ(bytes.size(), 921654u); // 54 bytes of headers, 640 x 480 x 3 of pixels
  EXPECT_EQ(bytes[28], 24);
  // Bottom row first, blue-green-red: the frame just shown.
  PlatRect where;
  const Surface* shown = null_window_frame(window_handle(0), &where);
  ASSERT_NE(shown, nullptr);
  // The shown frame has the note that says so at its bottom; the file has not.
  int differing = 0, noted = 0;
  auto note_in_file = [](const std::vector<uint8_t>& bmp) {
    int n = 0;
    for (int y = 400; y < 480; y++)
      for (int x = 0; x < 640; x++) {
        const uint8_t* p = &bmp[54 + (size_t)(479 - y) * 1920 + 3 * (size_t)x];
        n += p[0] == 0x40 && p[1] == 0 && p[2] == 0;
      }
    return n;
  };
  for (int y = 0; y < 480; y++)
    for (int x = 0; x < 640; x++) {
      const uint8_t* p = shown->pixels + (size_t)y * shown->pitch + 4 * (size_t)x;
      const bool differs = std::memcmp(&bytes[54 + (size_t)(479 - y) * 1920 + 3 * (size_t)x], p, 3);
      (y < 400 ? differing : noted) += differs;
    }
  EXPECT_EQ(differing, 0);
  EXPECT_GT(noted, 2000);
  EXPECT_EQ(note_in_file(bytes), 0);
  EXPECT_EQ(game.note, "Screenshot saved: see/screen1292889600.bmp");

  for (int i = 12; i < 65; i++) game_frame(); // the second press, in the same second
  EXPECT_EQ(game.caption_on, 0);
  EXPECT_EQ(screenshots(), std::vector<std::string>{"screen1292889600.bmp"});
  EXPECT_NE(read_file("see/screen1292889600.bmp"), bytes); // the later frame
  EXPECT_EQ(note_in_file(read_file("see/screen1292889600.bmp")), 0) << "taken with a note up";
  set_time(1);
  for (int i = 65; i < 75; i++) game_frame();
  EXPECT_EQ(screenshots(),
            (std::vector<std::string>{"screen1292889600.bmp", "screen1292889601.bmp"}));
  EXPECT_EQ(null_audio_plays(), 0); // no sound device: silently
}

TEST_F(ScreenKeys, TheShutterSoundsOnlyForAFileWritten) {
  std::filesystem::copy_file(std::string(QUILL_DATA_DIR) + "/hear/iii.wav", "hear/iii.wav");
  null_reset();
  null_audio_present(1);
  set_time(5);
  hold_keys({{KEY_TAB, 3, 4}, {KEY_TAB, 8, 9}});
  game_startup();
  ASSERT_EQ(game.sound_ok, 1);
  for (int i = 0; i < 5; i++) game_frame();
  EXPECT_EQ(null_audio_plays(), 1);
  // A folder in the file's place: the save fails, and nothing is heard.
  std::filesystem::remove("see/screen1292889605.bmp");
  std::filesystem::create_directory("see/screen1292889605.bmp");
  for (int i = 5; i < 10; i++) game_frame();
  EXPECT_EQ(null_audio_plays(), 1);
  EXPECT_TRUE(std::filesystem::is_directory("see/screen1292889605.bmp"));
}
