#include "runtime/core/dates.h"
#include "runtime/core/folders.h"
#include "runtime/platform/null/null_platform.h"
#include "tests/support/test_files.h"

#include <ctime>
#include <gtest/gtest.h>

static const Date solstice = 1292896247; // 2010-12-21 01:50:47

TEST(DateFormat, TokensInAnyCase) {
  EXPECT_EQ(date_format("%mm-%dd-%yyyy", solstice), "12-21-2010");
  EXPECT_EQ(date_format("%HH:%II:%SS", solstice), "01:50:47");
  EXPECT_EQ(date_format("%Yy/%yyy", solstice), "10/10y");
}

TEST(DateFormat, PercentSignsThatStartNoToken) {
  EXPECT_EQ(date_format("100%", solstice), "100%");
  EXPECT_EQ(date_format("%x", solstice), "%x");
  EXPECT_EQ(date_format("%%dd", solstice), "%21");
  EXPECT_EQ(date_format("", solstice), "");
  EXPECT_EQ(date_format(nullptr, solstice), "");
}

TEST(DateFormat, NegativeDateGivesZeros) {
  EXPECT_EQ(date_format("%yyyy-%mm", -1), "0000-00");
  EXPECT_EQ(date_format("%dd %hh:%ii:%ss", -5), "00 00:00:00");
}

TEST(DateFormat, LongMaskComesBackWhole) {
  std::string mask(5000, 'a');
  mask += "%dd";
  mask += std::string(5000, 'b');
  std::string out = date_format(mask.c_str(), solstice);
  EXPECT_EQ(out.size(), 10002u);
  EXPECT_EQ(out.substr(5000, 2), "21");
}

TEST(Dates, CountingAndBreakdownAgree) {
  EXPECT_EQ(date_from_parts({2010, 12, 21, 1, 50, 47}), solstice);
  EXPECT_EQ(date_from_parts({1970, 1, 1, 0, 0, 5}), 5);
  EXPECT_EQ(date_from_parts({2038, 1, 19, 3, 14, 7}), 2147483647);
  for (Date d : {0, 59, 86399, 86400, 951782400 /* 2000-02-29 */, solstice, 2147483647}) {
    DateParts p = date_parts(d);
    EXPECT_EQ(date_from_parts(p), d);
  }
  DateParts leap = date_parts(951782400);
  EXPECT_EQ(leap.month, 2);
  EXPECT_EQ(leap.day, 29);
}

TEST(Dates, NowCountsLocalTimeAtFaceValue) {
  null_reset();
  PlatLocalTime five_past{1970, 1, 1, 0, 0, 5};
  null_local_time_set(&five_past);
  EXPECT_EQ(date_now(), 5);
  null_local_time_set(nullptr);
}

TEST(FileSize, FilesFoldersAndNothing) {
  ScratchDir dir;
  write_file(dir / "empty", std::string());
  write_file(dir / "three", std::string("abc"));
  EXPECT_EQ(file_size((dir / "empty").c_str()), 0);
  EXPECT_EQ(file_size((dir / "three").c_str()), 3);
  EXPECT_EQ(file_size((dir / "missing").c_str()), -1);
  EXPECT_EQ(file_size(dir.path.c_str()), -2);
  EXPECT_EQ(file_size((dir.path + "\\").c_str()), -2);
  EXPECT_EQ(file_size((dir.path + "\\\\").c_str()), -2);
  EXPECT_EQ(file_size(""), -1);
  EXPECT_EQ(file_size(nullptr), -1);
  // Past 260 characters, the whole path is probed, not the folder it was cut at.
  std::string deep = dir.path;
  while (deep.size() < 300) deep += "/" + std::string(50, 'q');
  ASSERT_EQ(folder_make(deep.c_str()), 1);
  ASSERT_EQ(file_write_all((deep + "/three").c_str(), {'a', 'b', 'c'}), 1);
  EXPECT_EQ(file_size((deep + "/three").c_str()), 3);
}

TEST(FileSize, BackslashesSeparateFolders) {
  ScratchDir dir;
  std::filesystem::create_directory(dir / "see");
  write_file(dir / "see/tree3.png", std::string("12345"));
  EXPECT_EQ(file_size((dir.path + "\\see\\tree3.png").c_str()), 5);
}

// Not even a file of that name in the current folder.
TEST(FileSize, DriveNamesNameNothingHere) {
  ScratchDir dir;
  write_file(dir / "C:", std::string("abc"));
  const std::filesystem::path old = std::filesystem::current_path();
  std::filesystem::current_path(dir.path);
  EXPECT_EQ(file_size("C:"), -1);
  EXPECT_EQ(file_size("C:\\"), -1);
  std::filesystem::current_path(old);
}
