#include "runtime/display/object_table.h"

#include <gtest/gtest.h>
#include <vector>

namespace {
struct Thing {
  void* handle; // in use while non-null
  int value;
};

ObjectTable table;
std::vector<int> freed;

void free_thing(int n) {
  Thing* t = (Thing*)object_table_lookup(&table, n);
  if (!t) return;
  freed.push_back(n);
  object_table_release(&table, n);
}

Thing* make(int n, int value, int* number = nullptr) {
  Thing* t = (Thing*)object_table_allocate(&table, n, number);
  t->handle = t;
  t->value = value;
  return t;
}

struct ObjectTableTest : ::testing::Test {
  void SetUp() override {
    object_table_create(&table, sizeof(Thing), 16, free_thing);
    freed.clear();
  }
  void TearDown() override { object_table_destroy(&table); }
};
} // namespace

TEST_F(ObjectTableTest, SlotsGrowToTheNumberPlusTheStep) {
  EXPECT_EQ(table.capacity, 16);
  make(3, 30);
  EXPECT_EQ(table.capacity, 16);
  make(40, 400);
  EXPECT_EQ(table.capacity, 56);
  EXPECT_EQ(((Thing*)object_table_lookup(&table, 3))->value, 30);
  EXPECT_EQ(((Thing*)object_table_lookup(&table, 40))->value, 400);
  EXPECT_EQ(object_table_lookup(&table, 41), nullptr);
}

TEST_F(ObjectTableTest, ClaimingAnUsedSlotFreesItsObjectFirst) {
  make(3, 1);
  make(3, 2);
  EXPECT_EQ(freed, (std::vector<int>{3}));
  EXPECT_EQ(((Thing*)object_table_lookup(&table, 3))->value, 2);
}

TEST_F(ObjectTableTest, AnyNumbersAreDistinctStableAndNeverSlots) {
  int a = 0, b = 0;
  make(-1, 10, &a);
  make(-1, 20, &b);
  EXPECT_NE(a, 0);
  EXPECT_NE(a, -1);
  EXPECT_NE(a, b);
  EXPECT_LT(a, -1);
  // Growing the slots leaves any-records where they are.
  make(500, 5);
  EXPECT_EQ(((Thing*)object_table_lookup(&table, a))->value, 10);
  EXPECT_EQ(((Thing*)object_table_lookup(&table, b))->value, 20);
  EXPECT_EQ(object_table_number_of(&table, object_table_lookup(&table, b)), b);
  free_thing(a);
  EXPECT_EQ(object_table_lookup(&table, a), nullptr);
  EXPECT_EQ(object_table_lookup_strict(&table, a), nullptr);
  EXPECT_EQ(((Thing*)object_table_lookup(&table, b))->value, 20);
}

TEST_F(ObjectTableTest, BadNumbersFindNothing) {
  EXPECT_EQ(object_table_allocate(&table, -2, nullptr), nullptr);
  EXPECT_EQ(object_table_allocate(&table, 2147483647, nullptr), nullptr);
  EXPECT_EQ(table.capacity, 16);
  EXPECT_EQ(object_table_lookup(&table, -1), nullptr);
  EXPECT_EQ(object_table_lookup(&table, -12345), nullptr);
  EXPECT_EQ(object_table_lookup(&table, 0), nullptr);
  object_table_release(&table, -999); // nothing there: no effect
}

TEST_F(ObjectTableTest, FreeAllTakesSlotsAscendingThenAnyRecordsOldestFirst) {
  int a, b, c, d;
  make(-1, 0, &a);
  make(7, 0);
  make(-1, 0, &b);
  make(2, 0);
  make(-1, 0, &c);
  make(-1, 0, &d);
  // Releasing the oldest and the newest leaves the others in their order.
  free_thing(a);
  free_thing(d);
  freed.clear();
  object_table_free_all(&table);
  EXPECT_EQ(freed, (std::vector<int>{2, 7, b, c}));
  EXPECT_TRUE(object_table_numbers(&table).empty());
}
