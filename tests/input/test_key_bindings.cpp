// Keys a player binds: which physical keys set a scancode's bit, the names of
// the keys, and the file that binds them to a program's actions.
#include "runtime/input_sound/key_bindings.h"
#include "runtime/input_sound/keyboard.h"
#include "runtime/platform/null/null_platform.h"
#include "tests/support/test_files.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {
struct Bindings : ::testing::Test {
  void SetUp() override {
    null_reset();
    ASSERT_TRUE(keyboard_init());
  }
  void TearDown() override { keyboard_shutdown(); }
  // The bits of a snapshot taken while the physical keys given are held.
  std::vector<int> bits(std::initializer_list<int> held) {
    for (int k = 0; k < 256; k++) null_key_set(k, 0);
    for (int k : held) null_key_set(k, 1);
    keyboard_sample();
    std::vector<int> down;
    for (int k = 0; k < 256; k++)
      if (key_down(k)) down.push_back(k);
    return down;
  }
  std::vector<int> bound(int key) {
    std::vector<int> keys;
    for (int i = 0; key_bound(key, i); i++) keys.push_back(key_bound(key, i));
    return keys;
  }
};

using Keys = std::vector<int>;
const int W = 17, J = 36, KEYPAD_4 = 75, RETURN = 28, RIGHT_ALT = 184;

const KeyAction actions[] = {
    {"walk left", KEY_LEFT, 0, "Left, A"}, {"jump", KEY_UP, 0, "Up, W"},
    {"act", KEY_SPACE, 0, "Space"},        {"full screen", KEY_F, KEY_LCONTROL, "LeftCtrl+F"},
    {"quit", KEY_ESCAPE, 0, "Esc"},
};
} // namespace

TEST_F(Bindings, ABoundBitIsSetByItsKeysAloneAndEveryOtherBitByItsOwnKey) {
  const int jump[] = {W, KEY_SPACE};
  ASSERT_EQ(keyboard_bind(KEY_UP, jump, 2), 1);
  EXPECT_EQ(bits({W}), (Keys{W, KEY_UP}));
  EXPECT_EQ(bits({KEY_SPACE}), (Keys{KEY_SPACE, KEY_UP}));
  EXPECT_EQ(bits({KEY_UP}), Keys{}) << "Up no longer sets its own bit";
  EXPECT_EQ(bits({KEY_LEFT, 255}), (Keys{KEY_LEFT, 255}));
  EXPECT_EQ(bound(KEY_UP), (Keys{W, KEY_SPACE}));
  EXPECT_EQ(bound(KEY_LEFT), Keys{KEY_LEFT});

  // Out of range: nothing changes.
  const int zero[] = {0}, five[] = {1, 2, 3, 4, 5};
  EXPECT_EQ(keyboard_bind(KEY_UP, zero, 1), 0);
  EXPECT_EQ(keyboard_bind(KEY_UP, five, 5), 0);
  EXPECT_EQ(keyboard_bind(0, jump, 1), 0);
  EXPECT_EQ(keyboard_bind(256, jump, 1), 0);
  EXPECT_EQ(bound(KEY_UP), (Keys{W, KEY_SPACE}));
  // Bound to nothing, a bit is never set.
  ASSERT_EQ(keyboard_bind(KEY_DOWN, nullptr, 0), 1);
  EXPECT_EQ(bits({KEY_DOWN}), Keys{});

  // The keyboard's shutdown gives every key its own bit back.
  keyboard_shutdown();
  ASSERT_TRUE(keyboard_init());
  EXPECT_EQ(bits({W, KEY_DOWN}), (Keys{W, KEY_DOWN}));
}

