// The command line: what starts the game, what ends at once and with which code.
#include "game/options.h"
#include "runtime/display/screen.h"

#include <gtest/gtest.h>

static int parse(std::vector<const char*> args, std::string* text, int* code) {
  args.insert(args.begin(), "quillmoor");
  *code = -1;
  return options_parse((int)args.size(), args.data(), text, code);
}

TEST(CommandLine, NoOptionsStartsAsBefore) {
  std::string text;
  int code;
  options.scale = 5;
  EXPECT_EQ(parse({}, &text, &code), 1);
  EXPECT_EQ(options.scale, SCALE_OF_DISPLAY) << "the window follows the display's scale";
  EXPECT_EQ(options.gentle_flash, 0);
  EXPECT_EQ(options.mute, 0);
  EXPECT_EQ(options.first_hint, 1) << "a first start shows its hint";
}

TEST(CommandLine, MuteAndNoHint) {
  std::string text;
  int code;
  EXPECT_EQ(parse({"--mute", "--no-hint"}, &text, &code), 1);
  EXPECT_EQ(options.mute, 1);
  EXPECT_EQ(options.first_hint, 0);
  EXPECT_EQ(parse({"--help"}, &text, &code), 0);
  EXPECT_NE(text.find("--mute"), std::string::npos);
  EXPECT_NE(text.find("--no-hint"), std::string::npos);
  EXPECT_EQ(parse({"--no-hint"}, &text, &code), 1); // as the other tests find them
}

TEST(CommandLine, HelpAndVersionPrintAndEndWithZero) {
  std::string text;
  int code;
  EXPECT_EQ(parse({"--gentle-flash", "--help"}, &text, &code), 0);
  EXPECT_EQ(code, 0);
  EXPECT_NE(text.find("--scale"), std::string::npos);
  EXPECT_EQ(parse({"--version"}, &text, &code), 0);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(text, "quillmoor " QUILL_VERSION "\n");
}

TEST(CommandLine, ScaleTakesOneToEightOrAuto) {
  std::string text;
  int code;
  EXPECT_EQ(parse({"--scale", "8", "--gentle-flash"}, &text, &code), 1);
  EXPECT_EQ(options.scale, 8);
  EXPECT_EQ(options.gentle_flash, 1);
  EXPECT_EQ(parse({"--scale=auto"}, &text, &code), 1);
  EXPECT_EQ(options.scale, 0);
  for (auto bad : {"0", "9", "12", "", "x"}) {
    EXPECT_EQ(parse({"--scale", bad}, &text, &code), 0) << bad;
    EXPECT_EQ(code, 2);
  }
  EXPECT_EQ(parse({"--scale"}, &text, &code), 0);
  EXPECT_EQ(code, 2);
}

TEST(CommandLine, FitIsWholeOrSharpAndBothByDefault) {
  std::string text;
  int code;
  EXPECT_EQ(parse({}, &text, &code), 1);
  EXPECT_EQ(options.fit, SCREEN_FIT_AUTO);
  EXPECT_EQ(parse({"--fit", "whole"}, &text, &code), 1);
  EXPECT_EQ(options.fit, SCREEN_FIT_WHOLE);
  EXPECT_EQ(parse({"--fit=sharp"}, &text, &code), 1);
  EXPECT_EQ(options.fit, SCREEN_FIT_SHARP);
  for (auto bad : {"", "auto", "wholesome"}) {
    EXPECT_EQ(parse({"--fit", bad}, &text, &code), 0) << bad;
    EXPECT_EQ(code, 2);
    EXPECT_TRUE(text.starts_with("quillmoor: --fit takes 'whole' or 'sharp'\n")) << text;
  }
  EXPECT_EQ(parse({"--fit"}, &text, &code), 0);
  EXPECT_EQ(code, 2);
}

TEST(CommandLine, AnUnknownOptionPrintsTheUsageAndEndsWithTwo) {
  std::string text;
  int code;
  EXPECT_EQ(parse({"--fly"}, &text, &code), 0);
  EXPECT_EQ(code, 2);
  EXPECT_NE(text.find("'--fly'"), std::string::npos);
  EXPECT_NE(text.find("Usage:"), std::string::npos);
}
