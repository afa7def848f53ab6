#include "runtime/core/name_map.h"
#include "runtime/core/strings.h"

#include <climits>
#include <cmath>
#include <gtest/gtest.h>

TEST(Strings, FieldsOfCaptionMarkup) {
  const std::string caption = "|FFFFFF\\You have discovered|00FFFF\\SUNLIGHT";
  EXPECT_EQ(count_of(caption, '|'), 2);
  EXPECT_EQ(split_field(caption, 1, '|'), "");
  EXPECT_EQ(split_field(caption, 2, '|'), "FFFFFF\\You have discovered");
  EXPECT_EQ(split_field(caption, 3, '|'), "00FFFF\\SUNLIGHT");
  EXPECT_EQ(split_field(caption, 4, '|'), "");
  EXPECT_EQ(split_field("0\\ ", 2, '\\'), " ");
  EXPECT_EQ(split_field("a||b", 3, '|'), "b");
  EXPECT_EQ(split_field("abc", 0, '|'), "");
}

TEST(Strings, ColourDigitsAreHexadecimal) {
  EXPECT_EQ(hex_value("0000FF"), 0xFF);
  EXPECT_EQ(hex_value("00ffff"), 0xFFFF);
  EXPECT_EQ(hex_value("FF6000"), 0xFF6000);
  EXPECT_EQ(hex_value("0"), 0);
  EXPECT_EQ(hex_value(""), 0);
  EXPECT_EQ(hex_value("12G4"), 0x12);
  EXPECT_EQ(text_value("-42x"), -42);
  EXPECT_EQ(text_value("$10"), 16);
}

TEST(Strings, NumbersAndTruncation) {
  EXPECT_EQ(number_text(640), "640");
  EXPECT_EQ(number_text(-7), "-7");
  EXPECT_EQ(number_text(0), "0");
  EXPECT_EQ(trunc_int(2.9), 2);
  EXPECT_EQ(trunc_int(-2.9), -2);
  EXPECT_EQ(trunc_int(1e12), INT_MAX);
  EXPECT_EQ(trunc_int(-1e12), INT_MIN);
  EXPECT_EQ(trunc_int(std::nan("")), 0);
}

TEST(NameMap, AddingAnExistingKeyYieldsItsElement) {
  NameMap map;
  name_map_add(map, "bsh") = 5;
  EXPECT_EQ(name_map_add(map, "bsh"), 5);
  EXPECT_EQ(map.size(), 1u);
  EXPECT_EQ(name_map_find(map, "BSH"), nullptr);
  ASSERT_NE(name_map_find(map, "bsh"), nullptr);
}
