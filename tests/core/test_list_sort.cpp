#include "runtime/core/list.h"
#include "runtime/core/list_sort.h"
#include "runtime/core/strings.h"

#include <cstddef>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace {
struct Item {
  float depth;
  int order; // creation order
  char* name;
  int64_t big;
};

void free_item(void* record) { str_release(&((Item*)record)->name); }

struct ItemList {
  List list;
  ItemList() { list_init(&list, sizeof(Item), free_item); }
  ~ItemList() { list_clear(&list); }
  Item* add(float depth, const char* name = nullptr) {
    Item* it = (Item*)list_add(&list);
    it->depth = depth;
    it->order = list.count - 1;
    str_assign(&it->name, name);
    return it;
  }
  std::vector<int> orders() {
    std::vector<int> out;
    for (Item* it = (Item*)list_first(&list); it; it = (Item*)list_next(it))
      out.push_back(it->order);
    // The links must agree both ways.
    std::vector<int> back;
    for (Item* it = (Item*)list_last(&list); it; it = (Item*)list_prev(it))
      back.insert(back.begin(), it->order);
    EXPECT_EQ(out, back);
    return out;
  }
};
} // namespace

TEST(Sequence, AddsAppendAndInsertsGoBeforeTheCurrent) {
  ItemList l;
  l.add(0), l.add(1), l.add(2);
  EXPECT_EQ(l.orders(), (std::vector<int>{0, 1, 2}));
  list_at(&l.list, 1);
  Item* ins = (Item*)list_insert(&l.list);
  ins->order = 9;
  EXPECT_EQ(l.orders(), (std::vector<int>{0, 9, 1, 2}));
  EXPECT_EQ(list_current(&l.list), ins);
  // Before the first: an insert lands at the front.
  list_rewind(&l.list);
  ((Item*)list_insert(&l.list))->order = 8;
  EXPECT_EQ(l.orders(), (std::vector<int>{8, 0, 9, 1, 2}));
}

TEST(Sequence, NewRecordsAreZeroFilled) {
  ItemList l;
  Item* it = (Item*)list_add(&l.list);
  EXPECT_EQ(it->depth, 0.0f);
  EXPECT_EQ(it->name, nullptr);
  EXPECT_EQ(it->big, 0);
}

TEST(Sequence, DeletingInAForwardPassContinuesWithTheFollowing) {
  ItemList l;
  for (int i = 0; i < 5; i++) l.add((float)i, "x");
  list_rewind(&l.list);
  std::vector<int> visited;
  while (Item* it = (Item*)list_each(&l.list)) {
    visited.push_back(it->order);
    if (it->order % 2 == 0) list_delete_current(&l.list);
  }
  EXPECT_EQ(visited, (std::vector<int>{0, 1, 2, 3, 4}));
  EXPECT_EQ(l.orders(), (std::vector<int>{1, 3}));
  // After the pass the last record is current, so the next add appends.
  l.add(7)->order = 7;
  EXPECT_EQ(l.orders(), (std::vector<int>{1, 3, 7}));
}

TEST(Sort, StableAscendingByFloat) {
  ItemList l;
  for (float d : {5.0f, -1.0f, 5.0f, 0.0f}) l.add(d);
  list_sort(&l.list, 0, offsetof(Item, depth), SORT_FLOAT);
  EXPECT_EQ(l.orders(), (std::vector<int>{1, 3, 0, 2}));
  // Iteration starts again at the new first record.
  EXPECT_EQ(((Item*)list_each(&l.list))->order, 1);
}

TEST(Sort, DescendingKeepsEqualKeysInOrder) {
  ItemList l;
  for (float d : {1.0f, 3.0f, 1.0f, 2.0f, 3.0f}) l.add(d);
  list_sort(&l.list, SORT_DESCENDING, offsetof(Item, depth), SORT_FLOAT);
  EXPECT_EQ(l.orders(), (std::vector<int>{1, 4, 3, 0, 2}));
}

TEST(Sort, EmptyAndSingleListsAreLeftAlone) {
  ItemList empty;
  list_sort(&empty.list, 0, offsetof(Item, depth), SORT_FLOAT);
  EXPECT_EQ(empty.list.count, 0);
  ItemList one;
  one.add(3);
  list_sort(&one.list, 0, offsetof(Item, depth), SORT_FLOAT);
  EXPECT_EQ(one.orders(), (std::vector<int>{0}));
}

TEST(Sort, LongListMatchesAStableReference) {
  ItemList l;
  std::vector<std::pair<float, int>> ref;
  for (int i = 0; i < 257; i++) {
    float d = (float)((i * 37) % 11);
    l.add(d);
    ref.push_back({d, i});
  }
  std::stable_sort(ref.begin(), ref.end(), [](auto& a, auto& b) { return a.first < b.first; });
  list_sort(&l.list, 0, offsetof(Item, depth), SORT_FLOAT);
  std::vector<int> expected;
  for (auto& p : ref) expected.push_back(p.second);
  EXPECT_EQ(l.orders(), expected);
}

