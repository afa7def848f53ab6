// Game pads on SDL's dummy drivers, through SDL's virtual joysticks: what each
// control stands for, pads plugged in and out while the game runs, and the game
// played with a pad as with the keys.
#include "game/screen_modes.h"
#include "tests/display/sdl2_runtime.h"
#include "tests/game/game_folder.h"
#include "tests/game/track_trace.h"
#include "tests/support/xvfb.h"

#include <SDL.h>
#include <algorithm>
#include <gtest/gtest.h>

namespace {
// A standard pad as SDL's game-controller system sees it, plugged in while it lives.
struct VirtualPad {
  SDL_Joystick* joystick = nullptr;
  VirtualPad() {
    SDL_InitSubSystem(SDL_INIT_JOYSTICK);
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = SDL_CONTROLLER_AXIS_MAX;
    desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    desc.name = "Virtual pad";
    joystick = SDL_JoystickOpen(SDL_JoystickAttachVirtualEx(&desc));
  }
  // Holds these buttons, every other one up, and the left stick at x, y.
  void hold(const std::vector<SDL_GameControllerButton>& buttons, int x = 0, int y = 0) {
    for (int b = 0; b < SDL_CONTROLLER_BUTTON_MAX; b++)
      SDL_JoystickSetVirtualButton(joystick, b, 0);
    for (SDL_GameControllerButton b : buttons) SDL_JoystickSetVirtualButton(joystick, b, 1);
    SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_LEFTX, (Sint16)x);
    SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_LEFTY, (Sint16)y);
  }
  void unplug() {
    for (int i = 0; i < SDL_NumJoysticks(); i++)
      if (SDL_JoystickGetDeviceInstanceID(i) == SDL_JoystickInstanceID(joystick))
        SDL_JoystickDetachVirtual(i);
    SDL_JoystickClose(joystick);
    joystick = nullptr;
  }
  ~VirtualPad() {
    if (joystick) unplug();
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
  }
};

std::vector<int> keys_down() {
  std::vector<int> down;
  for (int k = 0; k < 256; k++)
    if (key_down(k)) down.push_back(k);
  return down;
}

// The keys of a track's frame on the pad, each by one of the controls that
// stand for it; the stick rests a little off centre, inside its dead zone.
void hold_track_keys(VirtualPad* pad, const Track& t, uint32_t f) {
  std::vector<SDL_GameControllerButton> b;
  if (track_has(t, f, "Up")) b.push_back(SDL_CONTROLLER_BUTTON_A);
  if (track_has(t, f, "Left")) b.push_back(SDL_CONTROLLER_BUTTON_DPAD_LEFT);
  if (track_has(t, f, "Space"))
    b.push_back(f % 2 ? SDL_CONTROLLER_BUTTON_B : SDL_CONTROLLER_BUTTON_X);
  if (track_has(t, f, "F1")) b.push_back(SDL_CONTROLLER_BUTTON_Y);
  if (track_has(t, f, "F5") || track_has(t, f, "Escape")) b.push_back(SDL_CONTROLLER_BUTTON_BACK);
  if (track_has(t, f, "Escape")) b.push_back(SDL_CONTROLLER_BUTTON_START);
  pad->hold(b,
            track_has(t, f, "Right") ? 20000
            : f % 2                  ? 6000
                                     : -6000,
            track_has(t, f, "Down") ? 20000 : -6000);
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t at = 0; at < text.size();) {
    size_t end = std::min(text.find('\n', at), text.size());
    lines.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return lines;
}
} // namespace

