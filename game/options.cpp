#include "game/options.h"

#include "runtime/display/screen.h"

#include <cstring>

GameOptions options = {1, 0, SCREEN_FIT_AUTO};

std::string options_usage() {
  return "Usage: quillmoor [OPTION]...\n"
         "A small side-scrolling exploration game.\n"
         "\n"
         "  --scale N        a window N times 640x480 (1 to 8, at most what the\n"
         "                   desktop holds), each pixel an N by N block; 'auto'\n"
         "                   for the largest that fits the desktop\n"
         "  --fit whole|sharp\n"
         "                   how the picture fills a full screen or a bigger window:\n"
         "                   'whole' by whole multiples only, 'sharp' as large as it\n"
         "                   fits (crisp blocks, smoothed where they meet); by default\n"
         "                   whole where twice the size fits, else sharp\n"
         "  --gentle-flash   Space tints the landscape a quarter instead of covering\n"
         "                   it with a flat colour, at most three times a second\n"
         "  --mute           start with every sound muted (M mutes and unmutes)\n"
         "  --no-hint        no hint of the keys at the first start\n"
         "  --help           show this help and exit\n"
         "  --version        show the version and exit\n";
}

static int parse_scale(const char* value) {
  if (!value) return -1;
  if (!strcmp(value, "auto")) return 0;
  if (value[0] < '1' || value[0] > '8' || value[1]) return -1;
  return value[0] - '0';
}

int options_parse(int argc, const char* const* argv, std::string* text, int* code) {
  options = GameOptions{SCALE_OF_DISPLAY, 0, SCREEN_FIT_AUTO};
  options.first_hint = 1;
  for (int i = 1; i < argc; i++) {
    const char* arg = argv[i];
    if (!strcmp(arg, "--help")) {
      *text = options_usage();
      *code = 0;
      return 0;
    }
    if (!strcmp(arg, "--version")) {
      *text = "quillmoor " QUILL_VERSION "\n";
      *code = 0;
      return 0;
    }
    if (!strcmp(arg, "--mute")) {
      options.mute = 1;
      continue;
    }
    if (!strcmp(arg, "--no-hint")) {
      options.first_hint = 0;
      continue;
    }
    if (!strcmp(arg, "--gentle-flash")) {
      options.gentle_flash = 1;
      continue;
    }
    // --fit whole|sharp and --fit=...
    if (!strcmp(arg, "--fit") || !strncmp(arg, "--fit=", 6)) {
      const char* fit = arg[5] ? arg + 6 : i + 1 < argc ? argv[++i] : "";
      if (strcmp(fit, "whole") && strcmp(fit, "sharp")) {
        *text = "quillmoor: --fit takes 'whole' or 'sharp'\n" + options_usage();
        *code = 2;
        return 0;
      }
      options.fit = fit[0] == 'w' ? SCREEN_FIT_WHOLE : SCREEN_FIT_SHARP;
      continue;
    }
    // --scale N and --scale=N
    const char* value = nullptr;
    if (!strcmp(arg, "--scale")) {
      value = i + 1 < argc ? argv[++i] : nullptr;
    } else if (!strncmp(arg, "--scale=", 8)) {
      value = arg + 8;
    } else {
      *text = "quillmoor: unknown option '" + std::string(arg) + "'\n" + options_usage();
      *code = 2;
      return 0;
    }
    int scale = parse_scale(value);
    if (scale < 0) {
      *text = "quillmoor: --scale takes a whole number from 1 to 8, or 'auto'\n" + options_usage();
      *code = 2;
      return 0;
    }
    options.scale = scale;
  }
  return 1;
}