TEST(Sort, StringsByteWiseOrIgnoringCase) {
  ItemList l;
  l.add(0, "abc"), l.add(0, "ABC"), l.add(0, "b"), l.add(0, nullptr), l.add(0, "");
  list_sort(&l.list, SORT_NO_CASE, offsetof(Item, name), SORT_STRING);
  // null and "" compare equal from the null side, so they keep their order.
  EXPECT_EQ(l.orders(), (std::vector<int>{3, 4, 0, 1, 2}));
  list_sort(&l.list, 0, offsetof(Item, name), SORT_STRING);
  EXPECT_EQ(l.orders(), (std::vector<int>{3, 4, 1, 0, 2}));
  // The other rule: a string, even empty, is greater than a null after it, so
  // descending moves the empty string before the null; a null before "" stays.
  ItemList pair;
  pair.add(0, nullptr), pair.add(0, "");
  list_sort(&pair.list, SORT_DESCENDING, offsetof(Item, name), SORT_STRING);
  EXPECT_EQ(pair.orders(), (std::vector<int>{1, 0}));
  list_sort(&pair.list, SORT_DESCENDING, offsetof(Item, name), SORT_STRING);
  EXPECT_EQ(pair.orders(), (std::vector<int>{1, 0}));
}

namespace {
// A key of up to 8 bytes, stored as the bytes of one value of its type.
struct Keyed {
  int order;
  alignas(8) uint8_t key[8];
};
template <typename T> std::vector<std::vector<uint8_t>> keys(std::initializer_list<T> values) {
  std::vector<std::vector<uint8_t>> out;
  for (T v : values) {
    std::vector<uint8_t> bytes(8, 0);
    std::memcpy(bytes.data(), &v, sizeof v);
    out.push_back(bytes);
  }
  return out;
}
} // namespace

// Values in ascending order that only the right reading of the field keeps in
// order: signed against unsigned, 8 against 16 against 32 bits, float against
// double. They are added in reverse, so a reading that finds them equal fails too.
TEST(Sort, EveryKeyTypeReadsItsFieldAsItsType) {
  const struct {
    int type;
    std::vector<std::vector<uint8_t>> ascending;
  } cases[] = {
      {SORT_INT8, keys<int8_t>({-128, -1, 0, 127})},
      {SORT_INT16, keys<int16_t>({-32768, -1, 1, 255, 256, 32767})},
      {SORT_INT32, keys<int32_t>({INT32_MIN, -65536, -1, 1, 65536})},
      {SORT_INT32_ALT, keys<int32_t>({INT32_MIN, -65536, -1, 1, 65536})},
      {SORT_FLOAT, keys<float>({-2.5f, -1.0f, 0.5f, 3.0f})},
      {SORT_CHAR8, keys<uint8_t>({0, 1, 0x7F, 0x80, 0xFF})},
      {SORT_CHAR8_ALT, keys<uint8_t>({0, 1, 0x7F, 0x80, 0xFF})},
      {SORT_DOUBLE, keys<double>({-2.0, -1.0, 1.0, 1.5, 2.0})},
      {SORT_INT64, keys<int64_t>({INT64_MIN, -(1LL << 40), -1, 5, 1LL << 40})},
      {SORT_CHAR16, keys<uint16_t>({1, 0xFF, 0x100, 0x7FFF, 0x8000, 0xFFFF})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    List l;
    list_init(&l, sizeof(Keyed), nullptr);
    const int n = (int)c.ascending.size();
    for (int i = n - 1; i >= 0; i--) {
      Keyed* k = (Keyed*)list_add(&l);
      k->order = i;
      std::memcpy(k->key, c.ascending[(size_t)i].data(), 8);
    }
    list_sort(&l, 0, offsetof(Keyed, key), c.type);
    std::vector<int> orders;
    for (Keyed* k = (Keyed*)list_first(&l); k; k = (Keyed*)list_next(k)) orders.push_back(k->order);
    std::vector<int> expected(n);
    for (int i = 0; i < n; i++) expected[(size_t)i] = i;
    EXPECT_EQ(orders, expected);
    list_sort(&l, 0, offsetof(Keyed, key), 99); // unknown type: nothing moves
    orders.clear();
    for (Keyed* k = (Keyed*)list_first(&l); k; k = (Keyed*)list_next(k)) orders.push_back(k->order);
    EXPECT_EQ(orders, expected);
    list_clear(&l);
  }
}

TEST(Sort, RangeSortsOnlyItsNodes) {
  ItemList l;
  for (float d : {9.0f, 4.0f, 3.0f, 2.0f, 1.0f, 0.0f}) l.add(d);
  list_sort_range(&l.list, 0, offsetof(Item, depth), SORT_FLOAT, 1, 3);
  EXPECT_EQ(l.orders(), (std::vector<int>{0, 3, 2, 1, 4, 5}));
  list_sort_range(&l.list, 0, offsetof(Item, depth), SORT_FLOAT, 4, 9); // out of range
  EXPECT_EQ(l.orders(), (std::vector<int>{0, 3, 2, 1, 4, 5}));
  list_sort_range(&l.list, 0, offsetof(Item, depth), SORT_FLOAT, 0, 5);
  EXPECT_EQ(l.orders(), (std::vector<int>{5, 4, 3, 2, 1, 0}));
}