TEST(Pads, EachControlStandsForItsKeysAndAPadUnpluggedLetsThemGo) {
  Runtime runtime;
  ASSERT_TRUE(display_init());
  ASSERT_TRUE(keyboard_init());
  // Shown, and so in front with the focus: on the dummy driver nothing else can have it.
  ASSERT_TRUE(window_open(0, 0, 0, 640, 480, "pads", 0xC80001));
  // The player's choice of keys moves no pad control: here no key sets the bits
  // the pads stand for.
  for (int key : {KEY_ESCAPE, KEY_SPACE, KEY_F1, KEY_F5, KEY_UP, KEY_LEFT, KEY_RIGHT, KEY_DOWN})
    ASSERT_EQ(keyboard_bind(key, nullptr, 0), 1);
  ASSERT_EQ(keyboard_sample(), 1);
  EXPECT_EQ(keys_down(), std::vector<int>{}) << "no pad";

  VirtualPad pad; // plugged in while the keyboard is open
  using B = SDL_GameControllerButton;
  const struct {
    const char* what;
    std::vector<B> buttons;
    int x, y;
    std::vector<int> keys; // in scancode order
  } cases[] = {
      {"A", {SDL_CONTROLLER_BUTTON_A}, 0, 0, {KEY_UP}},
      {"B", {SDL_CONTROLLER_BUTTON_B}, 0, 0, {KEY_SPACE}},
      {"X", {SDL_CONTROLLER_BUTTON_X}, 0, 0, {KEY_SPACE}},
      {"Y", {SDL_CONTROLLER_BUTTON_Y}, 0, 0, {KEY_F1}},
      {"Back", {SDL_CONTROLLER_BUTTON_BACK}, 0, 0, {KEY_F5}},
      {"Start", {SDL_CONTROLLER_BUTTON_START}, 0, 0, {}},
      {"Start and Back",
       {SDL_CONTROLLER_BUTTON_START, SDL_CONTROLLER_BUTTON_BACK},
       0,
       0,
       {KEY_ESCAPE, KEY_F5}},
      {"d-pad left", {SDL_CONTROLLER_BUTTON_DPAD_LEFT}, 0, 0, {KEY_LEFT}},
      {"d-pad right", {SDL_CONTROLLER_BUTTON_DPAD_RIGHT}, 0, 0, {KEY_RIGHT}},
      {"d-pad down", {SDL_CONTROLLER_BUTTON_DPAD_DOWN}, 0, 0, {KEY_DOWN}},
      {"d-pad up", {SDL_CONTROLLER_BUTTON_DPAD_UP}, 0, 0, {}},
      {"the rest",
       {SDL_CONTROLLER_BUTTON_GUIDE, SDL_CONTROLLER_BUTTON_LEFTSHOULDER,
        SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, SDL_CONTROLLER_BUTTON_LEFTSTICK},
       0,
       0,
       {}},
      {"stick at the edge of its dead zone", {}, -8000, 8000, {}},
      {"stick left", {}, -8001, 0, {KEY_LEFT}},
      {"stick right and down", {}, 8001, 8001, {KEY_RIGHT, KEY_DOWN}},
      {"stick up", {}, 0, -32768, {}},
  };
  for (const auto& c : cases) {
    pad.hold(c.buttons, c.x, c.y);
    ASSERT_EQ(keyboard_sample(), 1);
    EXPECT_EQ(keys_down(), c.keys) << c.what;
  }

  // A second pad adds its keys; the first, unplugged in the middle of a press,
  // lets its keys go as if they were released.
  VirtualPad second;
  pad.hold({SDL_CONTROLLER_BUTTON_A});
  second.hold({SDL_CONTROLLER_BUTTON_X});
  keyboard_sample();
  EXPECT_EQ(keys_down(), (std::vector<int>{KEY_SPACE, KEY_UP}));
  EXPECT_EQ(key_released(KEY_UP), 0);
  pad.unplug();
  keyboard_sample();
  EXPECT_EQ(keys_down(), std::vector<int>{KEY_SPACE});
  EXPECT_EQ(key_released(KEY_UP), 1);
}

// The keys' run comes from play_track on the null platform; the pad's is the
// same game on SDL's dummy drivers. A jump, then the opening of the full replay
// (the hint card, walking, the rocks) up to its first discovery.
TEST(PadGame, APadPlaysAJumpAndTheFullReplayToItsFirstDiscoveryAsTheKeysDo) {
  ScratchDir scratch;
  write_file(scratch / "jump.track", "seed 7\nframes 100\n5-7 Up\n50-52 Right Up\n53-90 Right\n");
  for (const std::string& path :
       {scratch / "jump.track", std::string(QUILL_SOURCE_DIR "/tests/game/replay_full.track")}) {
    SCOPED_TRACE(path);
    std::vector<std::string> keys =
        lines_of(command_output(QUILL_BINARY_DIR "/tests/game/play_track " + path));
    ASSERT_GT(keys.size(), 50u) << "play_track gave no trace";

    Track track;
    ASSERT_TRUE(track_load(path, &track));
    std::vector<std::string> pad_lines;
    {
      GameFolder folder(QUILL_DATA_DIR);
      VirtualPad pad;
      pad_lines = track_trace(track, [&](uint32_t f) { hold_track_keys(&pad, track, f); });
      close_game_screen();
      shutdown_runtime();
      game_state_reset();
    }
    ASSERT_EQ(pad_lines.size(), keys.size());
    for (size_t i = 0; i < keys.size(); i++)
      ASSERT_EQ(pad_lines[i], keys[i]) << "frame, progress, height, world hash";
  }
}

TEST(PadGame, StartAndBackTogetherQuitWithExitCodeZero) {
  GameFolder folder(QUILL_DATA_DIR); // made before the game's process is forked off
  // Exit code 3: the game never quit; 4: Back alone quit it.
  EXPECT_EXIT(
      {
        VirtualPad pad;
        game_startup();
        for (int f = 0; f < 200; f++) {
          if (game.quit_requested) {
            if (f <= 30) std::_Exit(4);
            fatal_error("");
          }
          if (f == 20) pad.hold({SDL_CONTROLLER_BUTTON_BACK});
          if (f == 30) pad.hold({SDL_CONTROLLER_BUTTON_BACK, SDL_CONTROLLER_BUTTON_START});
          game_frame();
        }
        std::_Exit(3);
      },
      ::testing::ExitedWithCode(0), "");
}
