#include "runtime/display/object_table.h"

#include <climits>
#include <cstdlib>
#include <cstring>

struct AnyRecord {
  AnyRecord* newer;
  AnyRecord* older;
  int number;
  // the record follows, aligned for any type
};

static const size_t any_offset =
    (sizeof(AnyRecord) + alignof(max_align_t) - 1) / alignof(max_align_t) * alignof(max_align_t);

static void* any_data(AnyRecord* a) { return (char*)a + any_offset; }

static bool in_use(const void* record) {
  void* first;
  std::memcpy(&first, record, sizeof first);
  return first != nullptr;
}

void object_table_create(ObjectTable* t, size_t record_size, int grow_step, void (*free_op)(int)) {
  t->record_size = record_size < sizeof(void*) ? sizeof(void*) : record_size;
  t->grow_step = grow_step > 0 ? grow_step : 1;
  t->capacity = t->grow_step;
  t->slots.assign((size_t)t->capacity * t->record_size, 0);
  t->newest = t->oldest = nullptr;
  t->any_index.clear();
  t->next_any = -2;
  t->free_op = free_op;
}

void object_table_destroy(ObjectTable* t) {
  object_table_free_all(t);
  while (t->newest) {
    AnyRecord* a = t->newest;
    t->newest = a->older;
    free(a);
  }
  t->oldest = nullptr;
  t->any_index.clear();
  t->slots.clear();
  t->slots.shrink_to_fit();
  t->capacity = 0;
}

static int new_any_number(ObjectTable* t) {
  // Wrapping after two billion objects must not hand out a number still in use.
  while (true) {
    int n = t->next_any;
    t->next_any = n == INT_MIN ? -2 : n - 1;
    if (!t->any_index.count(n)) return n;
  }
}

void* object_table_allocate(ObjectTable* t, int n, int* number) {
  if (n < -1 || n > OBJECT_TABLE_MAX_SLOT) return nullptr;
  if (n == -1) {
    AnyRecord* a = (AnyRecord*)calloc(1, any_offset + t->record_size);
    if (!a) return nullptr;
    a->number = new_any_number(t);
    a->older = t->newest;
    if (t->newest)
      t->newest->newer = a;
    else
      t->oldest = a;
    t->newest = a;
    t->any_index[a->number] = a;
    if (number) *number = a->number;
    return any_data(a);
  }
  if (n >= t->capacity) {
    t->capacity = t->grow_step + n;
    t->slots.resize((size_t)t->capacity * t->record_size, 0);
  }
  if (t->free_op) t->free_op(n);
  void* record = &t->slots[(size_t)n * t->record_size];
  std::memset(record, 0, t->record_size);
  if (number) *number = n;
  return record;
}

static void* find(ObjectTable* t, int n) {
  if (n >= 0 && n < t->capacity) return &t->slots[(size_t)n * t->record_size];
  auto it = t->any_index.find(n);
  return it == t->any_index.end() ? nullptr : any_data(it->second);
}

void* object_table_lookup(ObjectTable* t, int n) {
  if (t->capacity == 0) return nullptr;
  void* record = find(t, n);
  return record && in_use(record) ? record : nullptr;
}

void* object_table_lookup_strict(ObjectTable* t, int n) { return object_table_lookup(t, n); }

void object_table_release(ObjectTable* t, int n) {
  if (n >= 0 && n < t->capacity) {
    std::memset(&t->slots[(size_t)n * t->record_size], 0, t->record_size);
    return;
  }
  auto it = t->any_index.find(n);
  if (it == t->any_index.end()) return;
  AnyRecord* a = it->second;
  t->any_index.erase(it);
  if (a->newer)
    a->newer->older = a->older;
  else
    t->newest = a->older;
  if (a->older)
    a->older->newer = a->newer;
  else
    t->oldest = a->newer;
  free(a);
}

std::vector<int> object_table_numbers(ObjectTable* t) {
  std::vector<int> numbers;
  for (int n = 0; n < t->capacity; n++)
    if (in_use(&t->slots[(size_t)n * t->record_size])) numbers.push_back(n);
  for (AnyRecord* a = t->oldest; a; a = a->newer)
    if (in_use(any_data(a))) numbers.push_back(a->number);
  return numbers;
}

void object_table_free_all(ObjectTable* t) {
  if (!t->free_op) return;
  for (int n : object_table_numbers(t)) t->free_op(n);
}

int object_table_number_of(ObjectTable* t, const void* record) {
  const unsigned char* p = (const unsigned char*)record;
  if (!t->slots.empty() && p >= t->slots.data() && p < t->slots.data() + t->slots.size())
    return (int)((size_t)(p - t->slots.data()) / t->record_size);
  for (AnyRecord* a = t->oldest; a; a = a->newer)
    if (any_data(a) == record) return a->number;
  return -1;
}
