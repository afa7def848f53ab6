#include "game/frame_loop.h"
#include "game/options.h"

#include <cstdio>

int main(int argc, char** argv) {
  std::string text;
  int code = 0;
  if (!options_parse(argc, argv, &text, &code)) {
    fputs(text.c_str(), code ? stderr : stdout);
    return code;
  }
  game_main();
}
