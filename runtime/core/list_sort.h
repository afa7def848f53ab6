// Stable merge sort of a list's records by one field, done on the links.
#pragma once

#include "runtime/core/list.h"

#include <cstddef>

// Key types, by the runtime's type code.
enum SortKeyType {
  SORT_INT8 = 1,
  SORT_INT16 = 3,
  SORT_INT32 = 5,
  SORT_INT32_ALT = 21,
  SORT_STRING = 8, // a char* field
  SORT_FLOAT = 9,
  SORT_CHAR8 = 11,
  SORT_CHAR8_ALT = 24,
  SORT_DOUBLE = 12,
  SORT_INT64 = 13,
  SORT_CHAR16 = 25,
};

// Options: descending order, and strings compared without regard to case.
enum SortOptions { SORT_DESCENDING = 1, SORT_NO_CASE = 2 };

// Sorts the whole list by the field at byte offset field of each record; any
// other type code sorts nothing. Afterwards iteration starts at the first record.
void list_sort(List* list, int options, size_t field, int type);
// Sorts the records at indices first to last (inclusive; first -1: the whole
// list); type -1 takes the list's elem_type.
void list_sort_range(List* list, int options, size_t field, int type, int first, int last);
