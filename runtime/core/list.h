// The runtime's doubly linked list of records with a current position.
// Each record sits right after its node and is zero-filled when made.
#pragma once

#include <cstddef>

struct ListNode {
  ListNode* next;
  ListNode* prev;
  // the record follows, aligned for any type
};

struct List {
  ListNode* first;
  ListNode* last;
  ListNode* current;
  int count;
  int elem_type;    // key type of a list of plain values (see list_sort)
  int before_first; // set: the next list_each starts again at the first node
  size_t record_size;
  void (*free_record)(void* record); // releases what a record owns; may be null
};

// Prepares an empty list of records of record_size bytes.
void list_init(List* list, size_t record_size, void (*free_record)(void*));
// Adds a zero-filled record after the current one (at the front when there is
// none) and makes it current, so repeated adds append; null when out of memory.
void* list_add(List* list);
// Inserts a zero-filled record before the current one (at the front when there is
// none or iteration is before the first) and makes it current; null when out of memory.
void* list_insert(List* list);
// Deletes the current record; the previous one becomes current (none: iteration
// starts again at the first).
void list_delete_current(List* list);
// Deletes every record.
void list_clear(List* list);

// The record after or before a record, or null.
void* list_next(const void* record);
void* list_prev(const void* record);
void* list_first(const List* list);
void* list_last(const List* list);
void* list_current(const List* list);
// Makes the next list_each start at the first record.
void list_rewind(List* list);
// Moves to the next record and returns it; null (staying on the last) at the end.
void* list_each(List* list);
// Makes the record at a 0-based index current and returns it; null when out of range.
void* list_at(List* list, int index);

ListNode* list_node_of(const void* record);
void* list_record_of(const ListNode* node);