TEST(KeyNames, EveryNameReadsBackInAnyCaseAndNamesTheKeyOfItsScancode) {
  int named = 0;
  for (int k = 0; k < 256; k++) {
    std::string name = key_name(k);
    if (name.empty()) continue;
    named++;
    EXPECT_EQ(key_named(name), k) << name;
    for (char& c : name) c = (char)tolower(c);
    EXPECT_EQ(key_named(name), k) << name;
  }
  EXPECT_EQ(named, 105);
  const std::pair<const char*, int> some[] = {{"Esc", 1},
                                              {"escape", 1},
                                              {"1", 2},
                                              {"0", 11},
                                              {"Tab", 15},
                                              {"W", 17},
                                              {"Return", 28},
                                              {"enter", 28},
                                              {"LeftCtrl", 29},
                                              {"CTRL", 29},
                                              {"A", 30},
                                              {"F", 33},
                                              {"Shift", 42},
                                              {"M", 50},
                                              {"Alt", 56},
                                              {"Space", 57},
                                              {"F1", 59},
                                              {"F5", 63},
                                              {"F10", 68},
                                              {"Keypad4", 75},
                                              {"F11", 87},
                                              {"F12", 88},
                                              {"KeypadEnter", 156},
                                              {"RightCtrl", 157},
                                              {"RightAlt", 184},
                                              {"Up", 200},
                                              {"Left", 203},
                                              {"Right", 205},
                                              {"Down", 208},
                                              {"Delete", 211},
                                              {"Menu", 221}};
  for (auto [name, key] : some) EXPECT_EQ(key_named(name), key) << name;
  for (const char* none : {"", "Nope", "Left Ctrl", "F13", "Ctrl+F"})
    EXPECT_EQ(key_named(none), 0) << none;
  EXPECT_STREQ(key_name(0), "");
  EXPECT_STREQ(key_name(300), "");
}

TEST_F(Bindings, TheFileReplacesDefaultsAndNamesEveryLineItCannotUse) {
  ScratchDir dir;
  const std::string path = dir / "keys.conf";
  write_file(path, "# my keys\n"
                   "\n"
                   "Walk-Left = J   # the left hand rests\n"
                   "walk  left=keypad4\n"
                   "jump = W, Nope\n"
                   "act Space\n"
                   "fly = F2\n"
                   "full screen = F11\n"
                   "quit = Q\n"
                   "quit =\n"
                   "act = Return\r\n"
                   "quit = Q, W, E, R, T\n");
  std::vector<std::string> faults;
  EXPECT_EQ(key_bindings_load(path.c_str(), actions, 5, &faults), 0);
  EXPECT_EQ(faults, (std::vector<std::string>{
                        path + ":5: no key named 'Nope'; jump keeps Up, W",
                        path + ":6: not 'action = key'",
                        path + ":7: no action named 'fly'",
                        path + ":8: full screen takes a key held with another, as LeftCtrl+F; "
                               "full screen keeps LeftCtrl+F",
                        path + ":10: no key given; quit keeps Esc",
                        path + ":12: more than 4 keys; quit keeps Esc",
                    }));
  EXPECT_EQ(bound(KEY_LEFT), (Keys{J, KEYPAD_4})) << "lines of one action add up";
  EXPECT_EQ(bound(KEY_UP), (Keys{KEY_UP, W}));
  EXPECT_EQ(bound(KEY_SPACE), Keys{RETURN});
  EXPECT_EQ(bound(KEY_F), Keys{KEY_F});
  EXPECT_EQ(bound(KEY_LCONTROL), Keys{KEY_LCONTROL});
  EXPECT_EQ(bound(KEY_ESCAPE), Keys{KEY_ESCAPE}) << "one bad line keeps the defaults";
  EXPECT_EQ(bits({J}), (Keys{J, KEY_LEFT}));

  // A key held with another; what the file no longer names is back at its defaults.
  write_file(path, "full screen = RightAlt+Return\n");
  faults.clear();
  EXPECT_EQ(key_bindings_load(path.c_str(), actions, 5, &faults), 1);
  EXPECT_EQ(faults, std::vector<std::string>{});
  EXPECT_EQ(bound(KEY_F), Keys{RETURN});
  EXPECT_EQ(bound(KEY_LCONTROL), Keys{RIGHT_ALT});
  EXPECT_EQ(bound(KEY_LEFT), (Keys{KEY_LEFT, 30}));
  EXPECT_EQ(bound(KEY_SPACE), Keys{KEY_SPACE});
  EXPECT_EQ(bits({RIGHT_ALT, RETURN}), (Keys{RETURN, KEY_LCONTROL, KEY_F, RIGHT_ALT}));
}

TEST_F(Bindings, WithoutAFileTheDefaultsHoldAndAFileThatCannotBeReadIsNamed) {
  ScratchDir dir;
  std::vector<std::string> faults;
  EXPECT_EQ(key_bindings_load((dir / "none").c_str(), actions, 5, &faults), 1);
  EXPECT_EQ(faults, std::vector<std::string>{});
  EXPECT_EQ(bound(KEY_UP), (Keys{KEY_UP, W}));
  EXPECT_EQ(bits({W}), (Keys{W, KEY_UP}));

  std::filesystem::create_directory(dir / "folder");
  write_file(dir / "huge", std::string(65 << 10, '#'));
  for (const std::string& bad : {dir / "folder", dir / "huge"}) {
    faults.clear();
    EXPECT_EQ(key_bindings_load(bad.c_str(), actions, 5, &faults), 0);
    EXPECT_EQ(faults,
              std::vector<std::string>{
                  bad + ": not a readable file of at most 64 KiB; every action keeps its keys"});
    EXPECT_EQ(bound(KEY_LEFT), (Keys{KEY_LEFT, 30}));
  }
}

