#include "runtime/core/list_sort.h"

#include <cctype>
#include <cstdint>
#include <cstring>

namespace {
struct SortKey {
  size_t field;
  int type;
  int options;
};

// Null counts as "", except that a non-null first string beats a null second one.
int compare_strings(const char* a, const char* b, bool no_case) {
  if (!b) return a ? 1 : 0;
  if (!a) a = "";
  for (;; a++, b++) {
    int ca = (unsigned char)*a, cb = (unsigned char)*b;
    if (no_case) ca = tolower(ca), cb = tolower(cb);
    if (ca != cb) return ca < cb ? -1 : 1;
    if (!ca) return 0;
  }
}

template <typename T> int compare_values(const void* a, const void* b) {
  T x, y;
  std::memcpy(&x, a, sizeof x);
  std::memcpy(&y, b, sizeof y);
  return x < y ? -1 : (y < x ? 1 : 0);
}

int compare_keys(const SortKey& k, ListNode* na, ListNode* nb) {
  const char* a = (const char*)list_record_of(na) + k.field;
  const char* b = (const char*)list_record_of(nb) + k.field;
  switch (k.type) {
  case SORT_INT8: return compare_values<int8_t>(a, b);
  case SORT_INT16: return compare_values<int16_t>(a, b);
  case SORT_INT32:
  case SORT_INT32_ALT: return compare_values<int32_t>(a, b);
  case SORT_FLOAT: return compare_values<float>(a, b);
  case SORT_CHAR8:
  case SORT_CHAR8_ALT: return compare_values<uint8_t>(a, b);
  case SORT_DOUBLE: return compare_values<double>(a, b);
  case SORT_INT64: return compare_values<int64_t>(a, b);
  case SORT_CHAR16: return compare_values<uint16_t>(a, b);
  case SORT_STRING: {
    const char *sa, *sb;
    std::memcpy(&sa, a, sizeof sa);
    std::memcpy(&sb, b, sizeof sb);
    return compare_strings(sa, sb, k.options & SORT_NO_CASE);
  }
  }
  return 0;
}

// True when b must come strictly before a.
bool goes_before(const SortKey& k, ListNode* b, ListNode* a) {
  int c = compare_keys(k, b, a);
  return (k.options & SORT_DESCENDING) ? c > 0 : c < 0;
}

struct Run {
  ListNode* first;
  ListNode* last;
};

Run merge_sort(const SortKey& k, ListNode* first, int n) {
  if (n <= 1) return {first, first};
  if (n == 2) {
    ListNode* second = first->next;
    if (!goes_before(k, second, first)) return {first, second};
    second->next = first;
    first->prev = second;
    return {second, first};
  }
  int left_n = n / 2;
  ListNode* right_first = first;
  for (int i = 0; i < left_n; i++) right_first = right_first->next;
  Run left = merge_sort(k, first, left_n);
  Run right = merge_sort(k, right_first, n - left_n);

  // Merge: equal keys take the left run first, which keeps the sort stable.
  ListNode *a = left.first, *b = right.first;
  int a_left = left_n, b_left = n - left_n;
  ListNode *head = nullptr, *tail = nullptr;
  while (a_left > 0 || b_left > 0) {
    ListNode* take;
    if (b_left > 0 && (a_left == 0 || goes_before(k, b, a))) {
      take = b, b = b->next, b_left--;
    } else {
      take = a, a = a->next, a_left--;
    }
    take->prev = tail;
    if (tail)
      tail->next = take;
    else
      head = take;
    tail = take;
  }
  return {head, tail};
}

bool known_type(int type) {
  switch (type) {
  case SORT_INT8:
  case SORT_INT16:
  case SORT_INT32:
  case SORT_INT32_ALT:
  case SORT_STRING:
  case SORT_FLOAT:
  case SORT_CHAR8:
  case SORT_CHAR8_ALT:
  case SORT_DOUBLE:
  case SORT_INT64:
  case SORT_CHAR16: return true;
  }
  return false;
}
} // namespace

void list_sort_range(List* list, int options, size_t field, int type, int first, int last) {
  if (!list || list->count == 0) return;
  if (type == -1) type = list->elem_type;
  if (!known_type(type)) return;
  ListNode *run_first, *run_last;
  int n;
  if (first == -1) {
    run_first = list->first, run_last = list->last, n = list->count;
  } else {
    if (!list_at(list, first)) return;
    run_first = list->current;
    if (!list_at(list, last)) return;
    run_last = list->current;
    n = last - first + 1;
    if (n < 1) return;
  }
  ListNode* before = run_first->prev;
  ListNode* after = run_last->next;
  Run sorted = merge_sort(SortKey{field, type, options}, run_first, n);
  sorted.first->prev = before;
  if (before)
    before->next = sorted.first;
  else
    list->first = sorted.first;
  sorted.last->next = after;
  if (after)
    after->prev = sorted.last;
  else
    list->last = sorted.last;
  list->before_first = 1;
}

void list_sort(List* list, int options, size_t field, int type) {
  list_sort_range(list, options, field, type, -1, -1);
}
