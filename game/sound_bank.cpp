#include "game/sound_bank.h"

#include "game/work_folder.h"

#include "runtime/input_sound/sound.h"

// File of each sound number; what plays them is in the rules that call sound_play.
static const char* const sound_files[11] = {
    ".\\hear\\jjj.wav",  // 0 jump
    ".\\hear\\hhh.wav",  // 1 Space; knocked back
    ".\\hear\\ccc.wav",  // 2 destroyed, heavy landing, chaser starts, third ending card
    ".\\hear\\iii.wav",  // 3 caption; screenshot
    ".\\hear\\bop.wav",  // 4 Space at progress 3; the man's attack
    ".\\hear\\sun2.wav", // 5 Space at progress 1; the man appears
    ".\\hear\\fire.wav", // 6 Space at progress 4 to 6
    ".\\hear\\woo.wav",  // 7 the monster's attack
    ".\\hear\\die.wav",  // 8 the monster's destruction
    ".\\hear\\luv.wav",  // 9 the girl follows
    ".\\hear\\inc.wav",  // 10 the ending; the monster's change
};

static int load(int n, const char* file) { return sound_load(n, work_folder_file(file).c_str()); }

int load_sounds() {
  for (int n = 0; n < 10; n++) load(n, sound_files[n]);
  // Without its own recording the ending uses the caption's.
  if (!load(10, sound_files[10])) load(10, sound_files[3]);
  return 0;
}