// A key takes one action only: a line giving a key another action holds is
// named with both actions and refused, and the action keeps its defaults. An
// action the file binds gives up its defaults wherever its lines are; one it
// leaves alone (or refuses) holds them first.
TEST_F(Bindings, AKeyTakesOneActionOnly) {
  ScratchDir dir;
  const std::string path = dir / "keys.conf";
  const Keys defaults[] = {{KEY_LEFT, 30}, {KEY_UP, W}, {KEY_SPACE}, {KEY_F}, {KEY_ESCAPE}};
  const int codes[] = {KEY_LEFT, KEY_UP, KEY_SPACE, KEY_F, KEY_ESCAPE};
  struct Case {
    const char* file;
    std::vector<std::string> faults;         // after "path:"
    std::vector<std::pair<int, Keys>> moved; // the actions off their defaults
  } cases[] = {
      {"quit = Space\n", {"1: Space is taken by act; quit keeps Esc"}, {}},
      {"act = Escape\n", {"1: Esc is taken by quit; act keeps Space"}, {}},
      {"walk left = J\njump = J, W\n",
       {"2: J is taken by walk left; jump keeps Up, W"},
       {{KEY_LEFT, {J}}}},
      // Moved off Space before or after Space is given away; Ctrl held for
      // full screen is no key of its own.
      {"act = Return\njump = Space\nquit = LeftCtrl\n",
       {},
       {{KEY_SPACE, {RETURN}}, {KEY_UP, {KEY_SPACE}}, {KEY_ESCAPE, {KEY_LCONTROL}}}},
      {"jump = Space\nact = Return\n", {}, {{KEY_SPACE, {RETURN}}, {KEY_UP, {KEY_SPACE}}}},
      // A refusal gives an action its defaults back, which refuses the line
      // that had taken them.
      {"walk left = Up\njump = Space\nact = Return\nact = Nope\n",
       {"1: Up is taken by jump; walk left keeps Left, A",
        "2: Space is taken by act; jump keeps Up, W", "4: no key named 'Nope'; act keeps Space"},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    write_file(path, c.file);
    std::vector<std::string> faults, expected;
    for (const std::string& f : c.faults) expected.push_back(path + ":" + f);
    EXPECT_EQ(key_bindings_load(path.c_str(), actions, 5, &faults), expected.empty());
    EXPECT_EQ(faults, expected);
    for (int a = 0; a < 5; a++) {
      Keys want = defaults[a];
      for (const auto& [code, keys] : c.moved)
        if (code == codes[a]) want = keys;
      EXPECT_EQ(bound(codes[a]), want) << actions[a].name;
    }
  }
}

// A file of bad lines names ten, then how many more; bytes outside printable
// ASCII are shown escaped (a NUL cuts nothing), long names are cut, and the
// byte-order mark Notepad writes is skipped.
TEST_F(Bindings, BadLinesAreNamedTenAtMostAndEscaped) {
  ScratchDir dir;
  const std::string path = dir / "keys.conf";
  std::string text = "\xEF\xBB\xBFjump = W\n\x1b[31m = A\nfly";
  text += std::string(1, '\0') + "\xC3\xA9 = F2\nquit = \x01\n" + std::string(40, 'a') + " = A\n";
  for (int i = 0; i < 20; i++) text += "x\n";
  write_file(path, text);
  std::vector<std::string> faults;
  EXPECT_EQ(key_bindings_load(path.c_str(), actions, 5, &faults), 0);
  std::vector<std::string> expected = {
      path + ":2: no action named '\\x1b[31m'",
      path + ":3: no action named 'fly\\x00\\xc3\\xa9'",
      path + ":4: no key named '\\x01'; quit keeps Esc",
      path + ":5: no action named '" + std::string(32, 'a') + "...'",
  };
  for (int line = 6; line < 12; line++)
    expected.push_back(path + ":" + std::to_string(line) + ": not 'action = key'");
  expected.push_back(path + ": and 14 more lines that cannot be used");
  EXPECT_EQ(faults, expected);
  EXPECT_EQ(bound(KEY_UP), Keys{W});
}
