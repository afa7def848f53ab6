#include "game/controls.h"
#include "game/frame_loop.h"
#include "game/options.h"
#include "game/work_folder.h"
#include "runtime/platform/plat_folders.h"

#include <cstdio>

int main(int argc, char** argv) {
  std::string text;
  int code = 0;
  if (!options_parse(argc, argv, &text, &code)) {
    fputs(text.c_str(), code ? stderr : stdout);
    return code;
  }
  // Missing art does not stop the game, but the player is told once.
  std::string report;
  work_folder_choose(plat_program_relative(QUILL_DATA_FROM_PROGRAM), &report);
  controls_load(&report);
  fputs(report.c_str(), stderr);
  game_main();
}
