// Numbered objects: a growing array of slots 0, 1, 2... plus records made under
// the any-number (-1), each of which gets a number of its own.
//
// A record is in use while its first pointer-sized field is non-zero, so every
// record type kept here starts with a pointer (texture, bitmap, buffer, handle).
// Any-numbers are negative (-2, -3, ...): nonzero, never a slot number, never
// -1, and stable for the object's life. Record pointers stay valid until the
// table grows (an allocate above the current capacity); callers look numbers up
// again rather than keep pointers.
#pragma once

#include <cstddef>
#include <unordered_map>
#include <vector>

struct AnyRecord;

struct ObjectTable {
  size_t record_size;
  int grow_step;
  int capacity;                     // numbered slots
  std::vector<unsigned char> slots; // capacity * record_size bytes, zero-filled
  AnyRecord* newest;                // any-records, newest first
  AnyRecord* oldest;
  std::unordered_map<int, AnyRecord*> any_index;
  int next_any;                // the next any-number to try
  void (*free_op)(int number); // frees the object under a number
};

// Prepares a table of grow_step zero-filled slots.
void object_table_create(ObjectTable* t, size_t record_size, int grow_step, void (*free_op)(int));
// Frees every object, then the table's own memory; the table is then as before create.
void object_table_destroy(ObjectTable* t);
// Slot numbers stop here, so a wild number cannot ask for gigabytes of slots.
enum { OBJECT_TABLE_MAX_SLOT = 1 << 20 };

// Claims number n (-1: a new any-record) and returns its zero-filled record, its
// number in *number; a slot number frees the object there first and grows the
// table to grow_step + n slots when needed. Null for numbers below -1 or above
// OBJECT_TABLE_MAX_SLOT.
void* object_table_allocate(ObjectTable* t, int n, int* number);
// The record in use under n, or null.
void* object_table_lookup(ObjectTable* t, int n);
// As lookup; kept for the callers that must only accept numbers handed out here.
void* object_table_lookup_strict(ObjectTable* t, int n);
// Empties the slot, or unlinks and frees the any-record.
void object_table_release(ObjectTable* t, int n);
// Numbers in use: slots ascending, then any-records oldest first.
std::vector<int> object_table_numbers(ObjectTable* t);
// Calls free_op for every number in use, in the order above.
void object_table_free_all(ObjectTable* t);
// The number of a record of this table, or -1 when it is not one of them.
int object_table_number_of(ObjectTable* t, const void* record);
