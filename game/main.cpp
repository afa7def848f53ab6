#include "game/controls.h"
#include "game/frame_loop.h"
#include "game/options.h"
#include "game/work_folder.h"
#include "runtime/core/folders.h"
#include "runtime/core/process.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  // Before any file is opened, and so that a request to end is heeded from the start.
  process_start();
  std::string text;
  int code = 0;
  if (!options_parse(argc, argv, &text, &code)) {
    FILE* out = code ? stderr : stdout;
    // Help or version text that did not arrive (a full disk, a closed pipe) is
    // a failure, as for any program.
    if ((fputs(text.c_str(), out) < 0 || fflush(out) != 0) && !code) {
      fprintf(stderr, "quillmoor: cannot write to standard output: %s\n", strerror(errno));
      return 1;
    }
    return code;
  }
  // Missing art does not stop the game, but the player is told once.
  std::string report;
  work_folder_choose(folder_of_program(QUILL_DATA_FROM_PROGRAM), &report);
  controls_load(&report);
  process_report(report);
  game_main();
}
