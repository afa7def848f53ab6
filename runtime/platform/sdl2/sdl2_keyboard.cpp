// SDL2 backend: the keyboard snapshot in the game's scancode numbering (the PC
// keyboard's set-1 make codes, extended keys with 128 added), with the keys
// that connected game pads and the page's touch controls stand for.
#include "runtime/platform/plat_core.h"
#include "runtime/platform/plat_key_routes.h"
#include "runtime/platform/plat_pad.h"
#include "runtime/platform/plat_window.h"

#include <SDL.h>
#include <algorithm>
#include <cstring>
#include <vector>

namespace {
struct KeyMap {
  SDL_Scancode sdl;
  uint8_t code;
};

// Every key of a standard PC keyboard (with its keypad and the common media keys).
const KeyMap key_map[] = {
    {SDL_SCANCODE_ESCAPE, 1},
    {SDL_SCANCODE_1, 2},
    {SDL_SCANCODE_2, 3},
    {SDL_SCANCODE_3, 4},
    {SDL_SCANCODE_4, 5},
    {SDL_SCANCODE_5, 6},
    {SDL_SCANCODE_6, 7},
    {SDL_SCANCODE_7, 8},
    {SDL_SCANCODE_8, 9},
    {SDL_SCANCODE_9, 10},
    {SDL_SCANCODE_0, 11},
    {SDL_SCANCODE_MINUS, 12},
    {SDL_SCANCODE_EQUALS, 13},
    {SDL_SCANCODE_BACKSPACE, 14},
    {SDL_SCANCODE_TAB, 15},
    {SDL_SCANCODE_Q, 16},
    {SDL_SCANCODE_W, 17},
    {SDL_SCANCODE_E, 18},
    {SDL_SCANCODE_R, 19},
    {SDL_SCANCODE_T, 20},
    {SDL_SCANCODE_Y, 21},
    {SDL_SCANCODE_U, 22},
    {SDL_SCANCODE_I, 23},
    {SDL_SCANCODE_O, 24},
    {SDL_SCANCODE_P, 25},
    {SDL_SCANCODE_LEFTBRACKET, 26},
    {SDL_SCANCODE_RIGHTBRACKET, 27},
    {SDL_SCANCODE_RETURN, 28},
    {SDL_SCANCODE_LCTRL, 29},
    {SDL_SCANCODE_A, 30},
    {SDL_SCANCODE_S, 31},
    {SDL_SCANCODE_D, 32},
    {SDL_SCANCODE_F, 33},
    {SDL_SCANCODE_G, 34},
    {SDL_SCANCODE_H, 35},
    {SDL_SCANCODE_J, 36},
    {SDL_SCANCODE_K, 37},
    {SDL_SCANCODE_L, 38},
    {SDL_SCANCODE_SEMICOLON, 39},
    {SDL_SCANCODE_APOSTROPHE, 40},
    {SDL_SCANCODE_GRAVE, 41},
    {SDL_SCANCODE_LSHIFT, 42},
    {SDL_SCANCODE_BACKSLASH, 43},
    {SDL_SCANCODE_NONUSHASH, 43},
    {SDL_SCANCODE_Z, 44},
    {SDL_SCANCODE_X, 45},
    {SDL_SCANCODE_C, 46},
    {SDL_SCANCODE_V, 47},
    {SDL_SCANCODE_B, 48},
    {SDL_SCANCODE_N, 49},
    {SDL_SCANCODE_M, 50},
    {SDL_SCANCODE_COMMA, 51},
    {SDL_SCANCODE_PERIOD, 52},
    {SDL_SCANCODE_SLASH, 53},
    {SDL_SCANCODE_RSHIFT, 54},
    {SDL_SCANCODE_KP_MULTIPLY, 55},
    {SDL_SCANCODE_LALT, 56},
    {SDL_SCANCODE_SPACE, 57},
    {SDL_SCANCODE_CAPSLOCK, 58},
    {SDL_SCANCODE_F1, 59},
    {SDL_SCANCODE_F2, 60},
    {SDL_SCANCODE_F3, 61},
    {SDL_SCANCODE_F4, 62},
    {SDL_SCANCODE_F5, 63},
    {SDL_SCANCODE_F6, 64},
    {SDL_SCANCODE_F7, 65},
    {SDL_SCANCODE_F8, 66},
    {SDL_SCANCODE_F9, 67},
    {SDL_SCANCODE_F10, 68},
    {SDL_SCANCODE_NUMLOCKCLEAR, 69},
    {SDL_SCANCODE_SCROLLLOCK, 70},
    {SDL_SCANCODE_KP_7, 71},
    {SDL_SCANCODE_KP_8, 72},
    {SDL_SCANCODE_KP_9, 73},
    {SDL_SCANCODE_KP_MINUS, 74},
    {SDL_SCANCODE_KP_4, 75},
    {SDL_SCANCODE_KP_5, 76},
    {SDL_SCANCODE_KP_6, 77},
    {SDL_SCANCODE_KP_PLUS, 78},
    {SDL_SCANCODE_KP_1, 79},
    {SDL_SCANCODE_KP_2, 80},
    {SDL_SCANCODE_KP_3, 81},
    {SDL_SCANCODE_KP_0, 82},
    {SDL_SCANCODE_KP_PERIOD, 83},
    {SDL_SCANCODE_NONUSBACKSLASH, 86},
    {SDL_SCANCODE_F11, 87},
    {SDL_SCANCODE_F12, 88},
    {SDL_SCANCODE_F13, 100},
    {SDL_SCANCODE_F14, 101},
    {SDL_SCANCODE_F15, 102},
    {SDL_SCANCODE_INTERNATIONAL2, 112},
    {SDL_SCANCODE_INTERNATIONAL1, 115},
    {SDL_SCANCODE_INTERNATIONAL4, 121},
    {SDL_SCANCODE_INTERNATIONAL5, 123},
    {SDL_SCANCODE_INTERNATIONAL3, 125},
    {SDL_SCANCODE_KP_EQUALS, 141},
    {SDL_SCANCODE_AUDIOPREV, 144},
    {SDL_SCANCODE_AUDIONEXT, 153},
    {SDL_SCANCODE_KP_ENTER, 156},
    {SDL_SCANCODE_RCTRL, 157},
    {SDL_SCANCODE_MUTE, 160},
    {SDL_SCANCODE_CALCULATOR, 161},
    {SDL_SCANCODE_AUDIOPLAY, 162},
    {SDL_SCANCODE_AUDIOSTOP, 164},
    {SDL_SCANCODE_VOLUMEDOWN, 174},
    {SDL_SCANCODE_VOLUMEUP, 176},
    {SDL_SCANCODE_AC_HOME, 178},
    {SDL_SCANCODE_KP_COMMA, 179},
    {SDL_SCANCODE_KP_DIVIDE, 181},
    {SDL_SCANCODE_PRINTSCREEN, 183},
    {SDL_SCANCODE_RALT, 184},
    {SDL_SCANCODE_PAUSE, 197},
    {SDL_SCANCODE_HOME, 199},
    {SDL_SCANCODE_UP, 200},
    {SDL_SCANCODE_PAGEUP, 201},
    {SDL_SCANCODE_LEFT, 203},
    {SDL_SCANCODE_RIGHT, 205},
    {SDL_SCANCODE_END, 207},
    {SDL_SCANCODE_DOWN, 208},
    {SDL_SCANCODE_PAGEDOWN, 209},
    {SDL_SCANCODE_INSERT, 210},
    {SDL_SCANCODE_DELETE, 211},
    {SDL_SCANCODE_LGUI, 219},
    {SDL_SCANCODE_RGUI, 220},
    {SDL_SCANCODE_APPLICATION, 221},
    {SDL_SCANCODE_POWER, 222},
    {SDL_SCANCODE_SLEEP, 223},
    {SDL_SCANCODE_AC_SEARCH, 229},
    {SDL_SCANCODE_AC_BOOKMARKS, 230},
    {SDL_SCANCODE_AC_REFRESH, 231},
    {SDL_SCANCODE_AC_STOP, 232},
    {SDL_SCANCODE_AC_FORWARD, 233},
    {SDL_SCANCODE_AC_BACK, 234},
    {SDL_SCANCODE_COMPUTER, 235},
    {SDL_SCANCODE_MAIL, 236},
    {SDL_SCANCODE_MEDIASELECT, 237},
};
} // namespace

