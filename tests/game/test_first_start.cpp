// What a new player meets: the hint of the keys at the first start in a working
// folder, the keys as the player's keys file binds them, and that file's
// defaults as the manual page shows them.
#include "game/controls.h"
#include "game/frame_loop.h"
#include "game/game_state.h"
#include "game/options.h"
#include "game/work_folder.h"
#include "runtime/display/screen.h"
#include "runtime/input_sound/keyboard.h"
#include "tests/support/null_game.h"
#include "tests/support/test_files.h"

#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {
// An empty working folder, entered for the life of the record.
struct InFolder {
  ScratchDir dir;
  fs::path previous = fs::current_path();
  InFolder() { fs::current_path(dir.path); }
  ~InFolder() { fs::current_path(previous); }
};

// Pixels of the caption panel's dark blue in the bottom fifth of the last frame.
int hint_pixels() {
  const Surface* s = screen_back_buffer();
  int found = 0;
  for (int y = 384; y < 480; y++)
    for (int x = 0; x < 640; x++) {
      uint32_t p;
      std::memcpy(&p, s->pixels + (size_t)y * s->pitch + 4 * (size_t)x, 4);
      found += (p & 0xFFFFFF) == 0x000040;
    }
  return found;
}

// One frame drawn on black: there is no art here to cover the last one.
void frame() {
  screen_clear(0);
  game_frame();
}

struct FirstStart : ::testing::Test {
  InFolder folder;
  void SetUp() override {
    null_reset();
    options.first_hint = 1;
  }
  void TearDown() override {
    options.first_hint = 0;
    end_game_in_test();
  }
};

const char* const default_hint = "F1 hint \xB7 Space act \xB7 arrows walk and jump \xB7 Esc quit";
} // namespace

TEST_F(FirstStart, TheHintShowsUntilAKeyIsPressedAndNeverAgainInThatFolder) {
  start_game_in_test();
  frame();
  EXPECT_GT(hint_pixels(), 2000);
  EXPECT_TRUE(fs::is_regular_file("played"));
  for (int i = 0; i < 10; i++) frame();
  EXPECT_GT(hint_pixels(), 2000);
  null_key_set(42, 1); // left Shift: a key of no use to the game
  frame();
  EXPECT_EQ(hint_pixels(), 0);
  null_key_set(42, 0);
  frame();
  EXPECT_EQ(hint_pixels(), 0);
  end_game_in_test();

  start_game_in_test();
  frame();
  EXPECT_EQ(game.first_hint, 0);
  EXPECT_EQ(hint_pixels(), 0);
}

TEST_F(FirstStart, TheHintLeavesAfterEightSeconds) {
  start_game_in_test();
  frame();
  const int shown_at = game.now;
  int frames = 0;
  while (hint_pixels() && frames++ < 1000) frame();
  EXPECT_GE(game.now - shown_at, 8000);
  EXPECT_LT(game.now - shown_at, 8000 + 100);
}

TEST_F(FirstStart, NoHintIsAskedForAndNoneShows) {
  options.first_hint = 0; // --no-hint, and every test that does not ask for it
  start_game_in_test();
  frame();
  EXPECT_EQ(hint_pixels(), 0);
  EXPECT_FALSE(fs::exists("played")) << "a start without the hint does not use it up";
}

// Started in a folder that has no art, the game writes nothing there: the
// first hint's mark goes with the settings, beside keys.conf, and still keeps
// the hint from coming again. (Linux's player's folder lies under HOME.)
TEST_F(FirstStart, InAFolderWithoutArtTheMarkGoesBesideTheKeysFile) {
  ScratchDir settings;
  set_env("XDG_CONFIG_HOME", settings.path.c_str());
  set_env("APPDATA", settings.path.c_str());
  std::string report;
  ASSERT_EQ(work_folder_choose(folder.dir / "not-installed", &report), 0);
  start_game_in_test();
  frame();
  EXPECT_GT(hint_pixels(), 2000);
  null_key_set(KEY_TAB, 1);
  frame();
  null_key_set(KEY_TAB, 0);
  frame();
  EXPECT_EQ(game.note, "Screenshot not saved");
  end_game_in_test();
  EXPECT_TRUE(fs::is_empty(folder.dir.path));
  EXPECT_TRUE(fs::is_regular_file(settings / "quillmoor/played") ||
              fs::is_regular_file(settings / "Quillmoor/played"));
  start_game_in_test();
  frame();
  EXPECT_EQ(hint_pixels(), 0);
  set_env("XDG_CONFIG_HOME", nullptr);
  set_env("APPDATA", nullptr);
  // A folder with the art again, for the tests after this one in the process.
  fs::create_directory("see");
  fs::create_directory("hear");
  ASSERT_EQ(work_folder_choose("", &report), 1);
}

// The hint names the keys as bound; the keys file's faults are named with the
// program's name in front.
TEST_F(FirstStart, TheHintFollowsThePlayersKeys) {
  // The player's folder for settings, on either system, here.
  set_env("XDG_CONFIG_HOME", folder.dir.path.c_str());
  set_env("APPDATA", folder.dir.path.c_str());
  const std::string file = key_bindings_file();
  ASSERT_EQ(file.rfind(folder.dir.path, 0), 0u) << file;
  std::string report;
  controls_load(&report);
  EXPECT_EQ(report, "");
  EXPECT_EQ(controls_hint_text(), default_hint);
  EXPECT_EQ(key_bound(KEY_LEFT, 1), 30) << "A walks left beside the Left arrow";

  fs::create_directories(fs::path(file).parent_path());
  write_file(file, "hint = H\nact = Return\nwalk left = J\nwalk right = L\njump = I\nquit = Q\n"
                   "mute = Nope\n");
  controls_load(&report);
  EXPECT_EQ(report, "quillmoor: " + file + ":7: no key named 'Nope'; mute keeps M\n");
  EXPECT_EQ(controls_hint_text(), "H hint \xB7 Return act \xB7 J/L/I walk and jump \xB7 Q quit");
  set_env("XDG_CONFIG_HOME", nullptr);
  set_env("APPDATA", nullptr);
  keyboard_shutdown();
}

// The manual page and the README show the keys file with every action at its defaults.
TEST(KeysFile, TheManualPageAndTheReadmeShowItsDefaults) {
  const std::string defaults = key_bindings_defaults(game_actions, game_action_count);
  std::vector<uint8_t> bytes =
      read_file(std::string(QUILL_SOURCE_DIR) + "/packaging/quillmoor.6.in");
  std::string page(bytes.begin(), bytes.end());
  size_t at = page.find("keys.conf");
  size_t begin = page.find(".nf\n", at), end = page.find(".fi\n", at);
  ASSERT_NE(end, std::string::npos);
  EXPECT_EQ(page.substr(begin + 4, end - begin - 4), defaults);

  bytes = read_file(std::string(QUILL_SOURCE_DIR) + "/README.md");
  std::string readme(bytes.begin(), bytes.end()), shown;
  // An indented block: four spaces before each line.
  for (size_t line = readme.find("    walk left = ");
       line < readme.size() && !readme.compare(line, 4, "    ");) {
    size_t next = readme.find('\n', line) + 1;
    shown += readme.substr(line + 4, next - line - 4);
    line = next;
  }
  EXPECT_EQ(shown, defaults);
}
