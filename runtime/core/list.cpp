#include "runtime/core/list.h"

#include <cstdlib>
#include <cstring>

// Records start at this offset after their node, so any record type is aligned.
static const size_t record_offset =
    (sizeof(ListNode) + alignof(max_align_t) - 1) / alignof(max_align_t) * alignof(max_align_t);

ListNode* list_node_of(const void* record) {
  return (ListNode*)((char*)const_cast<void*>(record) - record_offset);
}

void* list_record_of(const ListNode* node) {
  return node ? (char*)const_cast<ListNode*>(node) + record_offset : nullptr;
}

void list_init(List* list, size_t record_size, void (*free_record)(void*)) {
  std::memset(list, 0, sizeof(*list));
  list->record_size = record_size;
  list->free_record = free_record;
  list->before_first = 1;
}

static ListNode* new_node(const List* list) {
  return (ListNode*)calloc(1, record_offset + list->record_size);
}

static void link_after(List* list, ListNode* at, ListNode* node) {
  node->prev = at;
  node->next = at ? at->next : list->first;
  if (node->next)
    node->next->prev = node;
  else
    list->last = node;
  if (at)
    at->next = node;
  else
    list->first = node;
  list->count++;
  list->current = node;
  list->before_first = 0;
}

void* list_add(List* list) {
  ListNode* node = new_node(list);
  if (!node) return nullptr;
  link_after(list, list->current, node);
  return list_record_of(node);
}

void* list_insert(List* list) {
  ListNode* node = new_node(list);
  if (!node) return nullptr;
  ListNode* at = list->current && !list->before_first ? list->current : list->first;
  link_after(list, at ? at->prev : nullptr, node);
  return list_record_of(node);
}

void list_delete_current(List* list) {
  ListNode* node = list->current;
  if (!node) return;
  if (node->prev)
    node->prev->next = node->next;
  else
    list->first = node->next;
  if (node->next)
    node->next->prev = node->prev;
  else
    list->last = node->prev;
  list->current = node->prev;
  if (!list->current) list->before_first = 1;
  list->count--;
  if (list->free_record) list->free_record(list_record_of(node));
  free(node);
}

void list_clear(List* list) {
  while (list->first) {
    list->current = list->first;
    list_delete_current(list);
  }
  list->current = nullptr;
  list->before_first = 1;
}

void* list_next(const void* record) { return list_record_of(list_node_of(record)->next); }
void* list_prev(const void* record) { return list_record_of(list_node_of(record)->prev); }
void* list_first(const List* list) { return list_record_of(list->first); }
void* list_last(const List* list) { return list_record_of(list->last); }
void* list_current(const List* list) { return list_record_of(list->current); }

void list_rewind(List* list) { list->before_first = 1; }

void* list_each(List* list) {
  ListNode* next = list->before_first || !list->current ? list->first : list->current->next;
  if (!next) return nullptr;
  list->current = next;
  list->before_first = 0;
  return list_record_of(next);
}

void* list_at(List* list, int index) {
  if (index < 0 || index >= list->count) return nullptr;
  ListNode* node = list->first;
  while (index-- > 0) node = node->next;
  list->current = node;
  list->before_first = 0;
  return list_record_of(node);
}