// The pads SDL's game-controller system knows, followed as they come and go.
struct PadState {
  int ready;                             // the game-controller system is up
  std::vector<SDL_GameController*> open; // every pad plugged in, as opened
};
static PadState pads;

static const struct {
  SDL_GameControllerButton button;
  int control;
} pad_buttons[] = {
    {SDL_CONTROLLER_BUTTON_A, PAD_SOUTH},        {SDL_CONTROLLER_BUTTON_B, PAD_EAST},
    {SDL_CONTROLLER_BUTTON_X, PAD_WEST},         {SDL_CONTROLLER_BUTTON_Y, PAD_NORTH},
    {SDL_CONTROLLER_BUTTON_BACK, PAD_BACK},      {SDL_CONTROLLER_BUTTON_START, PAD_START},
    {SDL_CONTROLLER_BUTTON_DPAD_LEFT, PAD_LEFT}, {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, PAD_RIGHT},
    {SDL_CONTROLLER_BUTTON_DPAD_DOWN, PAD_DOWN},
};

static void pads_open() {
  // SDL drops pad presses while no window of its own has the desktop's focus;
  // the snapshot asks for our focus itself, and must see a button held across it.
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
  pads.ready = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
}

static void pads_close() {
  for (SDL_GameController* c : pads.open) SDL_GameControllerClose(c);
  pads.open.clear();
  if (pads.ready) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
  pads.ready = 0;
}

static SDL_JoystickID pad_id(SDL_GameController* c) {
  return SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(c));
}

// Closes the pads unplugged since the last read and opens those plugged in.
static void pads_follow() {
  std::erase_if(pads.open, [](SDL_GameController* c) {
    if (SDL_GameControllerGetAttached(c)) return false;
    SDL_GameControllerClose(c);
    return true;
  });
  for (int i = 0; i < SDL_NumJoysticks(); i++) {
    SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(i);
    bool known = std::any_of(pads.open.begin(), pads.open.end(),
                             [id](SDL_GameController* c) { return pad_id(c) == id; });
    if (known || !SDL_IsGameController(i)) continue;
    if (SDL_GameController* c = SDL_GameControllerOpen(i)) pads.open.push_back(c);
  }
}

// The controls held on all pads together.
static int pad_controls() {
  int controls = 0;
  for (SDL_GameController* c : pads.open) {
    for (const auto& b : pad_buttons)
      if (SDL_GameControllerGetButton(c, b.button)) controls |= b.control;
    controls |= plat_pad_stick(SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_LEFTX),
                               SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_LEFTY));
  }
  return controls;
}

int plat_keyboard_open() {
  if (SDL_InitSubSystem(SDL_INIT_EVENTS) != 0) return 0;
  pads_open(); // no pads is no reason to refuse the keyboard
  return 1;
}

void plat_keyboard_close() {
  pads_close();
  SDL_QuitSubSystem(SDL_INIT_EVENTS);
}

int plat_keyboard_read(uint8_t snapshot[256], PlatWindow* owner) {
  SDL_PumpEvents(); // also brings the pads' state and their plugging in and out
  // Like a foreground-only input device: no snapshot while the window that owns
  // the screen lacks the focus (before there is one: while all of ours lack it).
  if (owner ? !plat_window_has_focus(owner) : !plat_window_focused()) return 0;
  int count = 0;
  const Uint8* state = SDL_GetKeyboardState(&count);
  uint8_t physical[256] = {};
  for (const KeyMap& k : key_map)
    if ((int)k.sdl < count && state[k.sdl]) physical[k.code] = 0x80;
  plat_keys_routed(physical, snapshot); // the player's choice of keys; pads stay as they are
  int controls = plat_touch_controls();
  if (pads.ready) {
    pads_follow();
    controls |= pad_controls();
  }
  plat_pad_keys(controls, snapshot);
  return 1;
}
